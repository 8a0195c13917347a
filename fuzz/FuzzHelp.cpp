// --help for every fuzz target. libFuzzer ignores flags that start with "--"
// and would start fuzzing in the current folder (writing what crashes
// there); this says what the target takes and how it is run, and ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef ORVEX_FUZZ_WHAT
#error "ORVEX_FUZZ_WHAT names what the target fuzzes"
#endif

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i) {
        if (std::strcmp((*argv)[i], "--help") != 0) continue;
        std::printf("Usage: %s [-flag=value...] [CORPUS_FOLDER...]\n"
                    "Fuzzes %s.\n"
                    "New inputs go to the first corpus folder; -artifact_prefix=FOLDER/ puts the inputs that\n"
                    "fail there. scripts/fuzz.sh runs every target on a copy of its seeds; -help=1 lists\n"
                    "libFuzzer's own flags.\n",
                    (*argv)[0], ORVEX_FUZZ_WHAT);
        std::exit(0);
    }
    return 0;
}

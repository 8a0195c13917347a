// Serves the ADT double on a loopback port until standard input ends, for
// walking the wizard on the ADT road by hand:
//   adt_double_serve DB [PACKAGE REQUEST...]
// prints the address to put into "Application Server".
#include <iostream>
#include <string>
#include <vector>

#include "tests/adt/AdtDouble.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: adt_double_serve DATABASE [PACKAGE REQUEST...]\n";
        return 2;
    }
    orvex::testing::AdtDouble adt(argv[1]);
    if (argc > 3) adt.transportable(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    std::cout << adt.url() << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}

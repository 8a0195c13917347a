#pragma once
// The HTTP client of the commit ORVEX_BENCH_BASELINE names (on cpp-httplib),
// for the benchmarks that measure today's client against it in one run. Only
// standard types cross this header: the old client's own live in namespace
// orvex_baseline.
#include <memory>
#include <string>
#include <vector>

namespace bench_baseline {

// A logon to the SOAP service at `url` (DEVELOPER/sandbox in client 001); each read()
// is one RFC_READ_TABLE of TADIR, true when it brought `rows` rows.
class SoapReads {
public:
    explicit SoapReads(const std::string& url);
    ~SoapReads();
    bool loggedOn() const;
    bool read(int rows);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The ADT operations at `url` as DEVELOPER/sandbox in client 001.
class AdtInstalls {
public:
    explicit AdtInstalls(const std::string& url);
    ~AdtInstalls();
    // Creates and activates program `name` in $TMP: "" when done, otherwise why not.
    std::string install(const std::string& name, const std::vector<std::string>& source);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace bench_baseline

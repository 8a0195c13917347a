#pragma once
// Messages for the user go through one seam: text, title and style. The
// screens show them in message boxes; the command line prints them.
#include <functional>
#include <string>

namespace orvex::sap {

inline constexpr const char* kAppTitle = "ORVEX";

// Styles, with the values of the classic message-box flags they stand for.
enum MessageStyle : unsigned {
    kOkOnly = 0x0,
    kCritical = 0x10,
    kInformation = 0x40,
    kRightAligned = 0x80000,
};

struct Message {
    std::string text;
    std::string title = kAppTitle;
    unsigned style = kOkOnly;
    // Why, for a failure: behind "Show Details..." in a box, after the text on
    // the command line ("" when there is nothing more to tell).
    std::string detail;
    bool operator==(const Message&) const = default;
};

using MessageSink = std::function<void(const Message&)>;

}  // namespace orvex::sap

#include "common/Failure.h"

namespace orvex {

std::string Failure::text() const {
    if (detail.empty() || detail == reason) return reason;
    if (reason.empty()) return detail;
    return reason + " (" + detail + ")";
}

std::string Failure::details() const {
    if (detail.empty() || detail == reason) return reason;
    if (reason.empty()) return detail;
    return reason + "\n" + detail;
}

Failure failure(FailureKind kind, std::string reason, std::string detail) {
    return Failure{kind, std::move(reason), std::move(detail), {}};
}

}  // namespace orvex

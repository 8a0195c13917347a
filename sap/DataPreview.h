#pragma once
// The rows a query gives before any program exists, whatever road read them:
// the columns as the system named and typed them, the rows as texts, and the
// number of all rows where it is known. A preview only reads.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"

namespace orvex::sap {

struct PreviewColumn {
    std::string name;         // the field's name as the system gives it ("CARRID")
    std::string description;  // its label ("" when the system gives none)
    std::string type;         // the ABAP type letter the system gives ("C", "N", "D", "P", ...; "" when none)
    bool operator==(const PreviewColumn&) const = default;
};

struct DataPreview {
    std::vector<PreviewColumn> columns;
    // One text per column in every row, in the system's row order; an empty
    // value stays empty.
    std::vector<std::vector<std::string>> rows;
    // The number of all rows the query selects, when known: counted when the
    // caller asked for it, otherwise as the system said it (absent when it
    // said nothing, or a number below the rows it sent).
    std::optional<std::size_t> totalRows;
    bool counted = false;  // totalRows comes from a count of all rows
};

// How much of a query's result a preview reads.
struct PreviewOptions {
    std::size_t rows = 100;  // at most this many rows (and never more than the report's own row limit)
    bool count = false;      // also count all rows the query selects
};

// The outcome of a system that offers no preview at all: neither a failure
// of the query nor of the design.
inline constexpr const char* kPreviewNotOffered = "Preview is not offered by this system";
inline constexpr const char* kPreviewNotOfferedCode = "PreviewNotOffered";

inline Failure previewNotOffered(std::string detail) {
    Failure f = failure(FailureKind::Refused, kPreviewNotOffered, std::move(detail));
    f.code = kPreviewNotOfferedCode;
    return f;
}
inline bool notOffered(const Failure& f) { return f.code == kPreviewNotOfferedCode; }

}  // namespace orvex::sap

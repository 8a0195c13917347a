#include "generator/ReportQuery.h"

namespace orvex {

Result<ReportQuery> bindQuery(const ReportPlan&, const InputValues&, const FieldTypeOf&) {
    return failure(FailureKind::Refused, "the preview's query is not built yet");
}

}  // namespace orvex

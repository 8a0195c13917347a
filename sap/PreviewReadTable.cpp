#include "sap/PreviewReadTable.h"

namespace orvex::sap {

Result<DataPreview> previewByReadTable(Component&, const ReportQuery&, const PreviewOptions&) {
    return previewNotOffered("RFC_READ_TABLE previews are not built yet");
}

}  // namespace orvex::sap

// A library of the RFC library's name that lacks most of its functions: the
// loader must refuse it with a reason.
#include "sap/nwrfc/NwRfcApi.h"

extern "C" __attribute__((visibility("default"))) const orvex::nwrfc::SAP_UC* RfcGetVersion(unsigned* major,
                                                                                           unsigned* minor,
                                                                                           unsigned* patch) {
    *major = *minor = *patch = 0;
    return u"incomplete";
}

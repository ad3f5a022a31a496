// AcqEdiRsp: EDIFACT order responses applied to PO line items.
// (Stub until it is built.)
#include "acq/edi/AcqEdiRsp.h"

#include "acq/AcqUnit.h"

namespace acq::AcqEdiRsp {

void OrderResponsesCommand(HWND) {}

}  // namespace acq::AcqEdiRsp

ACQ_UNIT_EMPTY(AcqEdiRsp)

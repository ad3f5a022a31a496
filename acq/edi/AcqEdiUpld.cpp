// AcqEdiUpld: Upload of EDIFACT interchange files on the import thread.
// (Stub until it is built.)
#include "acq/edi/AcqEdiUpld.h"

#include "acq/AcqUnit.h"

namespace acq::AcqEdiUpld {

void UploadCommand(HWND) {}
bool UploadRunning() { return false; }
}  // namespace acq::AcqEdiUpld

ACQ_UNIT_EMPTY(AcqEdiUpld)

// AcqEdiRead: the interchange reader of the upload. (Stub.)
#include "acq/edi/AcqEdiRead.h"

namespace acq::AcqEdiRead {

RunResult UploadFiles(const std::vector<std::string>&, const Hooks&) { return {}; }

}  // namespace acq::AcqEdiRead

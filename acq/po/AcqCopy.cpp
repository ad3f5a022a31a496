// AcqCopy: ordered copies in the catalogue (the windows' side).
#include "acq/po/AcqCopy.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqCopy {

void CreateItems(const LineKeys&) { AcqGlobal::ShowComingSoon("Create Items"); }
void CreateCopies(const LineKeys&) { AcqGlobal::ShowComingSoon("Create Copies"); }
void CopiesOfLine(const LineKeys&) { AcqGlobal::ShowComingSoon("Copies"); }

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqCopy

ACQ_UNIT_BODY(AcqCopy)

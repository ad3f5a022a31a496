// AcqTempPea: distribution patterns, PO templates and session defaults.
#include "acq/po/AcqTempPea.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqTempPea {

void ApplyPattern(HWND) { AcqGlobal::ShowComingSoon("Apply Pattern"); }
void SavePattern(HWND) { AcqGlobal::ShowComingSoon("Save Pattern"); }
void DeletePattern(HWND) { AcqGlobal::ShowComingSoon("Delete Pattern"); }
void OpenTemplates() { AcqGlobal::ShowComingSoon("PO Templates"); }
void NewTemplate() { AcqGlobal::ShowComingSoon("PO Template"); }

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqTempPea

ACQ_UNIT_BODY(AcqTempPea)

// AcqBHMan: the budget hierarchy manager.
#include "acq/budget/AcqBHMan.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqBHMan {

void OpenManager() { AcqGlobal::ShowComingSoon("Budget Hierarchy Manager"); }
void OpenHierarchyReport() { AcqGlobal::ShowComingSoon("Budget Hierarchy Report"); }
void TreeCommand(int /*command*/, HWND /*active*/) {}
bool MayClose() { return true; }
bool IsManagerWindow(HWND /*hwnd*/) { return false; }
void Save() {}

}  // namespace acq::AcqBHMan

ACQ_UNIT_EMPTY(AcqBHMan)

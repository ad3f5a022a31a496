// AcqStatmnt: vendor statements: entry, balance and approval. The statement
// window is not part of this build: opening a statement says so.
#include "acq/statement/AcqStatmnt.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqStatmnt {

void OpenStatement(int32_t /*statement*/, const std::string& number) {
  AcqGlobal::ShowComingSoon("Statement " + number);
}
void NewStatement(int /*type*/) { AcqGlobal::ShowComingSoon("Statement"); }
bool ActiveStatement(HWND, int32_t&, std::string&) { return false; }
bool ReadyFor(HWND, int, int) { return true; }
void StatementChanged(int32_t) {}
bool LineRows(HWND, std::vector<AcqProrateMath::StatementLine>&) { return false; }
bool SelectedLines(HWND, std::vector<LineKey>&) { return false; }

}  // namespace acq::AcqStatmnt

ACQ_UNIT_EMPTY(AcqStatmnt)

// AcqStatmnt: vendor statements: entry, balance and approval. The statement
// window is not part of this build: opening a statement says so.
#include "acq/statement/AcqStatmnt.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqStatmnt {

void OpenStatement(int32_t /*statement*/, const std::string& number) {
  AcqGlobal::ShowComingSoon("Statement " + number);
}

}  // namespace acq::AcqStatmnt

ACQ_UNIT_EMPTY(AcqStatmnt)

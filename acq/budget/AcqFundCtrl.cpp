// AcqFundCtrl: fund control — budget and contract limit checks. It owns the
// budget-restriction rows (which budgets which users may use).
#include "acq/budget/AcqFundCtrl.h"

#include "acq/AcqUnit.h"

namespace acq::AcqFundCtrl {
namespace {
BktHandle restrictionBkt = nullptr;
}  // namespace

BktHandle& RestrictionBkt() { return restrictionBkt; }
void DestroyRestrictionBkt() { _BktDestroy(&restrictionBkt); }

void Initialize() { restrictionBkt = nullptr; }
void Terminate() { DestroyRestrictionBkt(); }

}  // namespace acq::AcqFundCtrl

ACQ_UNIT_BODY(AcqFundCtrl)

// AcqProrate: The extra-charge proration window.
#include "acq/statement/AcqProrate.h"

#include "acq/AcqUnit.h"

namespace acq::AcqProrate {

void Prorate(HWND) {}
void UndoProration(HWND) {}
void ListLineCharges(HWND) {}
bool ProrateExtraCharges(int32_t, std::span<const AcqProrateMath::StatementLine>,
                         AcqProrateMath::LineChoice, AcqProrateMath::Method,
                         const std::vector<std::string>&) {
  return false;
}
bool UndoProratedCharges(int32_t, const std::vector<std::string>&) { return false; }

}  // namespace acq::AcqProrate

ACQ_UNIT_EMPTY(AcqProrate)

// AcqPoUndo: taking activities back (the windows' side).
#include "acq/po/AcqPoUndo.h"

#include "acq/frame/AcqGlobal.h"

namespace acq::AcqPoUndo {

void UndoLines(UndoKind, const std::vector<std::pair<int32_t, int16_t>>&) {
  AcqGlobal::ShowComingSoon("Undo");
}
void UndoOrders(HWND) { AcqGlobal::ShowComingSoon("Undo Order"); }

}  // namespace acq::AcqPoUndo

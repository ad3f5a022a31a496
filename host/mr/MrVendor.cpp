// The vendor finder: the "vendor_find" lister shown as a modal window. The
// person searches, selects a vendor and presses OK (or Enter), or cancels.
#include "host/mr/MrInternal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"

using namespace mr;

bool MrVendor_FindVendor(HDb session, HWND owner, int32_t& vendor, std::string& vendorName) {
  constexpr const char* kView = "vendor_find";
  HENVIR envir = MrProc_NewEnvir(session, "vendor");
  HLISTER lister = MrLister_MrListerUserInst(envir, kView, nullptr,
                                             owner ? owner : PwMucBase_hwndClient, "", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);
    ShowUserError(owner, "Find Vendor", "The vendor list is not available.");
    return false;
  }
  MakePicker(lister);
  bool picked = false;
  if (MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kView)))
    RunModal(MrLister_Hwnd(lister), [&] { return PickerEnded(lister, picked); });
  if (IsLive(lister) && PickerEnded(lister, picked) && picked) {
    BktHandle rows = MrLister_Rows(lister);
    const int row = MrLister_Selection(lister).front();
    const int keyCol = _BktGetColNum(rows, "vendor#");
    const int nameCol = _BktGetColNum(rows, "name");
    picked = keyCol != 0 && !_ColIsNull(rows, row, keyCol);
    if (picked) {
      vendor = _ColGetInt(rows, row, keyCol);
      vendorName = nameCol ? _ColGetStringW(rows, row, nameCol) : std::string();
    }
  } else {
    picked = false;
  }
  MrProc_FreeEnvir(&envir);   // closes the finder
  return picked;
}

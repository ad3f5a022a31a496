// The finders: a lister shown as a modal window (the vendor finder over
// "vendor_find", the borrower finder over "borrower_find"). The person
// searches, selects a row and presses OK (or Enter), or cancels.
#include "host/mr/MrInternal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"

using namespace mr;

namespace {

struct Finder {
  const char* view;      // the lister definition
  const char* envir;     // the environment's name
  const char* title;     // the caption of an error
  const char* missing;   // told when the definition is not there
  const char* keyColumn;
  const char* nameColumn;
};

bool Find(const Finder& f, HDb session, HWND owner, int32_t& key, std::string& name) {
  HENVIR envir = MrProc_NewEnvir(session, f.envir);
  HLISTER lister = MrLister_MrListerUserInst(envir, f.view, nullptr,
                                             owner ? owner : PwMucBase_hwndClient, "", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);
    ShowUserError(owner, f.title, f.missing);
    return false;
  }
  MakePicker(lister);
  bool picked = false;
  if (MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(f.view)))
    RunModal(MrLister_Hwnd(lister), [&] { return PickerEnded(lister, picked); });
  if (IsLive(lister) && PickerEnded(lister, picked) && picked) {
    BktHandle rows = MrLister_Rows(lister);
    const int row = MrLister_Selection(lister).front();
    const int keyCol = _BktGetColNum(rows, f.keyColumn);
    const int nameCol = _BktGetColNum(rows, f.nameColumn);
    picked = keyCol != 0 && !_ColIsNull(rows, row, keyCol);
    if (picked) {
      key = _ColGetInt(rows, row, keyCol);
      name = nameCol ? _ColGetStringW(rows, row, nameCol) : std::string();
    }
  } else {
    picked = false;
  }
  MrProc_FreeEnvir(&envir);   // closes the finder
  return picked;
}

}  // namespace

bool MrVendor_FindVendor(HDb session, HWND owner, int32_t& vendor, std::string& vendorName) {
  static const Finder kVendor{"vendor_find", "vendor", "Find Vendor",
                              "The vendor list is not available.", "vendor#", "name"};
  return Find(kVendor, session, owner, vendor, vendorName);
}

bool MrVendor_FindVendorIn(HDb session, HWND owner, std::string_view definition,
                           int32_t& vendor, std::string& vendorName) {
  const std::string view(definition);
  const Finder finder{view.c_str(), "vendor", "Find Vendor", "The vendor list is not available.",
                      "vendor#", "name"};
  return Find(finder, session, owner, vendor, vendorName);
}

bool MrBorrower_FindBorrower(HDb session, HWND owner, int32_t& borrower, std::string& name) {
  static const Finder kBorrower{"borrower_find", "borrower", "Find Borrower",
                                "The borrower list is not available.", "borrower#", "name"};
  return Find(kBorrower, session, owner, borrower, name);
}

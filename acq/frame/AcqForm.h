// AcqForm: the dialog procedure every small modal form of the module shares.
#pragma once

#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/win32/Win32.h"

namespace acq::AcqForm {

// The procedure of a small modal form over a `T`, the dialog's lParam:
// Show fills its controls; OK closes it only when Take accepts what was typed
// (Take tells the person why not); Cancel and the close box leave it as it
// was. Each form type has its own: a form may open another kind of form.
template <typename T, void (*Show)(HWND, const T&), bool (*Take)(HWND, T&)>
LRESULT DlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static T* form = nullptr;
  switch (message) {
    case WM_INITDIALOG:
      form = reinterpret_cast<T*>(lParam);
      Show(hwnd, *form);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        if (form != nullptr && Take(hwnd, *form)) EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

}  // namespace acq::AcqForm

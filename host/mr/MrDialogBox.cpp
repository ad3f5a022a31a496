// Modal dialogs: a dialog the caller waits for. The driver's window actions
// go to it (RunModal) until its procedure calls EndDialog, it is closed, or
// the driver has no more actions; the dialog is destroyed then and the
// result handed back. A procedure may open another modal dialog while it
// handles a message: the inner one is waited for first, the outer one
// takes the actions again after it.
#include <map>

#include "host/mr/MrInternal.h"
#include "host/muc/MucTools.h"

namespace {

struct ModalState {
  bool ended = false;
  INT_PTR result = IDCANCEL;
  bool early = false;   // ended in WM_INITDIALOG, before its wait started
};

// Modal dialogs being waited for, by window; an entry lives as long as its
// DialogBox call.
std::map<HWND, ModalState>& Waiting() {
  static auto* m = new std::map<HWND, ModalState>;
  return *m;
}

// Modal dialogs being created: their procedure may end them in
// WM_INITDIALOG, before the wait starts.
int creating = 0;

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE res, int templateId, HWND parent, DLGPROC proc, LPARAM param) {
  std::optional<DialogTemplate> tmpl = LoadDialogTemplate(res, templateId);
  if (!tmpl) {
    Lib_Trace("DialogBoxParamW: no dialog template " + std::to_string(templateId));
    return -1;
  }
  return DialogBoxIndirectParamW(*tmpl, parent, proc, param);
}

INT_PTR DialogBoxIndirectParamW(const DialogTemplate& tmpl, HWND parent, DLGPROC proc,
                                LPARAM param) {
  if (proc == nullptr) return -1;
  ++creating;
  HWND hwnd = CreateDialogIndirectParamW(tmpl, parent, proc, param);
  --creating;
  if (hwnd == nullptr) {
    // Destroyed in WM_INITDIALOG: drop an end it was given there.
    std::erase_if(Waiting(), [](const auto& e) { return e.second.early && !IsWindow(e.first); });
    return IDCANCEL;
  }
  Waiting()[hwnd].early = false;   // keeps an end from WM_INITDIALOG
  mr::RunModal(hwnd, [hwnd] { return Waiting()[hwnd].ended; });
  const ModalState state = Waiting()[hwnd];
  Waiting().erase(hwnd);
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  return state.ended ? state.result : INT_PTR{IDCANCEL};
}

bool EndDialog(HWND dialog, INT_PTR result) {
  auto it = Waiting().find(dialog);
  if (it == Waiting().end()) {
    if (creating == 0 || !IsDialog(dialog)) return false;
    it = Waiting().try_emplace(dialog).first;
    it->second.early = true;
  }
  if (it->second.ended) return false;
  it->second.ended = true;
  it->second.result = result;
  return true;
}

// AcqPr: purchase requests. The list of requests (one window) and their
// find window (one) are listers of the framework over pr_list; a request
// opens in an editor of the framework over `pr` whose distribution rows
// are the module's child rows and whose save is the module's (AcqDbPr:
// request and rows in one transaction). From the editor a saved request is
// ordered on an open PO (Make PO Line).
//
// The lists have no linked editor: opening, new and delete are answered
// here, so that the editor always has this unit's procedure behind it.
// Privileges: the list needs prEdit and the find window prFind (asked by
// the caller); a save asks prEdit, a delete prDel, each time.
#include "acq/po/AcqPr.h"

#include <map>
#include <memory>
#include <optional>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqDbPr.h"
#include "acq/po/AcqPo.h"
#include "acq/po/AcqPoApp.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqPr {
namespace {

enum Msg : int {
  kMsgMade = 1864,
  kMsgSaveFirst = 1865,
  kMsgDeleteAsk = 1867,
  kMsgSelectRequest = 1868,
  kMsgTypePo = 1870,
  kMsgNoOpenPo = 1861,
  kMsgSelectRow = 1875,
};

enum Control : int { kOpen = 57601, kNew = 1870, kAddRow = 1871, kDeleteRow = 1872,
                     kMakeLine = 1873, kPoNumber = 1001 };

constexpr int kEditorDialog = 1862;
constexpr int kMakeLineDialog = 1863;
constexpr const char* kListView = "pr_list";
constexpr const char* kFindView = "pr_find";
constexpr const char* kEditorView = "pr";
constexpr const char* kEnvir = "purchreq";

struct ChildColumn {
  const char* name;
  const char* heading;
  bool editable;
};
const ChildColumn kChildColumns[] = {
    {"line", "Row", false},           {"quantity", "Qty", true},
    {"location", "Location", true},   {"collection", "Collection", true},
    {"itype", "Item Type", true},     {"budget", "Budget", true},
    {"call_number", "Call Number", true}, {"ship_to", "Ship To", true},
};

constexpr uint32_t Bit(int code) { return 1u << code; }

// The list (251) and the find window (252), one of each, from their
// opening to WM_DESTROY.
struct ListWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
};
ListWindow requestList, requestFind;

// An open request editor, from WM_INITDIALOG to WM_DESTROY.
struct RequestEditor {
  ~RequestEditor() { _BktDestroy(&rows); }
  HEDITOR editor = nullptr;
  HWND hwnd = nullptr;
  int32_t pr = 0;           // 0 until a new request is saved
  BktHandle rows = nullptr;   // the distribution rows (child rows of the editor)
};
std::map<HWND, std::unique_ptr<RequestEditor>> editors;
RequestEditor* pending = nullptr;   // handed to the editor's WM_INITDIALOG

void Tell(HWND owner, int id, std::string_view a1 = {}, std::string_view a2 = {},
          std::string_view a3 = {}) {
  MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2, a3),
                     MB_OK | MB_ICONINFORMATION);
}

std::string TemplateCaption(int dialog) {
  const std::optional<DialogTemplate> t = LoadDialogTemplate(AcqBase::ResourceInstance(), dialog);
  return t ? t->caption : std::string();
}

std::string EditorCaption(int32_t pr) {
  return Lb_FormatMessage(TemplateCaption(kEditorDialog), pr ? std::to_string(pr) : "(new)");
}

RequestEditor* Of(HWND hwnd) {
  auto it = editors.find(hwnd);
  return it == editors.end() ? nullptr : it->second.get();
}

// The open lists read again (a request saved, deleted or ordered).
void ReloadLists() {
  for (ListWindow* w : {&requestList, &requestFind}) {
    if (w->lister == nullptr) continue;
    const std::string sizeKey = MucTools_BuildSizeKey(MrLister_ViewName(w->lister));
    (void)MrLister_MrListerBegin(w->lister, sizeKey);
  }
}

// ---- the request editor ----------------------------------------------------------------------

void ShowRows(RequestEditor& e) {
  std::vector<std::string> columns, headings;
  for (const ChildColumn& c : kChildColumns) {
    columns.emplace_back(c.name);
    headings.emplace_back(c.heading);
  }
  MrEditor_SetChildRows(e.editor, e.rows, columns, headings);
  for (const ChildColumn& c : kChildColumns)
    MrEditor_SetChildColumn(e.editor, c.name, "", c.editable);
}

bool LoadRows(RequestEditor& e) {
  BktHandle fresh = nullptr;
  if (!AcqDbPr::LoadDistribution(e.pr, fresh)) return false;
  BktHandle old = e.rows;
  e.rows = fresh;
  ShowRows(e);
  _BktDestroy(&old);
  return true;
}

void AddRow(RequestEditor& e) {
  int row = 0;
  _BktInsert(e.rows, 0, row);
  _ColSetInt(e.rows, row, _BktGetColNum(e.rows, "quantity"), 1);
  MrEditor_ChildRowsChanged(e.editor);
  MrEditor_SetChildSelection(e.editor, {row});
}

void DeleteRow(RequestEditor& e) {
  const std::vector<int> selection = MrEditor_ChildSelection(e.editor);
  if (selection.size() != 1) return Tell(e.hwnd, kMsgSelectRow);
  const int row = selection.front();
  if (_BktGetState(e.rows, row) == kRowNew)
    _BktDelete(e.rows, row);
  else
    _BktSetState(e.rows, row, kRowDeleted);
  MrEditor_ChildRowsChanged(e.editor);
}

bool Save(RequestEditor& e) {
  // Asked at every save, whichever window the request was opened from.
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::prEdit)) return false;
  BktHandle record = MrEditor_Record(e.editor);
  AcqDbPr::Refusal refusal;
  if (!AcqDbPr::SaveRequest(record, e.rows, refusal)) {
    if (refusal.row > 0) MrEditor_SetChildSelection(e.editor, {refusal.row});
    if (!refusal.column.empty()) MrEditor_FocusField(e.editor, refusal.column);
    return false;
  }
  e.pr = _ColGetInt(record, 1, _BktGetColNum(record, "pr#"));
  SetWindowTextW(e.hwnd, EditorCaption(e.pr));
  (void)LoadRows(e);
  ReloadLists();
  return true;
}

// The PO number typed in the Make PO Line dialog, found as an open PO.
int32_t* askedPo = nullptr;

LRESULT MakeLineDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    SetWindowTextW(hwnd, Lb_FormatMessage(TemplateCaption(kMakeLineDialog),
                                          std::to_string(static_cast<int32_t>(lParam))));
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDCANCEL) {
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    }
    if (LOWORD(wParam) == IDOK) {
      const std::string number = GetDlgItemTextW(hwnd, kPoNumber);
      int32_t po = 0;
      if (!AcqDbPr::FindOpenPo(number, po)) return TRUE;   // reported
      if (po == 0) {
        if (number.find_first_not_of(' ') == std::string::npos)
          Tell(hwnd, kMsgTypePo);
        else
          Tell(hwnd, kMsgNoOpenPo, Lb_CutForMessage(number));
        return TRUE;
      }
      if (askedPo != nullptr) *askedPo = po;
      EndDialog(hwnd, IDOK);
      return TRUE;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

void MakeLine(RequestEditor& e) {
  if (e.pr == 0 || MrEditor_IsChanged(e.editor)) return Tell(e.hwnd, kMsgSaveFirst);
  int32_t po = 0;
  askedPo = &po;
  const INT_PTR answer = DialogBoxParamW(AcqBase::ResourceInstance(), kMakeLineDialog, e.hwnd,
                                         &MakeLineDlgProc, static_cast<LPARAM>(e.pr));
  askedPo = nullptr;
  if (answer != IDOK || po == 0) return;
  // With the site's approval on save a new line is approved as it is saved:
  // the privilege first, so that a refusal makes nothing.
  const bool approve = AcqDbGlobal::Globals().params.save_po_line_approval;
  if (approve && !AcqSecurity::CheckPrivilege(AcqSecurity::poApprv)) return;
  AcqDbPr::MadeLine made;
  if (AcqDbPr::MakePoLine(e.pr, po, made) != AcqDbPr::MakeResult::Made) return;
  if (approve) (void)AcqPoApp::ApproveLine(made.po, made.line, [](int32_t, int16_t) {});
  Tell(e.hwnd, kMsgMade, std::to_string(e.pr), made.poNumber, std::to_string(made.line));
  ReloadLists();
  AcqPo::OpenPo(made.po, made.poNumber);
  if (HWND top = KtWin_GetTopKtWnd(); AcqPo::IsPoWindow(top)) AcqPo::Reload(top);
}

LRESULT EditorDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    RequestEditor* e = pending;
    pending = nullptr;
    if (e == nullptr) return TRUE;
    e->editor = reinterpret_cast<HEDITOR>(lParam);
    e->hwnd = hwnd;
    editors[hwnd].reset(e);
    // One request per window: new requests start from the list, and
    // requests are deleted there (with their rows, in one transaction).
    MrProc_WithholdCodes(hwnd, Bit(kMrNew) | Bit(kMrCopy) | Bit(kMrNext) | Bit(kMrPrevious) |
                                   Bit(kMrFirst) | Bit(kMrLast) | Bit(kMrDelete));
    MrEditor_SetSaveHandler(e->editor, [hwnd](HEDITOR) {
      RequestEditor* r = Of(hwnd);
      return r != nullptr && Save(*r);
    });
    return TRUE;
  }
  RequestEditor* e = Of(hwnd);
  if (e == nullptr) return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kAddRow: AddRow(*e); return TRUE;
        case kDeleteRow: DeleteRow(*e); return TRUE;
        case kMakeLine: MakeLine(*e); return TRUE;
        default: break;
      }
      break;
    case kMrCodeDone:
      if (lParam != 0 && (wParam == kMrRefresh || wParam == kMrCancel)) (void)LoadRows(*e);
      break;
    case WM_DESTROY:
      // The rows stay alive until the framework has let go of the window.
      if (auto it = editors.find(hwnd); it != editors.end()) {
        MrEditor_SetChildRows(e->editor, nullptr, {}, {});
        editors.erase(it);
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// Opens request `pr` (0: a new one) in an editor.
void OpenEditor(int32_t pr) {
  auto* e = new RequestEditor;
  e->pr = pr;
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  pending = e;
  HEDITOR editor = MrEditor_Open(envir, kEditorView, &EditorDlgProc, PwMucBase_hwndClient,
                                 pr ? "pr#=" + std::to_string(pr) : "", pr == 0,
                                 EditorCaption(pr));
  if (pending != nullptr) {   // no window took the request
    pending = nullptr;
    delete e;
    e = nullptr;
  }
  if (editor == nullptr) {
    MrProc_FreeEnvir(&envir);
  } else if (e != nullptr) {
    if (pr == 0)
      (void)MrEditor_SetField(editor, "request_date", DbDabs_DateToStr(DbDabs_GetDate()), nullptr);
    if (!LoadRows(*e)) DestroyWindow(e->hwnd);
  }
  MucTools_HourGlass(false);
}

// ---- the lists -------------------------------------------------------------------------------

ListWindow* ListOf(HWND hwnd) {
  if (hwnd != nullptr && hwnd == requestList.hwnd) return &requestList;
  if (hwnd != nullptr && hwnd == requestFind.hwnd) return &requestFind;
  return nullptr;
}

std::vector<int32_t> SelectedRequests(const ListWindow& w) {
  std::vector<int32_t> requests;
  BktHandle rows = MrLister_Rows(w.lister);
  const int col = _BktGetColNum(rows, "pr#");
  for (int row : MrLister_Selection(w.lister))
    if (col != 0) requests.push_back(_ColGetInt(rows, row, col));
  return requests;
}

void OpenSelected(const ListWindow& w) {
  const std::vector<int32_t> requests = SelectedRequests(w);
  if (requests.empty()) return Tell(w.hwnd, kMsgSelectRequest);
  OpenEditor(requests.front());
}

void DeleteSelected(const ListWindow& w) {
  const std::vector<int32_t> requests = SelectedRequests(w);
  if (requests.empty()) return Tell(w.hwnd, kMsgSelectRequest);
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::prDel)) return;
  if (!MucTools_MsgBoxCapYNbool(w.hwnd, AcqBase::LoadStr(kMsgDeleteAsk))) return;
  if (AcqDbPr::DeleteRequests(requests)) ReloadLists();
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    MucTools_ReplaceSysMenu(hwnd);
    return TRUE;
  }
  ListWindow* w = ListOf(hwnd);
  switch (msg) {
    case WM_COMMAND:
      if (w == nullptr || HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == kOpen || LOWORD(wParam) == kNew) {
        LOWORD(wParam) == kOpen ? OpenSelected(*w) : OpenEditor(0);
        return TRUE;
      }
      break;
    case kMrQueryCode:
      if (w == nullptr) break;
      // The framework has no editor linked to these lists: this unit opens,
      // starts and deletes requests, and the framework's code stops here.
      switch (wParam) {
        case kMrEdit: OpenSelected(*w); return TRUE;
        case kMrNew: OpenEditor(0); return TRUE;
        case kMrDelete: DeleteSelected(*w); return TRUE;
        case kMrSearch:
        case kMrRefresh:
          if (w != &requestFind) break;
          return AcqSecurity::CheckPrivilege(AcqSecurity::prFind) ? FALSE : TRUE;
        default: break;
      }
      break;
    case WM_DESTROY:
      if (w != nullptr) *w = ListWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

void OpenList(ListWindow& w, const char* view) {
  if (w.hwnd != nullptr) {
    MucTools_SetCurrKtView(w.hwnd);
    return;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister =
      MrLister_MrListerUserInst(envir, view, &ListDlgProc, PwMucBase_hwndClient, "", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);
  } else {
    w = ListWindow{lister, MrLister_Hwnd(lister)};
    MrProc_SetWindowMenuBits(w.hwnd, Bit(kMrEdit) | Bit(kMrNew) | Bit(kMrDelete));
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(view))) DestroyWindow(w.hwnd);
  }
  MucTools_HourGlass(false);
}

}  // namespace

void OpenRequests() { OpenList(requestList, kListView); }
void FindRequests() { OpenList(requestFind, kFindView); }

bool IsRequestWindow(HWND hwnd) { return ListOf(hwnd) != nullptr || Of(hwnd) != nullptr; }

void Initialize() {
  requestList = requestFind = ListWindow{};
  pending = nullptr;
}

void Terminate() {
  editors.clear();
  requestList = requestFind = ListWindow{};
}

}  // namespace acq::AcqPr

ACQ_UNIT_BODY(AcqPr)

// AcqCopy: ordered copies in the catalogue (the windows' side): Create
// Items and Create Copies on the selected lines, the barcode dialog, item
// detail with the item's history, copy and issues, and copy attach and
// detach. What is written is AcqDbCopy's.
#include "acq/po/AcqCopy.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqDbCopy.h"
#include "acq/po/AcqPo.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqCopy {
namespace {

using AcqDbCopy::CreateResult;

constexpr int kMsgSingleLine = 224;
constexpr int kMsgConfirmCreate = 16;     // %1 caption kind, %2 text kind
constexpr int kMsgItemsKind = 230;
constexpr int kMsgCopiesKind = 231;
constexpr int kMsgNoItemDetail = 15;
constexpr int kMsgDetach = 225;
constexpr int kMsgNoIssues = 228;
constexpr int kMsgNoCopy = 233;
constexpr int kMsgNoBib = 236;
constexpr int kMsgBadBarcode = 334;
constexpr int kMsgItemExists = 1820;      // line, item
constexpr int kMsgBarcodeUsed = 1821;     // barcode
constexpr int kMsgSelectItem = 1823;
constexpr int kCaptionCandidates = 1824;  // PO, line, item
constexpr int kCaptionCopy = 1825;        // PO, line, item
constexpr int kCaptionBarcode = 1826;     // PO, line
constexpr int kCaptionItemDetail = 1827;  // PO, line
constexpr int kCaptionHistory = 1828;     // PO, line, item
constexpr int kMsgCopyChanged = 1829;
constexpr int kMsgPrefixTooLong = 1831;   // characters

constexpr int kBarcodeDialog = 1820;
constexpr int kTitleField = 1821, kLocationField = 1822, kBarcodeField = 1823,
              kPrefixField = 1824, kInventoryOnlyButton = 1825, kPrefixLabel = 1833;
constexpr int kItemDetailDialog = 17;
constexpr int kHistoryButton = 1701, kCopyButton = 1702, kIssuesButton = 1703;
constexpr int kCopyDialog = 1821;
constexpr int kAttachButton = 1826, kDetachButton = 1827;
constexpr int kHistoryDialog = 1822;
constexpr int kList = 1000;

HWND Owner() { return PwMucBase_hwndClient; }

std::string Trim(std::string text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void Tell(int id, std::string_view a1 = {}, std::string_view a2 = {}, HWND owner = nullptr) {
  MucTools_MsgBoxCap(owner ? owner : Owner(), Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2),
                     MB_OK | MB_ICONWARNING);
}

// A plain string of the table ("Item(s)|"): the part before the bar.
std::string Plain(int id) {
  std::string s = AcqBase::LoadStr(id);
  return s.substr(0, s.find('|'));
}

std::string Caption(int id, std::string_view a1, std::string_view a2, std::string_view a3 = {}) {
  return Lb_FormatMessage(Plain(id), a1, a2, a3);
}

bool ConfirmCreate(int kind) {
  const std::string what = Plain(kind);
  return MucTools_MsgBoxCapYNbool(
      Owner(), Lb_FormatMessage(AcqBase::LoadStr(kMsgConfirmCreate), what, what));
}

// ---- the barcode dialog ----------------------------------------------------------------

struct BarcodeAsk {
  std::string caption, title, location;
  AcqDbCopy::ItemEntry entry;
};
// The modal dialogs' records, set by WM_INITDIALOG for the dialog's life
// (each dialog is modal and shown once at a time).
BarcodeAsk* barcodeAsk = nullptr;

LRESULT BarcodeDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* ask = reinterpret_cast<BarcodeAsk*>(lParam);
      SetWindowTextW(hwnd, ask->caption);
      SetDlgItemTextW(hwnd, kTitleField, ask->title);
      SetDlgItemTextW(hwnd, kLocationField, ask->location);
      SetDlgItemTextW(hwnd, kBarcodeField, ask->entry.barcode);
      const bool inventory = AcqDbGlobal::Globals().params.inventory_prefix;
      for (int id : {kPrefixLabel, kPrefixField, kInventoryOnlyButton})
        ShowDlgItem(hwnd, id, inventory);
      SetDlgItemTextW(hwnd, kPrefixField, ask->entry.inventoryPrefix);
      SetDlgFocus(hwnd, kBarcodeField);
      barcodeAsk = ask;
      return TRUE;
    }
    case WM_COMMAND: {
      BarcodeAsk* ask = barcodeAsk;
      if (ask == nullptr) break;
      switch (LOWORD(wParam)) {
        case IDOK:
        case kInventoryOnlyButton:
          ask->entry.barcode = LOWORD(wParam) == IDOK
                                   ? Trim(GetDlgItemTextW(hwnd, kBarcodeField))
                                   : std::string();
          ask->entry.inventoryPrefix = Trim(GetDlgItemTextW(hwnd, kPrefixField));
          EndDialog(hwnd, IDOK);
          return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    }
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// ---- create --------------------------------------------------------------------------------

// Creates the items of one line; false when the person cancelled (the
// lines after it are left alone). The inventory prefix typed last is
// offered again for the next item.
bool CreateItemsOfLine(const AcqDbCopy::Line& l, std::string& lastPrefix) {
  const AcqDbGlobal::Parameters& site = AcqDbGlobal::Globals().params;
  for (const AcqDbCopy::LineItem& i : l.items) {
    if (i.cancelled || i.itemNum != 0) continue;
    BarcodeAsk ask;
    ask.caption = Caption(kCaptionBarcode, l.poNumber, std::to_string(l.line));
    ask.title = l.title;
    ask.location = i.location;
    ask.entry.inventoryPrefix = lastPrefix;
    for (;;) {
      const INT_PTR answer = DialogBoxParamW(AcqBase::ResourceInstance(), kBarcodeDialog, Owner(),
                                             &BarcodeDlgProc, reinterpret_cast<LPARAM>(&ask));
      barcodeAsk = nullptr;
      if (answer != IDOK) return false;
      const size_t prefixChars = static_cast<size_t>(std::max(site.inventory_prefix_length, 0));
      if (site.inventory_prefix && Lb_CharCount(ask.entry.inventoryPrefix) > prefixChars) {
        Tell(kMsgPrefixTooLong, std::to_string(prefixChars));
        continue;
      }
      lastPrefix = ask.entry.inventoryPrefix;
      int32_t made = 0;
      const CreateResult r = AcqDbCopy::CreateItem(l.po, l.line, i.item, ask.entry, made);
      if (r == CreateResult::BadBarcode) {
        Tell(kMsgBadBarcode);
        continue;   // the person corrects it
      }
      if (r == CreateResult::BarcodeInUse) {
        Tell(kMsgBarcodeUsed, ask.entry.barcode);
        continue;
      }
      if (r == CreateResult::AlreadyCreated)
        Tell(kMsgItemExists, std::to_string(l.line), std::to_string(i.item));
      if (r == CreateResult::Failed) return false;   // shown; nothing written
      break;
    }
  }
  return true;
}

// ---- item detail -------------------------------------------------------------------------

struct Detail {
  AcqDbCopy::Line line;
};
Detail* detail = nullptr;

std::vector<std::vector<std::string>> ItemRows(const AcqDbCopy::Line& l) {
  std::vector<std::vector<std::string>> rows;
  for (const AcqDbCopy::LineItem& i : l.items)
    rows.push_back({std::to_string(i.item), i.location, i.collection, i.itype,
                    i.itemNum ? std::to_string(i.itemNum) : "",
                    i.copyNum ? std::to_string(i.copyNum) : ""});
  return rows;
}

// The item of the selected row (the only item when the line has one).
const AcqDbCopy::LineItem* SelectedItem(HWND hwnd, const Detail& d) {
  const std::vector<int> sel = GetDlgListSelection(hwnd, kList);
  if (sel.size() == 1 && sel[0] >= 1 && static_cast<size_t>(sel[0]) <= d.line.items.size())
    return &d.line.items[static_cast<size_t>(sel[0] - 1)];
  if (sel.empty() && d.line.items.size() == 1) return &d.line.items[0];
  Tell(kMsgSelectItem, {}, {}, hwnd);
  return nullptr;
}

struct ListShow {
  std::string caption;
  std::vector<DlgListColumn> columns;
  std::vector<std::vector<std::string>> rows;
};

LRESULT HistoryDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* show = reinterpret_cast<const ListShow*>(lParam);
      SetWindowTextW(hwnd, show->caption);
      SetDlgListColumns(hwnd, kList, show->columns);
      SetDlgListRows(hwnd, kList, show->rows);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// The copy dialog: the attached copy (Detach) or the candidates (Attach).
struct CopyShow {
  ListShow list;
  int32_t po = 0;
  int16_t line = 0, item = 0;
  bool attached = false;
  bool changed = false;   // something was attached or detached
};
CopyShow* copyShow = nullptr;

void AttachOrDetach(HWND hwnd, CopyShow& c) {
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::poCAtt)) return;
  int32_t copy = 0;
  if (!c.attached) {
    const std::vector<int> sel = GetDlgListSelection(hwnd, kList);
    if (sel.size() != 1) {
      Tell(kMsgSelectItem, {}, {}, hwnd);
      return;
    }
    copy = std::stoi(c.list.rows[static_cast<size_t>(sel[0] - 1)][0]);
  } else if (!MucTools_MsgBoxCapYNbool(hwnd, AcqBase::LoadStr(kMsgDetach))) {
    return;
  }
  bool raced = false;
  if (!AcqDbCopy::SetItemCopy(c.po, c.line, c.item, copy, raced)) return;
  if (raced) Tell(kMsgCopyChanged, {}, {}, hwnd);
  c.changed = !raced;
  EndDialog(hwnd, IDOK);
}

LRESULT CopyDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* c = reinterpret_cast<CopyShow*>(lParam);
      copyShow = c;
      SetWindowTextW(hwnd, c->list.caption);
      SetDlgListColumns(hwnd, kList, c->list.columns);
      SetDlgListRows(hwnd, kList, c->list.rows);
      ShowDlgItem(hwnd, kAttachButton, !c->attached);
      ShowDlgItem(hwnd, kDetachButton, c->attached);
      return TRUE;
    }
    case WM_COMMAND: {
      CopyShow* c = copyShow;
      if (c == nullptr) break;
      switch (LOWORD(wParam)) {
        case kAttachButton:
        case kDetachButton: AttachOrDetach(hwnd, *c); return TRUE;
        case IDOK:
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    }
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

void ShowHistory(HWND hwnd, const Detail& d, const AcqDbCopy::LineItem& i) {
  ListShow show;
  show.caption = Caption(kCaptionHistory, d.line.poNumber, std::to_string(d.line.line),
                         std::to_string(i.item));
  show.columns = {{"date", "Date"}, {"po_activity_type", "Activity"}, {"undone", "Undone"},
                  {"internal_note", "Internal Note"}};
  if (!AcqDbCopy::LoadItemHistory(d.line.po, d.line.line, i.item, show.rows)) return;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kHistoryDialog, hwnd, &HistoryDlgProc,
                        reinterpret_cast<LPARAM>(&show));
}

void ShowCopy(HWND hwnd, Detail& d, const AcqDbCopy::LineItem& i) {
  if (d.line.bib == 0) {
    Tell(kMsgNoBib, {}, {}, hwnd);
    return;
  }
  CopyShow c;
  c.po = d.line.po;
  c.line = d.line.line;
  c.item = i.item;
  c.attached = i.copyNum != 0;
  const std::string po = d.line.poNumber, line = std::to_string(d.line.line),
                    item = std::to_string(i.item);
  if (c.attached) {
    c.list.caption = Caption(kCaptionCopy, po, line, item);
    c.list.columns = {{"copy#", "Copy #"}, {"begin_date", "Begin Date"}, {"end_date", "End Date"}};
    c.list.rows = {{std::to_string(i.copyNum), DbDabs_DateToStr(i.beginDate),
                    DbDabs_DateToStr(i.endDate)}};
  } else {
    c.list.caption = Caption(kCaptionCandidates, po, line, item);
    c.list.columns = {{"copy#", "Copy #"}, {"location", "Location"}, {"collection", "Collection"},
                      {"acq_status", "Status"}};
    if (!AcqDbCopy::LoadCopyCandidates(d.line.bib, c.list.rows)) return;
  }
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kCopyDialog, hwnd, &CopyDlgProc,
                        reinterpret_cast<LPARAM>(&c));
  copyShow = nullptr;
  if (!c.changed) return;
  AcqDbCopy::Line fresh;
  if (AcqDbCopy::LoadLine(d.line.po, d.line.line, fresh)) {
    d.line = std::move(fresh);
    SetDlgListRows(hwnd, kList, ItemRows(d.line));
  }
  ReloadPoWindows({{d.line.po, d.line.line}});
}

void ShowIssues(HWND hwnd, const AcqDbCopy::LineItem& i) {
  // The catalogue keeps no issue data for copies made by orders.
  Tell(i.copyNum == 0 ? kMsgNoCopy : kMsgNoIssues, {}, {}, hwnd);
}

LRESULT DetailDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* d = reinterpret_cast<Detail*>(lParam);
      detail = d;
      SetWindowTextW(hwnd, Caption(kCaptionItemDetail, d->line.poNumber,
                                   std::to_string(d->line.line)));
      SetDlgListColumns(hwnd, kList,
                        {{"item", "Item"}, {"location", "Location"}, {"collection", "Collection"},
                         {"itype", "Item Type"}, {"item#", "Item #"}, {"copy#", "Copy #"}});
      SetDlgListRows(hwnd, kList, ItemRows(d->line));
      return TRUE;
    }
    case WM_COMMAND: {
      Detail* d = detail;
      if (d == nullptr) break;
      const int id = LOWORD(wParam);
      if (id == IDCANCEL || id == IDOK) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      if (id != kHistoryButton && id != kCopyButton && id != kIssuesButton) break;
      const AcqDbCopy::LineItem* item = SelectedItem(hwnd, *d);
      if (item == nullptr) return TRUE;
      const AcqDbCopy::LineItem chosen = *item;   // the detail may reload under it
      if (id == kHistoryButton) ShowHistory(hwnd, *d, chosen);
      if (id == kCopyButton) ShowCopy(hwnd, *d, chosen);
      if (id == kIssuesButton) ShowIssues(hwnd, chosen);
      return TRUE;
    }
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

}  // namespace

void CreateItems(const LineKeys& lines) {
  if (lines.empty() || !ConfirmCreate(kMsgItemsKind)) return;
  std::string prefix;
  for (const auto& [po, line] : lines) {
    AcqDbCopy::Line l;
    if (!AcqDbCopy::LoadLine(po, line, l)) break;
    if (const AcqDbCopy::Refusal r = AcqDbCopy::CheckForItems(l); r.message != 0) {
      Tell(r.message, std::to_string(line), std::to_string(r.item));
      continue;
    }
    if (!CreateItemsOfLine(l, prefix)) break;
  }
  ReloadPoWindows(lines);
}

void CreateCopies(const LineKeys& lines) {
  if (lines.empty() || !ConfirmCreate(kMsgCopiesKind)) return;
  for (const auto& [po, line] : lines) {
    AcqDbCopy::Line l;
    if (!AcqDbCopy::LoadLine(po, line, l)) break;
    if (const AcqDbCopy::Refusal r = AcqDbCopy::CheckForCopies(l); r.message != 0) {
      Tell(r.message, std::to_string(line), std::to_string(r.item));
      continue;
    }
    int made = 0;
    if (!AcqDbCopy::CreateCopies(po, line, made)) break;
  }
  ReloadPoWindows(lines);
}

void CopiesOfLine(const LineKeys& lines) {
  if (lines.size() != 1) {
    Tell(kMsgSingleLine);
    return;
  }
  Detail d;
  if (!AcqDbCopy::LoadLine(lines[0].first, lines[0].second, d.line)) return;
  if (d.line.items.empty()) {
    Tell(kMsgNoItemDetail);
    return;
  }
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kItemDetailDialog, Owner(), &DetailDlgProc,
                        reinterpret_cast<LPARAM>(&d));
  detail = nullptr;
}

void ReloadPoWindows(const LineKeys& lines) {
  int32_t last = 0;
  for (const auto& [po, line] : lines) {
    (void)line;
    if (po == last) continue;
    last = po;
    AcqPo::ReloadPo(po);
  }
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqCopy

ACQ_UNIT_BODY(AcqCopy)

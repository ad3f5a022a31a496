// AcqPo: the PO window. One modeless dialog per open PO: the header's
// main fields, the lines with their counts and money (the stored procedure
// "fill_po_line_display", one line again with "reload_line_po_line_display"
// after a change) and the PO's totals, recomputed after every reload. Its
// buttons open the header and line editors and start the activities of the
// selected lines; the open windows and editors are kept in registries so
// that commands and refreshes find them.
#include "acq/po/AcqPo.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPoAct.h"
#include "acq/po/AcqPoApp.h"
#include "acq/po/AcqPoParts.h"
#include "acq/po/AcqTempPea.h"
#include "acq/print/AcqWrkslip.h"
#include "host/mr/MrFramework.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPo {

namespace {

using namespace parts;
using AcqDb::ClearChanges;
using AcqDbAct::Activity;

// Controls of the PO window (dialog 14) and the mode selection (dialog 13).
constexpr int kPoDialog = 14;
constexpr int kModeDialog = 13;
constexpr int kLinesList = 1000;
constexpr int kPatternChoice = 1021;   // the Distribution Pattern choice
// The header kept as a template, or as the session's defaults for new POs.
constexpr int kSaveTemplate = 1431;
constexpr int kStoreDefaults = 1432;
constexpr int kModeEdit = 1301;
constexpr int kModeReceive = 1302;
constexpr int kModePoLabel = 1303;
constexpr UINT kMsgMenuState = 0x0798;
constexpr const char* kLineView = "po_line_window";

enum Button : int {
  kHeader = 1401, kNewLine = 1402, kEditLine = 1403, kDeleteLine = 1404,
  kApprove = 1411, kReceive = 1412, kInvoice = 1413, kSupInvoice = 1414, kCredit = 1415,
  kRefund = 1416, kCancelItems = 1417, kBackOrder = 1418, kDistribute = 1419,
  kWorkslip = 1420,
};

// The activity each activity button starts.
struct ActivityButton {
  int id;
  Activity kind;
};
constexpr ActivityButton kActivityButtons[] = {
    {kApprove, Activity::Approve},     {kReceive, Activity::Receive},
    {kInvoice, Activity::Invoice},     {kSupInvoice, Activity::SupInvoice},
    {kCredit, Activity::Credit},       {kRefund, Activity::Refund},
    {kCancelItems, Activity::Cancel},  {kBackOrder, Activity::BackOrder},
    {kDistribute, Activity::Distribute},
};

// The money columns of the line display, in the order of the totals'
// fields: Price, Billed, Billed Charges, Billed Amount, On Order, Spent.
constexpr std::array<const char*, 6> kMoneyColumns = {
    "extended_price", "total_amount", "extra_charge", "item_amount", "on_order", "spent"};
constexpr std::array<int, 6> kTotalFields = {1011, 1012, 1013, 1014, 1015, 1016};
constexpr std::array<const char*, 5> kCountColumns = {"approved", "ordered", "received",
                                                      "invoiced", "cancelled"};

// One line as the window shows it.
struct LineRow {
  int16_t line = 0;
  std::string title;
  std::string isbn;
  std::optional<Dec64> unitPrice;
  int64_t quantity = 0;   // items not cancelled
  std::array<std::optional<Dec64>, 6> money;
  std::array<int64_t, 5> counts{};
};

// State of one PO window, in the registry from its creation to WM_DESTROY.
struct PoWindow {
  int32_t po = 0;
  std::string number;
  std::string currency;
  HWND hwnd = nullptr;
  std::vector<LineRow> lines;   // in line order
};

// Open PO windows ("HWND", "DATA" = PoWindow*) and PO editors ("DATA" =
// PoEditor*), Initialize to Terminate.
BktHandle windows = nullptr;
BktHandle editors = nullptr;
// The PO a window is being made for, handed to its WM_INITDIALOG.
PoWindow* pendingWindow = nullptr;

PoWindow* Find(HWND hwnd) {
  return windows == nullptr ? nullptr
                            : static_cast<PoWindow*>(AcqGlobal::WindowListFind(windows, hwnd));
}

std::vector<PoWindow*> WindowsOf(int32_t po) {
  std::vector<PoWindow*> found;
  for (int row = 1; windows != nullptr && row <= _BktCountAll(windows); ++row) {
    auto* w = static_cast<PoWindow*>(_ColGetNonScalar(windows, row, 2));
    if (w->po == po) found.push_back(w);
  }
  return found;
}

std::string MoneyCell(const std::optional<Dec64>& v) { return v ? Money(*v) : std::string(); }

// ---- loading -----------------------------------------------------------------------------------

// The lines `where` picks with their display columns; false (reported) on
// a database failure.
bool LoadLines(int32_t po, int16_t line, std::vector<LineRow>& out) {
  out.clear();
  std::string where = "po#=" + std::to_string(po);
  if (line != 0) where += " and line=" + std::to_string(line);
  BucketHold rows;
  DbMsg msg;
  DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "line", where,
                                 "po#,line,title,isbn,unit_price,quantity", kLineView, rows.get());
  std::vector<BktHandle> display;
  if (code == kDbOk) {
    code = line == 0 ? AcqDbGen::FillPoLineDisplay(msg, po, display)
                     : AcqDbGen::ReloadLinePoLineDisplay(msg, po, line, display);
  }
  // Every result set is ours, whatever happened.
  struct Held {
    std::vector<BktHandle>& bkts;
    ~Held() {
      for (BktHandle& bkt : bkts) _BktDestroy(&bkt);
    }
  } held{display};
  if (code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  BktHandle shown = display.empty() ? nullptr : display.front();
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    LineRow r;
    r.line = static_cast<int16_t>(WholeOf(*rows, row, "line").value_or(0));
    r.title = TextOf(*rows, row, "title");
    r.isbn = TextOf(*rows, row, "isbn");
    r.unitPrice = DecOf(*rows, row, "unit_price");
    r.quantity = WholeOf(*rows, row, "quantity").value_or(0);
    int at = 0;
    const int lineCol = shown ? _BktGetColNum(shown, "line") : 0;
    if (lineCol != 0 &&
        _BktLocateKey(shown, lineCol, BktKey::Int(r.line), 0, {}, at)) {
      for (size_t c = 0; c < kMoneyColumns.size(); ++c)
        r.money[c] = DecOf(shown, at, kMoneyColumns[c]);
      for (size_t c = 0; c < kCountColumns.size(); ++c)
        r.counts[c] = WholeOf(shown, at, kCountColumns[c]).value_or(0);
    }
    out.push_back(std::move(r));
  }
  return true;
}

struct Header {
  std::string number, vendorName, currency, contract, location, created;
};

bool LoadHeader(int32_t po, Header& h, bool& found) {
  found = false;
  BucketHold row;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(
          msg, ClearChanges::Yes, "", "po#=" + std::to_string(po),
          "po#,po_number,vendor_name,currency,vendor_contract,location,creation_date",
          "po_with_vendor", row.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*row) == 0) return true;
  found = true;
  h.number = TextOf(*row, 1, "po_number");
  h.vendorName = TextOf(*row, 1, "vendor_name");
  h.currency = TextOf(*row, 1, "currency");
  h.contract = TextOf(*row, 1, "vendor_contract");
  h.location = TextOf(*row, 1, "location");
  const auto created = WholeOf(*row, 1, "creation_date");
  h.created = created ? DbDabs_DateToStr(static_cast<DayNum>(*created)) : std::string();
  return true;
}

// ---- showing -----------------------------------------------------------------------------------

std::vector<DlgListColumn> LineColumns() {
  return {{"line", "Line"},          {"title", "Title"},         {"isbn", "ISBN"},
          {"unit_price", "Price"},   {"quantity", "Qty"},        {"extended_price", "Ext. Price"},
          {"total_amount", "Billed"}, {"on_order", "On Order"},  {"spent", "Spent"},
          {"approved", "Appr"},      {"ordered", "Ord"},         {"received", "Rcvd"},
          {"invoiced", "Inv"},       {"cancelled", "Canc"}};
}

std::vector<std::string> Cells(const LineRow& r) {
  std::vector<std::string> cells = {std::to_string(r.line), r.title, r.isbn,
                                    MoneyCell(r.unitPrice), std::to_string(r.quantity),
                                    MoneyCell(r.money[0]), MoneyCell(r.money[1]),
                                    MoneyCell(r.money[4]), MoneyCell(r.money[5])};
  for (int64_t count : r.counts) cells.push_back(std::to_string(count));
  return cells;
}

// The sums of the money columns over every line, NULLs skipped.
std::array<Dec64, 6> Totals(const std::vector<LineRow>& lines) {
  std::array<Dec64, 6> sums{};
  for (const LineRow& r : lines) {
    for (size_t c = 0; c < sums.size(); ++c) {
      if (!r.money[c]) continue;
      if (LbDec64_Add64(sums[c], *r.money[c], sums[c]) != DecStatus::Ok)
        KtSystem_Error("AcqPo.Totals: a PO total overflows");
    }
  }
  return sums;
}

// The list (keeping the selected lines selected) and the totals.
void ShowLines(PoWindow& w, const std::set<int16_t>& selectedLines) {
  std::vector<std::vector<std::string>> rows;
  std::vector<int> selection;
  for (size_t n = 0; n < w.lines.size(); ++n) {
    rows.push_back(Cells(w.lines[n]));
    if (selectedLines.count(w.lines[n].line)) selection.push_back(static_cast<int>(n) + 1);
  }
  SetDlgListRows(w.hwnd, kLinesList, rows);
  SetDlgListSelection(w.hwnd, kLinesList, selection);
  const std::array<Dec64, 6> sums = Totals(w.lines);
  for (size_t c = 0; c < sums.size(); ++c) {
    std::string text = Money(sums[c]);
    if (c == 0) text += " (" + w.currency + ")";
    SetDlgItemTextW(w.hwnd, kTotalFields[c], text);
  }
}

std::set<int16_t> SelectedLineNumbers(const PoWindow& w) {
  std::set<int16_t> lines;
  for (int row : GetDlgListSelection(w.hwnd, kLinesList)) {
    if (row >= 1 && static_cast<size_t>(row) <= w.lines.size())
      lines.insert(w.lines[static_cast<size_t>(row) - 1].line);
  }
  return lines;
}

bool ShowHeader(PoWindow& w) {
  Header h;
  bool found = false;
  if (!LoadHeader(w.po, h, found)) return false;
  if (!found) {
    Tell(w.hwnd, kMsgPoGone, MB_OK | MB_ICONWARNING, w.number);
    return false;
  }
  w.number = h.number;
  w.currency = h.currency;
  SetWindowTextW(w.hwnd, PoCaption(h.number));
  const std::pair<int, const std::string*> fields[] = {
      {1001, &h.number},   {1002, &h.vendorName}, {1003, &h.currency},
      {1004, &h.contract}, {1005, &h.location},   {1006, &h.created}};
  for (const auto& [id, text] : fields) SetDlgItemTextW(w.hwnd, id, *text);
  return true;
}

// Everything again from the database.
bool ReloadAll(PoWindow& w) {
  const std::set<int16_t> selected = SelectedLineNumbers(w);
  if (!ShowHeader(w)) return false;
  if (!LoadLines(w.po, 0, w.lines)) return false;
  ShowLines(w, selected);
  return true;
}

// Line `line` again (it may be new, or gone), then the totals.
void ReloadLine(PoWindow& w, int16_t line) {
  const std::set<int16_t> selected = SelectedLineNumbers(w);
  std::vector<LineRow> fresh;
  if (!LoadLines(w.po, line, fresh)) return;
  auto at = std::find_if(w.lines.begin(), w.lines.end(),
                         [line](const LineRow& r) { return r.line == line; });
  if (at != w.lines.end()) at = w.lines.erase(at);
  if (!fresh.empty()) {
    at = std::find_if(w.lines.begin(), w.lines.end(),
                      [line](const LineRow& r) { return r.line > line; });
    w.lines.insert(at, fresh.front());
  }
  ShowLines(w, selected);
}

// ---- actions -----------------------------------------------------------------------------------

LineKeys KeysOf(const PoWindow& w, const std::set<int16_t>& lines) {
  LineKeys keys;
  for (int16_t line : lines) keys.emplace_back(w.po, line);
  return keys;
}

// Any PO window of the PO follows the change of a line.
void Refreshed(int32_t po, int16_t line) { LineChanged(po, line); }

void StartActivity(PoWindow& w, Activity kind) {
  const std::set<int16_t> selected = SelectedLineNumbers(w);
  if (kind == Activity::Approve) {
    // Nothing selected approves the whole PO.
    std::set<int16_t> lines = selected;
    if (lines.empty())
      for (const LineRow& r : w.lines) lines.insert(r.line);
    AcqPoApp::ApproveLines(KeysOf(w, lines), selected.empty(), &Refreshed);
    return;
  }
  if (selected.empty()) {
    Tell(w.hwnd, kMsgSelectLines, MB_OK | MB_ICONINFORMATION);
    return;
  }
  AcqPoAct::RunOnLines(kind, KeysOf(w, selected), &Refreshed);
}

// The one selected line; 0 (told) when none or several are selected.
int16_t SingleSelectedLine(const PoWindow& w) {
  const std::set<int16_t> selected = SelectedLineNumbers(w);
  if (selected.size() == 1) return *selected.begin();
  Tell(w.hwnd, kMsgSingleLine, MB_OK | MB_ICONINFORMATION);
  return 0;
}

void DeleteLineOf(PoWindow& w) {
  const int16_t line = SingleSelectedLine(w);
  if (line == 0 || !AcqSecurity::CheckPrivilege(AcqSecurity::poDel)) return;
  if (!Ask(w.hwnd, kMsgDeleteLine, std::to_string(line), w.number)) return;
  const int32_t po = w.po;
  const HWND hwnd = w.hwnd;
  if (DeleteLine(hwnd, po, w.number, line)) LineChanged(po, line);
}

// One selected line is shown as its workslip; several are printed.
void WorkslipOf(const PoWindow& w) {
  const std::set<int16_t> selected = SelectedLineNumbers(w);
  if (selected.empty()) {
    Tell(w.hwnd, kMsgSelectLines, MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::vector<AcqWrkslip::Slip> slips;
  for (int16_t line : selected) slips.push_back(AcqWrkslip::Slip{w.po, line, {}});
  if (slips.size() == 1) {
    AcqWrkslip::Display(w.hwnd, slips.front(), AcqWrkslip::Source::Order);
  } else {
    (void)AcqWrkslip::Print(w.hwnd, slips, AcqWrkslip::Source::Order);
  }
}

LRESULT MenuState(PoWindow& w, unsigned command) {
  MucTools_SetCurrKtView(w.hwnd);
  switch (command) {
    case 160:
    case 171:
    case 172:
      MucTools_EnableMenuItem(command, true);
      return TRUE;
    case 173:
    case 174:
    case 175:
      MucTools_EnableMenuItem(command, !SelectedLineNumbers(w).empty());
      return TRUE;
    default:
      return FALSE;
  }
}

constexpr uint32_t Bit(int code) { return 1u << code; }

LRESULT PoDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    PoWindow* w = pendingWindow;
    pendingWindow = nullptr;
    if (w == nullptr) return TRUE;
    w->hwnd = hwnd;
    AcqGlobal::WindowListPut(windows, hwnd, w);
    MrProc_RegisterContextWindow(hwnd);
    // Edit and Delete Record act on the selected line, Refresh reloads.
    MrProc_SetWindowMenuBits(hwnd, Bit(kMrEdit) | Bit(kMrDelete) | Bit(kMrRefresh));
    SetDlgListColumns(hwnd, kLinesList, LineColumns());
    SetDlgChoices(hwnd, kPatternChoice, AcqTempPea::PatternNames());
    (void)SetDlgChoice(hwnd, kPatternChoice, AcqTempPea::OfferedPattern());
    ReloadAll(*w);
    return TRUE;
  }
  PoWindow* w = Find(hwnd);
  if (w == nullptr) return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != ACCEL_COMMAND) break;
      const int id = LOWORD(wParam);
      for (const ActivityButton& b : kActivityButtons) {
        if (b.id == id) {
          StartActivity(*w, b.kind);
          return TRUE;
        }
      }
      switch (id) {
        case kHeader: OpenHeader(w->po, w->number); return TRUE;
        case kNewLine: OpenLine(w->po, w->number, 0); return TRUE;
        case kEditLine:
          if (int16_t line = SingleSelectedLine(*w); line != 0) OpenLine(w->po, w->number, line);
          return TRUE;
        case kDeleteLine: DeleteLineOf(*w); return TRUE;
        case kWorkslip: WorkslipOf(*w); return TRUE;
        case kSaveTemplate: AcqTempPea::SaveTemplate(hwnd); return TRUE;
        case kStoreDefaults: AcqTempPea::StoreSessionDefaults(hwnd); return TRUE;
        default: break;
      }
      break;
    }
    case kMrQueryClose:
      return 1;   // nothing unsaved: the editors ask for themselves
    case kMsgMenuState:
      return MenuState(*w, HIWORD(wParam));
    case WM_DESTROY:
      MrProc_UnregisterContextWindow(hwnd);
      AcqGlobal::WindowListRemove(windows, hwnd);
      delete w;
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// ---- mode selection -----------------------------------------------------------------------------

LRESULT ModeDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      if (const auto* number = reinterpret_cast<const std::string*>(lParam))
        SetDlgItemTextW(hwnd, kModePoLabel, PoCaption(*number));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kModeEdit:
        case kModeReceive:
        case IDCANCEL:
          EndDialog(hwnd, LOWORD(wParam));
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// The first line of the PO with items to receive (`hint` first when it has
// some); 0 when none has. -1 on a database failure (reported).
int FirstLineToReceive(int32_t po, int16_t hint) {
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(
          msg, ClearChanges::Yes, "line",
          "po#=" + std::to_string(po) + " and receive_date IS NULL and cancel_date IS NULL",
          "distinct line", "po_line_item", rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return -1;
  }
  int at = 0;
  if (hint != 0 && _BktLocateKey(*rows, 1, BktKey::Int(hint), 0, {}, at)) return hint;
  return _BktCountAll(*rows) > 0 ? static_cast<int>(WholeOf(*rows, 1, "line").value_or(0)) : 0;
}

void OpenForReceiving(int32_t po, const std::string& number, int16_t hint) {
  HWND hwnd = ShowPoWindow(po, number);
  if (hwnd == nullptr) return;
  int line = FirstLineToReceive(po, hint);
  if (line < 0) return;
  if (line == 0) {
    // Nothing to receive anywhere: the activity says so for the line asked
    // about, or the first line.
    if (hint != 0) {
      line = hint;
    } else if (const PoWindow* w = Find(hwnd); w != nullptr && !w->lines.empty()) {
      line = w->lines.front().line;
    } else {
      Tell(hwnd, kMsgNothingToReceive, MB_OK | MB_ICONINFORMATION, PoCaption(number));
      return;
    }
  }
  AcqPoAct::OpenActivity(Activity::Receive, po, static_cast<int16_t>(line), &Refreshed);
}

}  // namespace

// ---- parts shared with the editors -----------------------------------------------------------

namespace parts {

void HeaderChanged(int32_t po) {
  for (PoWindow* w : WindowsOf(po)) ShowHeader(*w);
}

void LineChanged(int32_t po, int16_t line) {
  for (PoWindow* w : WindowsOf(po)) ReloadLine(*w, line);
}

HWND ShowPoWindow(int32_t po, const std::string& number) {
  if (const std::vector<PoWindow*> open = WindowsOf(po); !open.empty()) {
    MucTools_SetCurrKtView(open.front()->hwnd);
    return open.front()->hwnd;
  }
  MucTools_HourGlass(true);
  auto* w = new PoWindow;
  w->po = po;
  w->number = number;
  pendingWindow = w;
  HWND hwnd = CreateDialogParamW(AcqBase::ResourceInstance(), kPoDialog, PwMucBase_hwndClient,
                                 &PoDlgProc, 0);
  if (pendingWindow != nullptr) {   // no window took it
    pendingWindow = nullptr;
    delete w;
  }
  MucTools_HourGlass(false);
  return hwnd;
}

void RegisterEditor(HWND hwnd, PoEditor* editor) {
  editor->hwnd = hwnd;
  AcqGlobal::WindowListPut(editors, hwnd, editor);
}

PoEditor* FindEditor(HWND hwnd) {
  return editors == nullptr ? nullptr
                            : static_cast<PoEditor*>(AcqGlobal::WindowListFind(editors, hwnd));
}

void UnregisterEditor(HWND hwnd) {
  PoEditor* editor = FindEditor(hwnd);
  AcqGlobal::WindowListRemove(editors, hwnd);
  delete editor;
}

}  // namespace parts

void OpenPo(int32_t po, const std::string& number) { ShowPoWindow(po, number); }

void SetPatternChoices(const std::vector<std::string>& names) {
  for (int row = 1; windows != nullptr && row <= _BktCountAll(windows); ++row) {
    const auto* w = static_cast<PoWindow*>(_ColGetNonScalar(windows, row, 2));
    if (w != nullptr && w->hwnd != nullptr) SetDlgChoices(w->hwnd, kPatternChoice, names);
  }
}

void ChoosePattern(HWND hwnd, const std::string& name) {
  if (Find(hwnd) != nullptr) (void)SetDlgChoice(hwnd, kPatternChoice, name);
}

std::string ChosenPattern(HWND hwnd) {
  return Find(hwnd) != nullptr ? GetDlgItemTextW(hwnd, kPatternChoice) : std::string();
}

bool HasUnsavedEdits(int32_t po) {
  for (int row = 1; editors != nullptr && row <= _BktCountAll(editors); ++row) {
    const auto* e = static_cast<parts::PoEditor*>(_ColGetNonScalar(editors, row, 2));
    if (e != nullptr && e->po == po && e->editor != nullptr && MrEditor_IsChanged(e->editor))
      return true;
  }
  return false;
}

void OpenPoWithMode(int32_t po, const std::string& number, int16_t line) {
  std::string shown = number;
  switch (DialogBoxParamW(AcqBase::ResourceInstance(), kModeDialog, PwMucBase_hwndClient,
                          &ModeDlgProc, reinterpret_cast<LPARAM>(&shown))) {
    case kModeEdit: ShowPoWindow(po, number); break;
    case kModeReceive: OpenForReceiving(po, number, line); break;
    default: break;
  }
}

void NewPoForVendor() {
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::poHead)) return;
  int32_t vendor = 0;
  std::string name;
  if (!MrVendor_FindVendor(AcqDbGlobal::Session(), PwMucBase_hwndClient, vendor, name)) return;
  OpenNewHeader(vendor);
}

void NewPo() {
  // The session's defaults, when stored, make the new header (asking poHead).
  if (AcqTempPea::NewPoFromSessionDefaults()) return;
  if (AcqSecurity::CheckPrivilege(AcqSecurity::poHead)) OpenNewHeader(0);
}

bool IsPoWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

bool PoOfWindow(HWND hwnd, int32_t& po, std::string& number) {
  const PoWindow* w = Find(hwnd);
  if (w == nullptr) return false;
  po = w->po;
  number = w->number;
  return true;
}

LineKeys SelectedLines(HWND hwnd) {
  const PoWindow* w = Find(hwnd);
  return w == nullptr ? LineKeys() : KeysOf(*w, SelectedLineNumbers(*w));
}

void EditSelectedLine(HWND hwnd) {
  if (PoWindow* w = Find(hwnd))
    if (int16_t line = SingleSelectedLine(*w); line != 0) OpenLine(w->po, w->number, line);
}

void DeleteSelectedLine(HWND hwnd) {
  if (PoWindow* w = Find(hwnd)) DeleteLineOf(*w);
}

void Reload(HWND hwnd) {
  if (PoWindow* w = Find(hwnd)) ReloadAll(*w);
}

void ReloadPo(int32_t po) {
  for (PoWindow* w : WindowsOf(po)) ReloadAll(*w);
}

void RunActivity(HWND hwnd, Activity kind) {
  if (PoWindow* w = Find(hwnd)) StartActivity(*w, kind);
}

void RunActivityOnLines(Activity kind, const LineKeys& lines) {
  if (lines.empty()) return;
  if (kind == Activity::Approve) {
    AcqPoApp::ApproveLines(lines, false, &Refreshed);
  } else {
    AcqPoAct::RunOnLines(kind, lines, &Refreshed);
  }
}

bool IsPoEditor(HWND hwnd) { return FindEditor(hwnd) != nullptr; }

void EndEditor(HWND hwnd, int result) {
  if (FindEditor(hwnd) == nullptr) return;
  SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(result == IDOK ? IDOK : IDCANCEL), 0);
}

bool MayChangeRecord(HWND hwnd, bool newRecord) {
  PoEditor* editor = FindEditor(hwnd);
  if (editor == nullptr) return true;
  if (editor->opening && newRecord) return true;
  return editor->kind == PoEditor::Kind::Header ? HeaderMayChange(*editor, newRecord)
                                                : LineMayChange(*editor, newRecord);
}

void Initialize() {
  windows = AcqGlobal::CreateWindowList();
  editors = AcqGlobal::CreateWindowList();
  pendingWindow = nullptr;
}

void Terminate() {
  // The windows themselves close with the client; their records go here.
  for (int row = 1; row <= _BktCountAll(windows); ++row)
    delete static_cast<PoWindow*>(_ColGetNonScalar(windows, row, 2));
  for (int row = 1; row <= _BktCountAll(editors); ++row)
    delete static_cast<PoEditor*>(_ColGetNonScalar(editors, row, 2));
  AcqGlobal::DestroyWindowList(&windows);
  AcqGlobal::DestroyWindowList(&editors);
}

}  // namespace acq::AcqPo

ACQ_UNIT_BODY(AcqPo)

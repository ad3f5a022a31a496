// AcqVoucher: vouchers: the voucher list with its "(new)" candidates,
// creating vouchers from candidates, printing them, saving the printed form
// to a file and voiding them.
//
// The database keeps the books (create_statement_voucher, void_voucher);
// this unit keeps the rules around them: a candidate whose amount no longer
// matches what its statement has outstanding is stale and not created, each
// creation is confirmed, and each voucher made is printed. The list is a
// lister over the view voucher_list; its buttons act on the selected rows.
#include "acq/statement/AcqVoucher.h"

#include <algorithm>
#include <climits>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPo.h"
#include "acq/print/AcqPrint.h"
#include "acq/statement/AcqStatmnt.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucFilet.h"
#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/print/MucPrint.h"
#include "host/sys/Bucket.h"
#include "host/sys/FileIo.h"
#include "host/sys/LbStr.h"

namespace acq::AcqVoucher {
namespace {

using AcqDbExcept::HandleDbError;

// Messages.
constexpr int kMsgNoPoVoucher = 93;          // %1 the PO number
constexpr int kMsgNoStatementVoucher = 94;   // %1 the statement number
constexpr int kMsgVoidSure = 96;
constexpr int kMsgVoidAgain = 97;            // %1 the voucher number
constexpr int kMsgVoidCandidate = 98;
constexpr int kMsgStale = 200;
constexpr int kMsgCreateSure = 201;
constexpr int kMsgCannotOpenFile = 213;
constexpr int kMsgFontTooLarge = 238;
constexpr int kMsgInvoiceFirst = 261;
constexpr int kMsgSelectVouchers = 1611;
constexpr int kMsgNotCreated = 1612;         // %1 the statement number
constexpr int kMsgNotVoided = 1613;          // %1 the voucher number

// Labels of the printed voucher.
constexpr int kStrTitle = 1590, kStrVoidTitle = 1591, kStrNew = 1592, kStrPrepaid = 1593;
constexpr int kStrVendor = 1594, kStrCurrency = 1595;
constexpr int kStrInvoiceNo = 1596, kStrCreditNo = 1597, kStrRefundNo = 1598;
constexpr int kStrBudget = 1599, kStrAcctRef = 1600, kStrAmount = 1601, kStrBase = 1602;
constexpr int kStrInvoiceTotal = 1603, kStrCreditTotal = 1604, kStrRefundTotal = 1605;
constexpr int kStrCredRefTotal = 1606, kStrTotal = 1607, kStrVoucherNo = 1608, kStrDate = 1609;
constexpr int kStrJobName = 1610;
constexpr int kStrPage = 26, kStrOf = 27;

// The list and its buttons.
constexpr const char* kListView = "voucher_list";
constexpr const char* kEnvir = "voucher";
constexpr int kCreateButton = 1591;
constexpr int kPrintButton = 1592;
constexpr int kSaveButton = 1593;
constexpr int kVoidButton = 1594;

// Where the printer last chosen for vouchers is kept.
constexpr const char* kProfileSection = "ACQ";
constexpr const char* kPrinterKey = "Voucher Printer";
constexpr int kPrinterChars = 120;

// The text report: 80 characters a line; the columns, in characters.
constexpr int kWidth = 80;
constexpr int kColLabel = 0, kColValue = 16, kColRef = 16, kColAmount = 44, kColAmountEnd = 60,
              kColBase = 62, kColEnd = 78;

std::string Label(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

void Tell(int message, std::string_view a1 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(message), a1),
                     MB_OK | MB_ICONINFORMATION);
}

bool Ask(int message, std::string_view a1 = {}) {
  return MucTools_MsgBoxCap(PwMucBase_hwndClient,
                            Lb_FormatMessage(AcqBase::LoadStr(message), a1),
                            MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }

// ---- the text report ----------------------------------------------------------------------

// One piece of a report line, between two character columns.
struct Cell {
  std::string text;
  int from = 0, to = kWidth;
  MucPrintAlign align = MUCPRINT_LEFT;
  MucPrintStyle style = MUCPRINT_REGULAR;
};
using Line = std::vector<Cell>;   // empty: a blank line

// Characters (code points) of UTF-8 text, and its first `n` of them.
size_t Chars(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}
std::string FirstChars(std::string_view s, size_t n) {
  size_t chars = 0, at = 0;
  for (; at < s.size(); ++at) {
    if ((static_cast<unsigned char>(s[at]) & 0xC0) != 0x80 && chars++ == n) break;
  }
  return std::string(s.substr(0, at));
}

std::string Render(const Line& line) {
  std::vector<std::string> slots(kWidth, " ");   // one character each
  for (const Cell& cell : line) {
    const size_t width = static_cast<size_t>(cell.to - cell.from);
    const std::string text = FirstChars(cell.text, width);
    const size_t len = Chars(text);
    size_t at = static_cast<size_t>(cell.from);
    if (cell.align == MUCPRINT_RIGHT) at += width - len;
    if (cell.align == MUCPRINT_CENTRE) at += (width - len) / 2;
    size_t pos = 0;
    for (size_t c = 0; c < len; ++c) {
      size_t next = pos + 1;
      while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
      slots[at + c] = text.substr(pos, next - pos);
      pos = next;
    }
  }
  std::string out;
  for (const std::string& s : slots) out += s;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string Money(Dec64 amount, int decimals) { return AcqPrint::AmountText(amount, decimals); }

Dec64 Plus(Dec64 a, Dec64 b) { return Dec64::FromRaw(a.raw + b.raw); }

int Kind(int type) { return type == 3 || type == 4 ? 1 : type == 5 || type == 6 ? 2 : 0; }

std::vector<Line> Layout(const VoucherDoc& doc) {
  std::vector<Line> out;
  const int kind = Kind(doc.statementType);
  std::string title = Label(doc.isVoid ? kStrVoidTitle : kStrTitle);
  if (doc.voucher < 1) title += " " + Label(kStrNew);
  if (doc.prepaid) title += " " + Label(kStrPrepaid);
  out.push_back({Cell{title, 0, kWidth, MUCPRINT_CENTRE, MUCPRINT_BOLD}});
  out.push_back({});
  out.push_back({Cell{Label(kStrVoucherNo), kColLabel, kColValue},
                 Cell{doc.voucher < 1 ? Label(kStrNew) : doc.number, kColValue, kColAmount},
                 Cell{Label(kStrDate), kColAmount, kColAmountEnd},
                 Cell{DbDabs_DateToStr(doc.date), kColBase, kWidth}});
  out.push_back({Cell{Label(kStrVendor), kColLabel, kColValue},
                 Cell{doc.vendor, kColValue, kWidth}});
  out.push_back({Cell{Label(kStrCurrency), kColLabel, kColValue},
                 Cell{doc.currency, kColValue, kWidth}});
  const int numberLabel = kind == 1 ? kStrCreditNo : kind == 2 ? kStrRefundNo : kStrInvoiceNo;
  out.push_back({Cell{Label(numberLabel), kColLabel, kColValue},
                 Cell{doc.statementNumber, kColValue, kWidth}});
  out.push_back({});
  out.push_back({Cell{Label(kStrBudget), kColLabel, kColRef, MUCPRINT_LEFT, MUCPRINT_BOLD},
                 Cell{Label(kStrAcctRef), kColRef, kColAmount, MUCPRINT_LEFT, MUCPRINT_BOLD},
                 Cell{Label(kStrAmount), kColAmount, kColAmountEnd, MUCPRINT_RIGHT, MUCPRINT_BOLD},
                 Cell{Label(kStrBase), kColBase, kColEnd, MUCPRINT_RIGHT, MUCPRINT_BOLD}});
  Dec64 total{}, baseTotal{};
  for (const VoucherBudget& b : doc.budgets) {
    out.push_back({Cell{b.budget, kColLabel, kColRef}, Cell{b.acctRef, kColRef, kColAmount},
                   Cell{b.amount, kColAmount, kColAmountEnd, MUCPRINT_RIGHT},
                   Cell{b.base, kColBase, kColEnd, MUCPRINT_RIGHT}});
    total = Plus(total, b.amountValue);
    baseTotal = Plus(baseTotal, b.baseValue);
  }
  const std::string single(10, '-'), twice(10, '=');
  out.push_back({Cell{single, kColAmount, kColAmountEnd, MUCPRINT_RIGHT},
                 Cell{single, kColBase, kColEnd, MUCPRINT_RIGHT}});
  const int totalLabel =
      kind == 1 ? kStrCreditTotal : kind == 2 ? kStrRefundTotal : kStrInvoiceTotal;
  out.push_back({Cell{Label(totalLabel), kColLabel, kColAmount},
                 Cell{Money(total, doc.decimals), kColAmount, kColAmountEnd, MUCPRINT_RIGHT},
                 Cell{Money(baseTotal, doc.baseDecimals), kColBase, kColEnd, MUCPRINT_RIGHT}});
  Dec64 toPay = total;
  for (const VoucherCredit& c : doc.credits) {
    const Dec64 off = Dec64::FromRaw(-c.amount.raw);
    out.push_back({Cell{Label(kStrCredRefTotal), kColLabel, kColRef},
                   Cell{c.statementNumber, kColRef, kColAmount},
                   Cell{Money(off, doc.decimals), kColAmount, kColAmountEnd, MUCPRINT_RIGHT}});
    toPay = Plus(toPay, off);
  }
  out.push_back({Cell{single, kColAmount, kColAmountEnd, MUCPRINT_RIGHT}});
  out.push_back({Cell{Label(kStrTotal), kColLabel, kColAmount, MUCPRINT_LEFT, MUCPRINT_BOLD},
                 Cell{Money(toPay, doc.decimals), kColAmount, kColAmountEnd, MUCPRINT_RIGHT,
                      MUCPRINT_BOLD}});
  out.push_back({Cell{twice, kColAmount, kColAmountEnd, MUCPRINT_RIGHT}});
  return out;
}

// ---- reading vouchers ---------------------------------------------------------------------

// Result sets of a read procedure, destroyed with the holder.
struct Sets {
  std::vector<BktHandle> bkts;
  ~Sets() {
    for (BktHandle& b : bkts) _BktDestroy(&b);
  }
};

std::string Text(BktHandle b, int row, const char* col) {
  const int c = _BktGetColNum(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? "" : _ColGetStringW(b, row, c);
}
int32_t Int(BktHandle b, int row, const char* col, int32_t absent = 0) {
  const int c = _BktGetColNum(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? absent : _ColGetInt(b, row, c);
}
Dec64 Amount(BktHandle b, int row, const char* col) {
  const int c = _BktGetColNum(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? Dec64{} : _ColGetDec64(b, row, c);
}

// ---- printing and files ---------------------------------------------------------------------

void TellPrinter(const std::string& why) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Label(kStrJobName) + "|" + why, MB_OK | MB_ICONWARNING);
}

std::string StoredPrinter() {
  ProfileHold profile;
  return _Win32_QueryProfileString(profile.get(), kProfileSection, kPrinterKey, "", kPrinterChars);
}

MucPrintCode PrintDoc(HPRINTER job, const VoucherDoc& doc) {
  MucPrintCode code = MucPrint_StartDocument(job, Label(kStrJobName) + " " + doc.number);
  for (const Line& line : Layout(doc)) {
    if (code != MUCPRINT_OK) break;
    if (line.empty()) {
      code = MucPrint_PrintStr(job, "", MUCPRINT_LEFT, MUCPRINT_REGULAR);
      continue;
    }
    std::vector<MucPrintCell> cells;
    for (const Cell& c : line)
      cells.push_back(MucPrintCell{c.text, c.from * 1000 / kWidth, c.to * 1000 / kWidth, c.align,
                                   c.style});
    code = MucPrint_PrintCells(job, cells);
  }
  return code;
}

// Prints `docs` on the printer the person chooses (the one chosen last for
// vouchers offered first). True when the job went out.
bool PrintDocs(const std::vector<VoucherDoc>& docs) {
  if (docs.empty()) return false;
  std::string printer = StoredPrinter();
  if (printer.empty()) printer = MucPrint_DefaultPrinter();
  if (!MucPrint_OpenPrinterDlgBox(Label(kStrJobName), printer)) return false;
  {
    ProfileHold profile;
    (void)_Win32_WriteProfileString(profile.get(), kProfileSection, kPrinterKey, printer);
  }
  MucPrintJobHold job;
  std::string why;
  if (MucPrint_OpenPrinter(printer, MucPrint_QueryPageSetup(), job.out(), &why) != MUCPRINT_OK) {
    TellPrinter(why);
    return false;
  }
  MucPrintCode code = MucPrint_StartPrint(job.get(), Label(kStrJobName));
  MucPrint_SetPageWords(job.get(), Label(kStrPage), Label(kStrOf));
  for (size_t n = 0; code == MUCPRINT_OK && n < docs.size(); ++n) code = PrintDoc(job.get(), docs[n]);
  if (code == MUCPRINT_OK) code = MucPrint_EndPrint(job.get());
  if (code == MUCPRINT_FONT_TOO_LARGE) {
    Tell(kMsgFontTooLarge);
    return false;
  }
  if (code != MUCPRINT_OK) {
    TellPrinter(MucPrint_ErrorText(job.get()));
    return false;
  }
  return true;
}

void SaveDocs(const std::vector<VoucherDoc>& docs) {
  if (docs.empty()) return;
  std::string path;
  if (!MucFilet_FileSaveAsBox(Label(kStrJobName), "vouchers.txt", path)) return;
  std::string error;
  if (!WriteVoucherFile(path, docs, error)) {
    Tell(kMsgCannotOpenFile);
    return;
  }
  MucFilet_FileWritten(path);
}

// ---- the list -------------------------------------------------------------------------------

struct ListWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
};
ListWindow list;

// A selected row of the list.
struct Row {
  int32_t voucher = 0;     // < 1: a "(new)" candidate
  int32_t statement = 0;
  std::string number, statementNumber;
  Dec64 amount{};
  bool isVoid = false;
};

std::vector<Row> SelectedRows() {
  std::vector<Row> rows;
  if (list.lister == nullptr) return rows;
  BktHandle b = MrLister_Rows(list.lister);
  for (int r : MrLister_Selection(list.lister))
    rows.push_back(Row{Int(b, r, "voucher#"), Int(b, r, "statement#"),
                       Text(b, r, "voucher_number"), Text(b, r, "statement_number"),
                       Amount(b, r, "amount"), Int(b, r, "void") != 0});
  return rows;
}

// Reads the list again and selects the vouchers `vouchers` (the rows the
// person acted on, as they are now).
void Reload(const std::vector<int32_t>& vouchers) {
  if (list.lister == nullptr) return;
  if (!MrLister_MrListerBegin(list.lister, MucTools_BuildSizeKey(kListView))) return;
  if (vouchers.empty()) return;
  (void)MrLister_FetchRows(list.lister, INT_MAX);
  BktHandle b = MrLister_Rows(list.lister);
  std::vector<int> select;
  for (int r = 1; r <= _BktCountAll(b); ++r)
    if (std::find(vouchers.begin(), vouchers.end(), Int(b, r, "voucher#")) != vouchers.end())
      select.push_back(r);
  MrLister_SetSelection(list.lister, select);
}

std::vector<VoucherDoc> DocsOf(const std::vector<Row>& rows) {
  std::vector<VoucherDoc> docs;
  for (const Row& r : rows) {
    VoucherDoc doc;
    if (LoadVoucherDoc(r.voucher, r.statement, doc)) docs.push_back(std::move(doc));
  }
  return docs;
}

void CreateSelected() {
  const std::vector<Row> rows = SelectedRows();
  if (rows.empty()) {
    Tell(kMsgSelectVouchers);
    return;
  }
  std::vector<int32_t> made;
  for (const Row& r : rows) {
    if (r.voucher >= 1) continue;
    if (r.statement < 1) {
      Tell(kMsgInvoiceFirst);
      continue;
    }
    bool current = false;
    if (!CandidateIsCurrent(r.statement, r.amount, current)) break;
    if (!current) {
      Tell(kMsgStale);
      continue;
    }
    if (!Ask(kMsgCreateSure)) continue;
    int32_t voucher = 0;
    if (!AcqDbGen::CreateStatementVoucher(r.statement, voucher)) break;   // reported
    if (voucher == 0) {
      Tell(kMsgNotCreated, r.statementNumber);
      continue;
    }
    made.push_back(voucher);
    AcqStatmnt::StatementChanged(r.statement);
  }
  if (made.empty()) return;
  Reload(made);
  std::vector<VoucherDoc> docs;
  for (int32_t v : made) {
    VoucherDoc doc;
    if (LoadVoucherDoc(v, 0, doc)) docs.push_back(std::move(doc));
  }
  (void)PrintDocs(docs);
}

void VoidSelected() {
  const std::vector<Row> rows = SelectedRows();
  if (rows.empty()) {
    Tell(kMsgSelectVouchers);
    return;
  }
  if (!Ask(kMsgVoidSure)) return;
  std::vector<int32_t> touched;
  for (const Row& r : rows) {
    if (r.voucher < 1) {
      Tell(kMsgVoidCandidate);
      continue;
    }
    DbMsg msg;
    bool isVoid = false;
    if (!AcqDbGen::GetVoucherVoid(msg, r.voucher, isVoid)) break;
    if (isVoid) {
      Tell(kMsgVoidAgain, r.number);
      continue;
    }
    uint8_t result = 0;
    if (!AcqDbGen::VoidVoucher(r.voucher, result)) break;   // reported
    if (result == 0) {
      Tell(kMsgNotVoided, r.number);
      continue;
    }
    touched.push_back(r.voucher);
    AcqStatmnt::StatementChanged(r.statement);
  }
  if (!touched.empty()) Reload(touched);
}

enum class Output { Printer, File };

void PrintSelected(Output output) {
  const std::vector<Row> rows = SelectedRows();
  if (rows.empty()) {
    Tell(kMsgSelectVouchers);
    return;
  }
  const std::vector<VoucherDoc> docs = DocsOf(rows);
  if (output == Output::File)
    SaveDocs(docs);
  else
    (void)PrintDocs(docs);
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (list.hwnd != hwnd) break;
      switch (LOWORD(wParam)) {
        case kCreateButton:
          if (AcqSecurity::CheckPrivilege(AcqSecurity::vPrint)) CreateSelected();
          return TRUE;
        case kPrintButton:
          if (AcqSecurity::CheckPrivilege(AcqSecurity::vPrint)) PrintSelected(Output::Printer);
          return TRUE;
        case kSaveButton:
          if (AcqSecurity::CheckPrivilege(AcqSecurity::vPrint)) PrintSelected(Output::File);
          return TRUE;
        case kVoidButton:
          if (AcqSecurity::CheckPrivilege(AcqSecurity::vVoid)) VoidSelected();
          return TRUE;
        default:
          break;
      }
      break;
    case kMrQueryCode:
      // A search or refresh reads the vouchers again: vFind each time.
      if (wParam == kMrSearch || wParam == kMrRefresh)
        return AcqSecurity::CheckPrivilege(AcqSecurity::vFind) ? FALSE : TRUE;
      break;
    case WM_DESTROY:
      if (list.hwnd == hwnd) list = ListWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// How many rows of the voucher list `where` keeps; -1 on a failure
// (reported).
int32_t CountRows(const std::string& where) {
  DbMsg msg;
  int32_t n = 0;
  const DbCode code =
      AcqDb::ExecSP(msg, &n, sizeof n, "", "select count(*) from voucher_list where " + where);
  if (code == kDbOk) return n;
  HandleDbError(msg, code);
  return -1;
}

}  // namespace

bool ActiveVoucher(HWND hwnd, int32_t& voucher, std::string& number) {
  voucher = 0;
  number.clear();
  if (hwnd == nullptr || hwnd != list.hwnd) return false;
  const std::vector<Row> rows = SelectedRows();
  if (rows.size() != 1 || rows[0].voucher < 1) return false;
  voucher = rows[0].voucher;
  number = rows[0].number;
  return true;
}

void OpenVoucherList() {
  // From a statement or PO window: the vouchers of that statement (with
  // its candidate) or PO; elsewhere every voucher.
  std::string where;
  const HWND active = KtWin_GetTopKtWnd();
  int32_t key = 0;
  std::string number;
  if (AcqStatmnt::ActiveStatement(active, key, number)) {
    where = "statement#=" + Key(key);
    const int32_t n = CountRows(where);
    if (n < 0) return;
    if (n == 0) {
      Tell(kMsgNoStatementVoucher, number);
      return;
    }
  } else if (AcqPo::PoOfWindow(active, key, number)) {
    where = "voucher# in(select distinct voucher# from po_line_item_budget_amount where po#=" +
            Key(key) + ")";
    const int32_t n = CountRows(where);
    if (n < 0) return;
    if (n == 0) {
      Tell(kMsgNoPoVoucher, number);
      return;
    }
  }
  if (list.hwnd != nullptr) {
    if (where.empty()) {
      MucTools_SetCurrKtView(list.hwnd);
      return;
    }
    DestroyWindow(list.hwnd);   // WM_DESTROY forgets it; opened again for this window
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister =
      MrLister_MrListerUserInst(envir, kListView, &ListDlgProc, PwMucBase_hwndClient, where, "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);   // no window took it
  } else {
    list = ListWindow{lister, MrLister_Hwnd(lister)};
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kListView)))
      DestroyWindow(list.hwnd);   // WM_DESTROY forgets it
  }
  MucTools_HourGlass(false);
}

bool StatementHasVoucher(int32_t statement, bool& exists) {
  exists = false;
  DbMsg msg;
  uint8_t found = 0;
  const DbCode code =
      AcqDb::ExecSP(msg, &found, sizeof found, Key(statement), "exist_statement_voucher");
  if (code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  exists = found != 0;
  return true;
}

// A candidate is only as good as the amount it showed: money spent,
// vouchered or released since makes it stale.
bool CandidateIsCurrent(int32_t statement, Dec64 shown, bool& current) {
  current = false;
  DbMsg msg;
  Dec64 outstanding{};
  if (!AcqDbGen::GetNewStatementVouchAmount(msg, statement, outstanding)) return false;
  current = outstanding == shown;
  return true;
}

bool LoadVoucherDoc(int32_t voucher, int32_t statement, VoucherDoc& doc) {
  doc = VoucherDoc{};
  DbMsg msg;
  Sets head, credits;
  DbCode code = voucher >= 1 ? AcqDbGen::GetVoucher(msg, voucher, head.bkts)
                             : AcqDbGen::GetStatementNewVoucher(msg, statement, head.bkts);
  if (code == kDbOk)
    code = voucher >= 1 ? AcqDbGen::GetVoucherCredits(msg, voucher, credits.bkts)
                        : AcqDbGen::GetNewVoucherCredits(msg, statement, credits.bkts);
  if (code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  if (head.bkts.size() < 2 || _BktCountAll(head.bkts[0]) < 1) return false;
  const BktHandle h = head.bkts[0];
  doc.voucher = voucher >= 1 ? voucher : 0;
  doc.statement = Int(h, 1, "statement#");
  doc.number = Text(h, 1, "voucher_number");
  doc.statementNumber = Text(h, 1, "statement_number");
  doc.statementType = Int(h, 1, "statement_type");
  doc.vendor = Text(h, 1, "vendor_name");
  doc.currency = Text(h, 1, "currency");
  doc.date = static_cast<DayNum>(Int(h, 1, "voucher_date", kNoDate));
  doc.isVoid = Int(h, 1, "void") != 0;
  doc.prepaid = Int(h, 1, "prepaid") != 0;
  doc.decimals = Int(h, 1, "n_decimals", 2);
  const BktHandle lines = head.bkts[1];
  for (int r = 1; r <= _BktCountAll(lines); ++r) {
    doc.baseDecimals = Int(lines, r, "base_decimals", 2);
    doc.budgets.push_back(VoucherBudget{Text(lines, r, "budget"), Text(lines, r, "acct_ref"),
                                        Text(lines, r, "amount_str"),
                                        Text(lines, r, "base_amount_str"),
                                        Amount(lines, r, "amount"),
                                        Amount(lines, r, "base_amount")});
  }
  if (!credits.bkts.empty())
    for (int r = 1; r <= _BktCountAll(credits.bkts[0]); ++r)
      doc.credits.push_back(VoucherCredit{Text(credits.bkts[0], r, "statement_number"),
                                          Amount(credits.bkts[0], r, "amount_applied")});
  return true;
}

std::vector<std::string> VoucherText(const VoucherDoc& doc) {
  std::vector<std::string> out;
  for (const Line& line : Layout(doc)) out.push_back(line.empty() ? "" : Render(line));
  return out;
}

bool WriteVoucherFile(const std::string& path, const std::vector<VoucherDoc>& docs,
                      std::string& error) {
  bool ok = true;
  {
    FioaFileHold file;
    ok = file.Create(path, &error);
    if (!ok) return false;   // nothing was created
    for (size_t n = 0; ok && n < docs.size(); ++n) {
      if (n > 0) {
        ok = FIOA_WrLn(file.get(), &error) && FIOA_WrStr(file.get(), std::string(kWidth, '-'), &error) &&
             FIOA_WrLn(file.get(), &error) && FIOA_WrLn(file.get(), &error);
      }
      for (const std::string& line : VoucherText(docs[n])) {
        if (!ok) break;
        ok = FIOA_WrStr(file.get(), line, &error) && FIOA_WrLn(file.get(), &error);
      }
    }
    if (ok) ok = file.Close(&error);
  }
  if (!ok) {
    std::string ignored;
    (void)FIOA_Erase(path, &ignored);   // never leave half a file
  }
  return ok;
}

void Initialize() { list = ListWindow{}; }

void Terminate() {
  if (list.hwnd != nullptr) DestroyWindow(list.hwnd);
  list = ListWindow{};
}

}  // namespace acq::AcqVoucher

ACQ_UNIT_BODY(AcqVoucher)

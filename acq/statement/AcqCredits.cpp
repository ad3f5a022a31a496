// AcqCredits: credit memos applied to invoices, seen from either side.
//
// From an invoice the window lists the vendor's open credit memos, from a
// credit memo the vendor's outstanding invoices (same vendor and currency),
// each with what is applied between the two. Apply moves an amount from
// the credit to the invoice, Undo takes back what was applied; the database
// does both in one transaction (apply_statement_credit,
// undo_statement_credit), keeping amount_remaining of both statements and
// their statement_linker row in step, and refuses what a voucher has
// settled already.
#include "acq/statement/AcqCredits.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/print/AcqPrint.h"
#include "acq/statement/AcqStatmnt.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqCredits {
namespace {

using AcqDbExcept::HandleDbError;

constexpr int kMsgVoucheredLink = 219;
constexpr int kMsgNoInvoices = 220;
constexpr int kMsgNoCredits = 221;
constexpr int kMsgNothingOutstanding = 237;
constexpr int kStrInvoiceCaption = 1614;   // %1 the invoice's number
constexpr int kStrCreditCaption = 1615;    // %1 the credit memo's number
constexpr int kMsgSelectOne = 1616;
constexpr int kMsgBadAmount = 1617;        // %1 the text, %2 the decimals
constexpr int kMsgTooMuch = 1618;          // %1 the amount, %2 what is outstanding
constexpr int kMsgVouchered = 1619;        // %1, %2 the two statements
constexpr int kMsgNothingApplied = 1620;

constexpr int kDialog = 1591;
constexpr int kList = 1000;
constexpr int kAmountEdit = 1596;
constexpr int kApplyButton = 1597;
constexpr int kUndoButton = 1598;
constexpr int kSaveAttempts = 10;

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }
std::string Quoted(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, AcqDb::kDbCmdMaxIndex, text);
  return out;
}

void Tell(int message, std::string_view a1 = {}, std::string_view a2 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(message), a1, a2),
                     MB_OK | MB_ICONINFORMATION);
}

std::string Caption(int id, std::string_view a1) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return Lb_FormatMessage(s, a1);
}

Dec64 Neg(Dec64 a) { return Dec64::FromRaw(-a.raw); }

struct Window {
  HWND hwnd = nullptr;
  CreditStatement own;
  std::vector<CreditCandidate> rows;
};
std::map<HWND, Window*> windows;

bool Load(const std::string& sql, BucketHold& rows) {
  AcqDb::AppendDbCmd(sql);
  DbMsg msg;
  const DbCode code = AcqDb::LoadDbCmdCreate(msg, AcqDb::ClearChanges::Yes, rows.get(), 16, 16, 0);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

Dec64 Money(BktHandle b, int row, const char* col) {
  const int c = _BktGetColNum(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? Dec64{} : _ColGetDec64(b, row, c);
}

void Show(Window& w) {
  (void)ReadStatement(w.own.statement, w.own);
  (void)ReadCandidates(w.own, w.rows);
  std::vector<std::vector<std::string>> rows;
  const int d = w.own.decimals;
  for (const CreditCandidate& o : w.rows)
    rows.push_back({o.number, DbDabs_DateToStr(o.date), AcqPrint::AmountText(o.amount, d),
                    AcqPrint::AmountText(o.remaining, d), AcqPrint::AmountText(o.appliedHere, d),
                    o.vouchered ? "Yes" : ""});
  SetDlgListRows(w.hwnd, kList, rows);
}

// Runs a credit procedure in a transaction of its own (retried on a write
// conflict); its one-byte result, or false on a failure (shown).
bool RunProcedure(const char* procedure, const std::string& args, uint8_t& result) {
  result = 0;
  const DbCode code = AcqDbBase::SaveWithCodeRetry(
      kSaveAttempts,
      [&](DbMsg& msg) { return AcqDb::ExecSP(msg, &result, sizeof result, args, procedure); },
      [] { return true; });
  return code == kDbOk;
}

void Changed(const CreditStatement& own, const CreditCandidate& o) {
  AcqStatmnt::StatementChanged(own.statement);
  AcqStatmnt::StatementChanged(o.statement);
}

void ApplySelected(Window& w) {
  const std::vector<int> sel = GetDlgListSelection(w.hwnd, kList);
  if (sel.size() != 1 || static_cast<size_t>(sel[0]) > w.rows.size()) {
    Tell(kMsgSelectOne);
    return;
  }
  const CreditCandidate o = w.rows[static_cast<size_t>(sel[0]) - 1];
  const Dec64 outstanding = Outstanding(w.own, o);
  if (outstanding.raw == 0) {
    Tell(kMsgNothingOutstanding);
    return;
  }
  // Without an amount the whole outstanding amount is applied.
  std::string text = GetDlgItemTextW(w.hwnd, kAmountEdit);
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  Dec64 amount = outstanding;
  if (!text.empty()) {
    const std::optional<Dec64> parsed = LbDec64_StrTo64(text);
    int64_t unit = 1;
    for (int n = w.own.decimals; n < Dec64::kScale; ++n) unit *= 10;
    if (!parsed || parsed->raw <= 0 || parsed->raw % unit != 0) {
      Tell(kMsgBadAmount, text, std::to_string(w.own.decimals));
      return;
    }
    amount = *parsed;
  }
  if (amount > outstanding) {
    Tell(kMsgTooMuch, AcqPrint::AmountText(amount, w.own.decimals),
         AcqPrint::AmountText(outstanding, w.own.decimals));
    return;
  }
  const int32_t invoice = w.own.isCredit ? o.statement : w.own.statement;
  const int32_t credit = w.own.isCredit ? w.own.statement : o.statement;
  uint8_t result = 0;
  if (!RunProcedure("apply_statement_credit",
                    Key(invoice) + "," + Key(credit) + "," + std::to_string(amount.raw), result))
    return;
  switch (result) {
    case 1: Changed(w.own, o); break;
    case 2: Tell(kMsgVouchered, w.own.number, o.number); break;
    case 0:   // another workstation applied some of it meanwhile
      Tell(kMsgTooMuch, AcqPrint::AmountText(amount, w.own.decimals),
           AcqPrint::AmountText(outstanding, w.own.decimals));
      break;
    default: Tell(kMsgNothingOutstanding); break;
  }
  SetDlgItemTextW(w.hwnd, kAmountEdit, "");
  Show(w);
}

void UndoSelected(Window& w) {
  const std::vector<int> sel = GetDlgListSelection(w.hwnd, kList);
  if (sel.empty()) {
    Tell(kMsgSelectOne);
    return;
  }
  std::vector<CreditCandidate> chosen;
  for (int r : sel)
    if (static_cast<size_t>(r) <= w.rows.size()) chosen.push_back(w.rows[static_cast<size_t>(r) - 1]);
  for (const CreditCandidate& o : chosen) {
    if (o.vouchered) {
      Tell(kMsgVoucheredLink);
      continue;
    }
    if (o.appliedHere.raw == 0) {
      Tell(kMsgNothingApplied);
      continue;
    }
    const int32_t invoice = w.own.isCredit ? o.statement : w.own.statement;
    const int32_t credit = w.own.isCredit ? w.own.statement : o.statement;
    uint8_t result = 0;
    if (!RunProcedure("undo_statement_credit", Key(invoice) + "," + Key(credit), result)) break;
    if (result == 1)
      Changed(w.own, o);
    else
      Tell(result == 2 ? kMsgVoucheredLink : kMsgNothingApplied);
  }
  Show(w);
}

LRESULT DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      MucTools_ReplaceSysMenu(hwnd);
      auto* w = reinterpret_cast<Window*>(lParam);
      w->hwnd = hwnd;
      windows[hwnd] = w;
      SetWindowTextW(hwnd, Caption(w->own.isCredit ? kStrCreditCaption : kStrInvoiceCaption,
                                   w->own.number));
      SetDlgListColumns(hwnd, kList,
                        {{"statement_number", "Statement"}, {"statement_date", "Date"},
                         {"amount", "Amount"}, {"amount_remaining", "Remaining"},
                         {"amount_applied", "Applied"}, {"vouchered", "Vouchered"}});
      Show(*w);
      return TRUE;
    }
    case WM_COMMAND: {
      const auto it = windows.find(hwnd);
      if (it == windows.end()) break;
      if (LOWORD(wParam) == kApplyButton) {
        if (AcqSecurity::CheckPrivilege(AcqSecurity::stHead)) ApplySelected(*it->second);
        return TRUE;
      }
      if (LOWORD(wParam) == kUndoButton) {
        if (AcqSecurity::CheckPrivilege(AcqSecurity::stHead)) UndoSelected(*it->second);
        return TRUE;
      }
      break;
    }
    case WM_DESTROY:
      if (const auto it = windows.find(hwnd); it != windows.end()) {
        delete it->second;
        windows.erase(it);
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool ReadStatement(int32_t statement, CreditStatement& own) {
  BucketHold row;
  if (!Load("select statement_number, statement_type, vendor#, currency, amount, "
            "amount_remaining from statement where statement#=" + Key(statement),
            row))
    return false;
  if (_BktCountAll(*row) < 1) return false;
  own.statement = statement;
  own.number = _ColGetStringW(*row, 1, 1);
  const int type = _ColGetInt(*row, 1, 2);
  own.isCredit = type == 3 || type == 4;
  own.vendor = _ColGetInt(*row, 1, 3);
  own.currency = _ColIsNull(*row, 1, 4) ? "" : _ColGetStringW(*row, 1, 4);
  own.remaining = _ColIsNull(*row, 1, 6) ? Money(*row, 1, "amount") : Money(*row, 1, "amount_remaining");
  DbMsg msg;
  int32_t decimals = 2;
  if (!own.currency.empty() && AcqDbGen::GetCurrencyFormat(msg, own.currency, decimals))
    own.decimals = std::clamp(decimals, 0, 6);
  return type <= 4;   // refunds take no credits
}

// The other side's candidates: open ones of the vendor and currency, and
// every one something is applied to already (so it can be taken back).
bool ReadCandidates(const CreditStatement& own, std::vector<CreditCandidate>& out) {
  out.clear();
  const std::string s = Key(own.statement);
  const std::string linkOwn = own.isCredit ? "credit_statement#" : "invoice_statement#";
  const std::string linkOther = own.isCredit ? "invoice_statement#" : "credit_statement#";
  const std::string currency =
      own.currency.empty() ? "currency IS NULL" : "currency=" + Quoted(own.currency);
  // Money is read from plain columns only (a computed one would come back
  // as a 32-bit number); the links of our statement come on their own.
  const std::string remaining = "coalesce(v.amount_remaining, v.amount)";
  const std::string sql =
      "select v.statement#, v.statement_number, v.statement_date, v.amount, "
      "v.amount_remaining, (select count(*) from statement_linker l where l." + linkOther +
      "=v.statement#) as links from " + std::string(own.isCredit ? "invoice" : "credit_memo") +
      " v where v.vendor#=" + Key(own.vendor) + " and v." + currency + " and (" + remaining +
      (own.isCredit ? ">0" : "<0") + " or exists (select 1 from statement_linker l where l." +
      linkOwn + "=" + s + " and l." + linkOther + "=v.statement#)) order by v.statement_date, "
      "v.statement#";
  BucketHold rows, links;
  if (!Load(sql, rows)) return false;
  if (!Load("select " + linkOther + ", amount_applied, voucher# from statement_linker where " +
                linkOwn + "=" + s,
            links))
    return false;
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    CreditCandidate o;
    o.statement = _ColGetInt(*rows, r, 1);
    o.number = _ColGetStringW(*rows, r, 2);
    o.date = _ColIsNull(*rows, r, 3) ? kNoDate : static_cast<DayNum>(_ColGetInt(*rows, r, 3));
    o.amount = Money(*rows, r, "amount");
    o.remaining = _ColIsNull(*rows, r, 5) ? o.amount : Money(*rows, r, "amount_remaining");
    for (int l = 1; l <= _BktCountAll(*links); ++l) {
      if (_ColGetInt(*links, l, 1) != o.statement) continue;
      o.appliedHere = Money(*links, l, "amount_applied");
      o.vouchered = !_ColIsNull(*links, l, 3);
    }
    // Nothing applied to it anywhere and nothing left: nothing to do here.
    if (_ColGetInt(*rows, r, 6) == 0 && o.remaining.raw == 0) continue;
    out.push_back(o);
  }
  return true;
}

// What can still move between `own` and `o`: the smaller of the invoice's
// remaining and the credit's (negative) remaining, as a positive amount.
Dec64 Outstanding(const CreditStatement& own, const CreditCandidate& o) {
  const Dec64 invoice = own.isCredit ? o.remaining : own.remaining;
  const Dec64 credit = Neg(own.isCredit ? own.remaining : o.remaining);
  const Dec64 m = std::min(invoice, credit);
  return m.raw < 0 ? Dec64{} : m;
}

void OpenCredits(HWND statementWindow) {
  int32_t statement = 0;
  std::string number;
  if (!AcqStatmnt::ActiveStatement(statementWindow, statement, number)) return;
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::stHead)) return;
  for (const auto& [hwnd, w] : windows)
    if (w->own.statement == statement) {
      MucTools_SetCurrKtView(hwnd);
      return;
    }
  auto* w = new Window;
  if (!ReadStatement(statement, w->own) || !ReadCandidates(w->own, w->rows)) {
    delete w;
    return;
  }
  if (w->rows.empty()) {
    Tell(w->own.isCredit ? kMsgNoInvoices : kMsgNoCredits);
    delete w;
    return;
  }
  if (CreateDialogParamW(AcqBase::ResourceInstance(), kDialog, PwMucBase_hwndClient, &DlgProc,
                         reinterpret_cast<LPARAM>(w)) == nullptr)
    delete w;   // no template: no window took it
}

void Initialize() { windows.clear(); }

void Terminate() {
  std::vector<HWND> open;
  for (const auto& [hwnd, w] : windows) open.push_back(hwnd);
  for (HWND hwnd : open) DestroyWindow(hwnd);   // WM_DESTROY frees each
  for (auto& [hwnd, w] : windows) delete w;
  windows.clear();
}

}  // namespace acq::AcqCredits

ACQ_UNIT_BODY(AcqCredits)

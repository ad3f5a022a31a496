// AcqStApp: statement approval: whether a statement balances, its approval
// and the undo of it, and the list of statements waiting for approval.
//
// Approval turns the statement's money spent. Its own money (extra charges
// charged to a budget, the statement budgets of the budget-based types)
// moves from on order to spent as it is; the money of its lines does so
// for the items whose money is spent by the money model: the PO spends on
// invoice (spent_event set) or the item has been received. Undo of
// approval moves every spent row of the statement back to on order. Both
// run in one transaction with fund control's confirm-and-retry, re-read
// the statement inside it (so two workstations approving one statement
// approve it once) and move the budgets only through AcqDbBudget.
#include "acq/statement/AcqStApp.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/statement/AcqStatmnt.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"
#include "host/sys/LbStr.h"

namespace acq::AcqStApp {
namespace {

using AcqDbBase::RunStatement;

namespace budget = AcqDbBudget;
using AcqDbExcept::HandleDbError;

constexpr int kMsgNotApproved = 290;
constexpr int kMsgAlreadyApproved = 292;
constexpr int kMsgNotBalanced = 293;
constexpr int kMsgUnsavedApprove = 297;
constexpr int kMsgUndoAsk = 299;
constexpr int kMsgUnsavedUndo = 300;
constexpr int kMsgVoucherExists = 333;
constexpr int kMsgHeaderOpenApprove = 349;
constexpr int kMsgHeaderOpenUndo = 350;
constexpr int kMsgGstMismatch = 533;

constexpr const char* kCheckGst = "check_self_assessed_gst";
constexpr const char* kListView = "approve_statement";
constexpr const char* kEnvir = "statmnt";
constexpr UINT kCmdOpen = 57601;     // the list's Open button
constexpr UINT kCmdApprove = 1551;   // the list's Approve button
constexpr int kMaxRetries = 5;
constexpr size_t kKeysPerUpdate = 100;

// The statements-to-approve list (one at a time), from
// OpenStatementsToApprove to WM_DESTROY.
struct ListWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
};
ListWindow list;

std::string Key(int32_t key) { return std::to_string(key); }

void Tell(int message, std::string_view a1 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(message), a1),
                     MB_OK | MB_ICONWARNING);
}

// A failure that is not the server's, reported like one.
void ReportFailure(std::string_view text) {
  DbMsg msg;
  msg.Set(text);
  HandleDbError(msg, kDbError);
}

// ---- reads and writes that report their own failures ----------------------------------------

bool LoadRows(const std::string& sql, BucketHold& rows) {
  DbMsg msg;
  AcqDb::AppendDbCmd(sql);
  const DbCode code = AcqDb::LoadDbCmdCreate(msg, AcqDb::ClearChanges::Yes, rows.get(), 16, 16, 0);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

// "select sum(amount) from <table> where statement#=<statement><condition>";
// a sum over no rows is zero.
bool SumOf(std::string_view table, int32_t statement, std::string_view condition, Dec64& sum) {
  DbMsg msg;
  int64_t raw = 0;   // an 8-byte result is the amount's raw millionths
  const std::string sql = "select sum(amount) from " + std::string(table) +
                          " where statement#=" + Key(statement) + std::string(condition);
  const DbCode code = AcqDb::ExecSP(msg, &raw, sizeof raw, "", sql);
  sum = Dec64::FromRaw(code == kDbOk ? raw : 0);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

// Whether a voucher (not void) pays any of the statement's money.
bool VoucherExists(int32_t statement, bool& exists) {
  DbMsg msg;
  uint8_t flag = 0;
  const DbCode code =
      AcqDb::ExecSP(msg, &flag, sizeof flag, Key(statement), AcqDbGen::proc::exist_statement_voucher);
  exists = code == kDbOk && flag != 0;
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

// The header as it is in the database now.
struct Header {
  bool found = false;
  int type = 0;
  Dec64 amount{};
  bool approved = false;
  std::string number;
};

bool ReadHeader(int32_t statement, Header& h) {
  h = Header{};
  BucketHold row;
  if (!LoadRows("select statement_number,statement_type,amount,approve_date from statement "
                "where statement#=" + Key(statement),
                row))
    return false;
  if (_BktCountAll(*row) < 1) return true;
  h.found = true;
  h.number = _ColGetStringW(*row, 1, 1);
  h.type = _ColGetInt(*row, 1, 2);
  h.amount = _ColGetDec64(*row, 1, 3);
  h.approved = !_ColIsNull(*row, 1, 4);
  if (h.number.empty()) h.number = Key(statement);
  return true;
}

bool Balanced(int32_t statement, const Header& h, bool& balanced) {
  balanced = false;
  if (!h.found) return true;
  if (AcqStatmnt::IsBudgetType(h.type)) {
    Dec64 budgets;
    if (!SumOf("statement_budget", statement, "", budgets)) return false;
    balanced = budgets == h.amount;
    return true;
  }
  Dec64 lines, charged, open, prorated;
  if (!SumOf("po_line_item_budget_amount", statement, " and extra_charge_type IS NULL", lines) ||
      !SumOf("statement_extra_charge", statement, " and budget IS NOT NULL", charged) ||
      !SumOf("statement_extra_charge", statement, " and budget IS NULL", open) ||
      !SumOf("po_line_item_budget_amount", statement, " and extra_charge_type IS NOT NULL",
             prorated))
    return false;
  Dec64 total;
  if (LbDec64_Add64(lines, charged, total) != DecStatus::Ok ||
      LbDec64_Add64(total, open, total) != DecStatus::Ok) {
    balanced = false;   // sums past the range of money never balance
    return true;
  }
  balanced = total == h.amount && prorated == open;
  return true;
}

bool Base(Dec64 amount, Dec64 rate, Dec64& base) {
  if (LbDec64_Mul64(amount, rate, base) == DecStatus::Ok) return true;
  ReportFailure("The amount " + LbDec64_StrFrom64(amount) + " at the rate " +
                LbDec64_StrFrom64(rate) + " is out of range.");
  return false;
}

// "update <table> set spent=<flag> where <keyColumn> in(...)" in slices.
bool SetSpentByKeys(std::string_view table, std::string_view keyColumn,
                    const std::vector<int32_t>& keys, bool spent) {
  for (size_t from = 0; from < keys.size(); from += kKeysPerUpdate) {
    const size_t to = std::min(keys.size(), from + kKeysPerUpdate);
    std::vector<int32_t> slice(keys.begin() + static_cast<std::ptrdiff_t>(from),
                               keys.begin() + static_cast<std::ptrdiff_t>(to));
    if (!RunStatement("update " + std::string(table) + " set spent=" + (spent ? "1" : "0") +
                      " where " + std::string(keyColumn) + " in(" +
                      AcqDbGen::KeyList(slice) + ")"))
      return false;
  }
  return true;
}

// ---- one pass of approval or its undo, inside the transaction -------------------------------

enum class Direction { Approve, Undo };

class MoneyPass {
 public:
  MoneyPass(Direction direction, int32_t statement, DayNum today, AcqFundCtrl::BustList* list,
            budget::BudgetMoves& moves)
      : direction_(direction), statement_(statement), today_(today), list_(list),
        moves_(moves) {}

  // The refusal found inside the transaction (a message id), or 0.
  int refusal() const { return refusal_; }
  const std::string& number() const { return number_; }

  bool Run() {
    Header h;
    if (!ReadHeader(statement_, h)) return false;
    number_ = h.found ? h.number : Key(statement_);
    if (!h.found) {
      ReportFailure("Statement " + Key(statement_) + " is not in the database.");
      return false;
    }
    if (direction_ == Direction::Approve) {
      if (h.approved) return Refuse(kMsgAlreadyApproved);
      bool balanced = false;
      if (!Balanced(statement_, h, balanced)) return false;
      if (!balanced) return Refuse(kMsgNotBalanced);
    } else {
      if (!h.approved) return Refuse(kMsgNotApproved);
      bool vouchered = false;
      if (!VoucherExists(statement_, vouchered)) return false;
      if (vouchered) return Refuse(kMsgVoucherExists);
    }
    const bool budgetType = AcqStatmnt::IsBudgetType(h.type);
    return MoveExtraCharges() && (!budgetType || MoveStatementBudgets()) &&
           (budgetType || MoveLineMoney()) && WriteHeader() &&
           (direction_ == Direction::Approve || ReopenPos()) &&
           budget::ApplyStatementBudgetUpdate(list_, moves_, false, statement_, nullptr);
  }

 private:
  bool Approving() const { return direction_ == Direction::Approve; }
  // The rows a pass moves: unspent ones to spend, spent ones to take back.
  std::string SpentNow() const { return Approving() ? "0" : "1"; }

  bool Refuse(int message) {
    refusal_ = message;
    return false;
  }

  // A statement money row of its own: from on order to spent, or back.
  void MoveOwn(const std::string& chargeType, Dec64 base, const std::string& b) {
    if (Approving()) {
      budget::IncreaseExtraSpent(chargeType, base, b, moves_.deltas(), moves_.detail());
      budget::DecreaseExtraOnOrder(chargeType, base, b, moves_.deltas(), moves_.detail());
    } else {
      budget::DecreaseExtraSpent(chargeType, base, b, moves_.deltas(), moves_.detail());
      budget::IncreaseExtraOnOrder(chargeType, base, b, moves_.deltas(), moves_.detail());
    }
  }

  bool MoveExtraCharges() {
    BucketHold rows;
    const std::string where =
        " where statement#=" + Key(statement_) + " and budget IS NOT NULL and spent=" + SpentNow();
    if (!LoadRows("select extra_charge_type,amount,exchange_rate,budget from "
                  "statement_extra_charge" + where + " order by extra_charge_type",
                  rows))
      return false;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      Dec64 base;
      if (!Base(_ColGetDec64(*rows, row, 2), _ColGetDec64(*rows, row, 3), base)) return false;
      MoveOwn(_ColGetStringW(*rows, row, 1), base, _ColGetStringW(*rows, row, 4));
    }
    return _BktCountAll(*rows) == 0 ||
           RunStatement("update statement_extra_charge set spent=" +
                        std::string(Approving() ? "1" : "0") + where);
  }

  bool MoveStatementBudgets() {
    BucketHold rows;
    const std::string where =
        " where statement#=" + Key(statement_) + " and budget IS NOT NULL and spent=" + SpentNow();
    if (!LoadRows("select budget,amount,exchange_rate from statement_budget" + where +
                      " order by budget",
                  rows))
      return false;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      Dec64 base;
      if (!Base(_ColGetDec64(*rows, row, 2), _ColGetDec64(*rows, row, 3), base)) return false;
      MoveOwn("", base, _ColGetStringW(*rows, row, 1));
    }
    return _BktCountAll(*rows) == 0 ||
           RunStatement("update statement_budget set spent=" +
                        std::string(Approving() ? "1" : "0") + where);
  }

  // The money rows of the statement's lines (prorated charges included).
  // Approval takes the unspent rows of items whose money the model spends
  // (the PO spends on invoice, or the item was received); undo every spent
  // row of the statement.
  bool MoveLineMoney() {
    BucketHold rows;
    std::string sql =
        "select m.budget_amount#,m.item,m.budget,m.amount,m.exchange_rate,m.extra_charge_type "
        "from po_line_item_budget_amount m";
    if (Approving())
      sql += ",po_line_item i,po p where m.statement#=" + Key(statement_) +
             " and m.spent=0 and i.po#=m.po# and i.line=m.line and i.item=m.item and "
             "p.po#=m.po# and (p.spent_event<>0 or i.receive_date IS NOT NULL)";
    else
      sql += " where m.statement#=" + Key(statement_) + " and m.spent=1";
    if (!LoadRows(sql + " order by m.budget_amount#", rows)) return false;
    std::vector<int32_t> keys;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      Dec64 base;
      if (!Base(_ColGetDec64(*rows, row, 4), _ColGetDec64(*rows, row, 5), base)) return false;
      const auto item = static_cast<int16_t>(_ColGetInt(*rows, row, 2));
      const std::string b = _ColGetStringW(*rows, row, 3);
      if (_ColIsNull(*rows, row, 6)) {
        if (Approving()) {
          budget::DecreaseOnOrder(item, base, b, moves_.deltas(), moves_.detail());
          budget::IncreaseSpent(item, base, b, moves_.deltas(), moves_.detail());
        } else {
          budget::DecreaseSpent(item, base, b, moves_.deltas(), moves_.detail());
          budget::IncreaseOnOrder(item, base, b, moves_.deltas(), moves_.detail());
        }
      } else {
        MoveOwn(_ColGetStringW(*rows, row, 6), base, b);
      }
      keys.push_back(_ColGetInt(*rows, row, 1));
    }
    return SetSpentByKeys("po_line_item_budget_amount", "budget_amount#", keys, Approving());
  }

  bool WriteHeader() {
    const std::string day = std::to_string(today_);
    return RunStatement("update statement set approve_date=" +
                        (Approving() ? day : std::string("NULL")) +
                        ",last_update_date=" + day + " where statement#=" + Key(statement_));
  }

  // Undo: the statement's POs are not complete any more.
  bool ReopenPos() {
    const std::string s = Key(statement_);
    return RunStatement(
        "update po set completion_date=NULL,last_update_date=" + std::to_string(today_) +
        " where po# in(select distinct po# from po_line_item_budget_amount where statement#=" +
        s + ") or po# in(select distinct po# from statement_line where statement#=" + s + ")");
  }

  const Direction direction_;
  const int32_t statement_;
  const DayNum today_;
  AcqFundCtrl::BustList* list_;
  budget::BudgetMoves& moves_;
  int refusal_ = 0;
  std::string number_;
};

// Runs the passes in one transaction with the retry of write conflicts and
// fund control's confirm-and-retry; a refusal found inside is told after
// the rollback. True when committed.
bool RunMoneyTransaction(Direction direction, int32_t statement) {
  const DayNum today = DbDabs_GetDate();
  AcqFundCtrl::BustListHold bust;
  budget::BudgetMoves moves;
  if (!moves.ok()) return false;
  int refusal = 0;
  std::string number;
  auto steps = [&] {
    moves.Reset();
    MoneyPass pass(direction, statement, today, bust.get(), moves);
    const bool ok = pass.Run();
    refusal = pass.refusal();
    number = pass.number();
    return ok;
  };
  auto confirmAgain = [&] {
    if (refusal != 0) return false;
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(bust.get()) && handler != nullptr && handler(bust.get());
  };
  const bool committed = AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, confirmAgain);
  if (!committed && refusal != 0) Tell(refusal, number);
  if (committed) AcqStatmnt::StatementChanged(statement);
  return committed;
}

// The database's GST verdict; false when the person cancels the approval
// (or the verdict cannot be read: reported).
bool GstAccepted(HWND owner, int32_t statement) {
  DbMsg msg;
  std::vector<BktHandle> sets;
  const DbCode code = AcqDb::MultLoad(msg, sets, Key(statement), kCheckGst);
  bool accepted = code == kDbOk;
  if (!accepted) HandleDbError(msg, code);
  if (accepted && !sets.empty() && _BktCountAll(sets[0]) >= 1) {
    BktHandle v = sets[0];
    const int colOk = _BktGetColNum(v, "gst_ok");
    const int colCalculated = _BktGetColNum(v, "calculated_gst");
    const int colHeader = _BktGetColNum(v, "header_gst");
    if (colOk == 0 || colCalculated == 0 || colHeader == 0) {
      ReportFailure("AcqStApp.CheckSelfAssessedGst: the GST verdict cannot be read");
      accepted = false;
    } else if (_ColGetInt(v, 1, colOk) == 0) {
      const std::string text = Lb_FormatMessage(
          AcqBase::LoadStr(kMsgGstMismatch), LbDec64_StrFrom64(_ColGetDec64(v, 1, colCalculated), 2),
          LbDec64_StrFrom64(_ColGetDec64(v, 1, colHeader), 2));
      accepted = MucTools_MsgBoxCap(owner != nullptr ? owner : PwMucBase_hwndClient, text,
                                    MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
    }
  }
  for (BktHandle& set : sets) _BktDestroy(&set);
  return accepted;
}

// ---- the list -------------------------------------------------------------------------------

void ReloadList() {
  if (list.lister != nullptr)
    (void)MrLister_MrListerBegin(list.lister, MucTools_BuildSizeKey(kListView));
}

struct Selected {
  int32_t statement = 0;
  std::string number;
};

std::vector<Selected> SelectedStatements() {
  std::vector<Selected> out;
  if (list.lister == nullptr) return out;
  BktHandle rows = MrLister_Rows(list.lister);
  const int colKey = _BktGetColNum(rows, "statement#");
  const int colNumber = _BktGetColNum(rows, "statement_number");
  if (colKey == 0) return out;
  for (int row : MrLister_Selection(list.lister)) {
    Selected s{_ColGetInt(rows, row, colKey), ""};
    s.number = colNumber != 0 ? _ColGetStringW(rows, row, colNumber) : Key(s.statement);
    out.push_back(s);
  }
  return out;
}

// Approves the list's selected statements in turn (stApprv asked once
// when `askPrivilege`), then reads the list again: the approved ones leave it.
void ApproveSelected(bool askPrivilege) {
  const std::vector<Selected> chosen = SelectedStatements();
  if (chosen.empty() || (askPrivilege && !AcqSecurity::CheckPrivilege(AcqSecurity::stApprv)))
    return;
  bool changed = false;
  for (const Selected& s : chosen) changed = Approve(PwMucBase_hwndClient, s.statement) || changed;
  if (changed) ReloadList();
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_CHANGE) break;
      if (LOWORD(wParam) == kCmdOpen) {
        for (const Selected& s : SelectedStatements()) AcqStatmnt::OpenStatement(s.statement, s.number);
        return TRUE;
      }
      if (LOWORD(wParam) == kCmdApprove) {
        ApproveSelected(true);
        return TRUE;
      }
      break;
    case kMrQueryCode:
      // The list shows statements' amounts: stFind at every read.
      if (wParam == kMrSearch || wParam == kMrRefresh)
        return AcqSecurity::CheckPrivilege(AcqSecurity::stFind) ? FALSE : TRUE;
      break;
    case WM_DESTROY:
      if (list.hwnd == hwnd) list = ListWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool IsStatementBalanced(int32_t statement, bool& balanced) {
  balanced = false;
  Header h;
  return ReadHeader(statement, h) && Balanced(statement, h, balanced);
}

bool IsApproved(int32_t statement, bool& approved) {
  Header h;
  const bool ok = ReadHeader(statement, h);
  approved = ok && h.approved;
  return ok;
}

bool Approve(HWND owner, int32_t statement) {
  Header h;
  if (!ReadHeader(statement, h)) return false;
  if (!h.found) {
    ReportFailure("Statement " + Key(statement) + " is not in the database.");
    return false;
  }
  if (h.approved) {
    Tell(kMsgAlreadyApproved, h.number);
    return false;
  }
  bool balanced = false;
  if (!Balanced(statement, h, balanced)) return false;
  if (!balanced) {
    Tell(kMsgNotBalanced, h.number);
    return false;
  }
  if (!GstAccepted(owner, statement)) return false;
  return RunMoneyTransaction(Direction::Approve, statement);
}

bool UndoApproval(HWND owner, int32_t statement) {
  Header h;
  if (!ReadHeader(statement, h)) return false;
  if (!h.found) {
    ReportFailure("Statement " + Key(statement) + " is not in the database.");
    return false;
  }
  if (!h.approved) {
    Tell(kMsgNotApproved);
    return false;
  }
  bool vouchered = false;
  if (!VoucherExists(statement, vouchered)) return false;
  if (vouchered) {
    Tell(kMsgVoucherExists);
    return false;
  }
  if (MucTools_MsgBoxCap(owner != nullptr ? owner : PwMucBase_hwndClient,
                         AcqBase::LoadStr(kMsgUndoAsk), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return false;
  return RunMoneyTransaction(Direction::Undo, statement);
}

void ApproveActive(HWND active) {
  if (list.hwnd != nullptr && active == list.hwnd) {
    ApproveSelected(false);
    return;
  }
  if (!AcqStatmnt::ReadyFor(active, kMsgUnsavedApprove, kMsgHeaderOpenApprove)) return;
  int32_t statement = 0;
  std::string number;
  if (AcqStatmnt::ActiveStatement(active, statement, number)) {
    if (Approve(PwMucBase_hwndClient, statement)) ReloadList();
  }
}

void UndoApprovalActive(HWND active) {
  if (!AcqStatmnt::ReadyFor(active, kMsgUnsavedUndo, kMsgHeaderOpenUndo)) return;
  int32_t statement = 0;
  std::string number;
  if (AcqStatmnt::ActiveStatement(active, statement, number)) {
    if (UndoApproval(PwMucBase_hwndClient, statement)) ReloadList();
  }
}

bool IsApprovalList(HWND hwnd) { return hwnd != nullptr && hwnd == list.hwnd; }

void OpenStatementsToApprove() {
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::stFind)) return;
  if (list.hwnd != nullptr) {
    MucTools_SetCurrKtView(list.hwnd);
    return;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister =
      MrLister_MrListerUserInst(envir, kListView, &ListDlgProc, PwMucBase_hwndClient, "", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);   // no window took it
  } else {
    list = ListWindow{lister, MrLister_Hwnd(lister)};
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kListView)))
      DestroyWindow(list.hwnd);   // WM_DESTROY forgets it
  }
  MucTools_HourGlass(false);
}

void Initialize() { list = ListWindow{}; }

void Terminate() { list = ListWindow{}; }

}  // namespace acq::AcqStApp

ACQ_UNIT_BODY(AcqStApp)

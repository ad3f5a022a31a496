// AcqWrkBatch: workslip batches kept per workstation: adding received
// items to the open batch, printing batches under a lock between
// workstations, purging them, and the batch list with its workstations.
//
// The lock is workslip_batch.print_in_process with print_in_process_by
// (the workstation ID) and print_in_process_date/_time (when it was taken).
// Every selected batch is locked in one transaction that holds the write
// lock from its start, so two workstations printing the same batch at once
// are put one after the other: the second finds it locked and prints
// nothing. Locks are cleared by a holder, so no path out of printing
// leaves one behind short of the process itself stopping.
#include "acq/print/AcqWrkBatch.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/print/AcqWrkslip.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqWrkBatch {
namespace {

using AcqDbBase::RunStatement;

// Batches hold received items: their workslips are receipt workslips.
AcqWrkslip::PrintResult PrintSlips(HWND owner, const std::vector<AcqWrkslip::Slip>& slips) {
  return AcqWrkslip::Print(owner, slips, AcqWrkslip::Source::Receipt);
}

using AcqDb::ClearChanges;
using AcqDbExcept::HandleDbError;

// Messages of the string table.
constexpr int kMsgPurgeSure = 482;
constexpr int kMsgPurgeOther = 483;
constexpr int kMsgPurgeUnprinted = 484;
constexpr int kMsgPurgeOtherUnprinted = 485;
constexpr int kMsgPurgeInProcess = 486;
constexpr int kMsgPrintLocked = 487;
constexpr int kMsgPrintDone = 488;
constexpr int kMsgClearLock = 490;
constexpr int kMsgSelectBatch = 491;

// Dialogs and their controls.
constexpr int kBatchesDialog = 86;
constexpr int kWorkstationDialog = 87;
constexpr int kList = 1000;
constexpr int kPrintButton = 8601;
constexpr int kPurgeButton = 8602;
constexpr int kChangeIdButton = 8603;
constexpr int kWorkstationLabel = 8604;

// Profile section and keys.
constexpr const char* kSection = "ACQ";
constexpr const char* kWorkstationKey = "WORKSTATION_ID";
constexpr const char* kBatchNumberKey = "WRKSLP_BATCH_NUMBER";
constexpr const char* kWindowsPrintKey = "WRKSLP_WINDOWS_PRINT";
constexpr int kWorkstationChars = 30;

// Site parameter print_workslip.
constexpr uint8_t kPrintAtReceipt = 1;
constexpr uint8_t kBatchAtReceipt = 2;

constexpr int kMaxRetries = 5;
constexpr int kMinutesPerDay = 24 * 60;

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }
std::string Quoted(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, AcqDb::kDbCmdMaxIndex, text);
  return out;
}
int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }
DayNum DateOf(BktHandle bkt, int row, const char* col) {
  const int c = Col(bkt, col);
  return _ColIsNull(bkt, row, c) ? kNoDate : static_cast<DayNum>(_ColGetInt(bkt, row, c));
}

void Tell(HWND owner, int id, std::string_view a1 = {}, std::string_view a2 = {},
          std::string_view a3 = {}) {
  MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2, a3),
                     MB_OK | MB_ICONINFORMATION);
}
bool Ask(HWND owner, int id, std::string_view a1 = {}, std::string_view a2 = {},
         std::string_view a3 = {}) {
  return MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2, a3),
                            MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The rows of a query (at most the command buffer's 1024 characters) into
// a new Bucket held by `bkt`; a failure is reported.
bool LoadQuery(const std::string& sql, BucketHold& bkt) {
  AcqDb::AppendDbCmd(sql);
  DbMsg msg;
  const DbCode code = AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, bkt.get(), 16, 16, 0);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

std::string JoinNumbers(const std::vector<int32_t>& numbers) {
  std::string text;
  for (int32_t n : numbers) text += (text.empty() ? "" : ", ") + Key(n);
  return text;
}

std::string WhenText(DayNum date, MinuteOfDay time) {
  return date == kNoDate ? "" : DbDabs_DateToStr(date) + " " + DbDabs_TimeToStr(time);
}

// Minutes from `date` `time` to now (negative when the clocks disagree).
int64_t MinutesSince(DayNum date, MinuteOfDay time) {
  DayNum today = kNoDate;
  MinuteOfDay now = 0;
  DbDabs_GetDateTime(today, now);
  return (int64_t{today} - date) * kMinutesPerDay + (int64_t{now} - time);
}

// ---- reading batches ------------------------------------------------------------------------

constexpr const char* kBatchSelect =
    "select b.workslip_batch#, b.workstation_id, b.date_created, b.date_printed,"
    " b.print_in_process, b.print_in_process_by, b.print_in_process_date,"
    " b.print_in_process_time,"
    " (select count(*) from (select distinct i.po#, i.line from workslip_batch_po_line_item i"
    " where i.workslip_batch# = b.workslip_batch#) d) as line_count,"
    " (select count(*) from workslip_batch_po_line_item i"
    " where i.workslip_batch# = b.workslip_batch#) as item_count"
    " from workslip_batch b where ";

bool ReadBatches(const std::string& where, std::vector<Batch>& out) {
  out.clear();
  BucketHold rows;
  if (!LoadQuery(kBatchSelect + where + " order by b.workslip_batch# desc", rows)) return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    Batch b;
    b.number = _ColGetInt(*rows, row, 1);
    b.workstation = _ColGetStringW(*rows, row, 2);
    b.created = DateOf(*rows, row, "date_created");
    b.printed = DateOf(*rows, row, "date_printed");
    b.inProcess = _ColGetInt(*rows, row, 5) != 0;
    b.lockedBy = _ColGetStringW(*rows, row, 6);
    b.lockedDate = DateOf(*rows, row, "print_in_process_date");
    b.lockedTime = static_cast<MinuteOfDay>(_ColGetInt(*rows, row, 8));
    b.lines = _ColGetInt(*rows, row, 9);
    b.items = _ColGetInt(*rows, row, 10);
    out.push_back(std::move(b));
  }
  return true;
}

bool ReadBatch(int32_t number, Batch& out, bool& found) {
  std::vector<Batch> one;
  if (!ReadBatches("b.workslip_batch#=" + Key(number), one)) return false;
  found = !one.empty();
  if (found) out = one.front();
  return true;
}

// ---- locks ------------------------------------------------------------------------------------

// The locks this workstation took on a set of batches: cleared when the
// holder goes unless the batch was released (printed and cleared with it).
class LockHold {
 public:
  LockHold(std::vector<int32_t> batches, std::string workstation)
      : batches_(std::move(batches)), workstation_(std::move(workstation)) {}
  ~LockHold() { Clear(batches_); }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;
  void Release(int32_t batch) {
    batches_.erase(std::remove(batches_.begin(), batches_.end(), batch), batches_.end());
  }

 private:
  // Only locks that are still ours (another workstation may have cleared a
  // stale one and printed since).
  void Clear(const std::vector<int32_t>& batches) {
    if (batches.empty()) return;
    const std::string sql =
        "update workslip_batch set print_in_process=0, print_in_process_by=NULL,"
        " print_in_process_date=NULL, print_in_process_time=NULL where workslip_batch# in (" +
        AcqDbGen::KeyList(batches) + ") and print_in_process=1 and print_in_process_by=" +
        Quoted(workstation_);
    (void)AcqDbBase::SaveWithReportedRetry(kMaxRetries, [&] { return RunStatement(sql); }, {});
  }
  std::vector<int32_t> batches_;
  std::string workstation_;
};

// Takes the locks of `numbers` in one transaction: all of them, or none
// when any is in process already (`locked` names those). `taken`: the
// batches locked, those of `numbers` that still exist (one purged at
// another workstation meanwhile is left out). False on a database failure
// (shown).
bool TakeLocks(const std::vector<int32_t>& numbers, const std::string& workstation,
               std::vector<int32_t>& locked, std::vector<int32_t>& taken) {
  const std::string list = AcqDbGen::KeyList(numbers);
  DayNum date = kNoDate;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  auto steps = [&] {
    locked.clear();
    taken.clear();
    // Read as a table, not through the command buffer: a long selection
    // makes a long list.
    BucketHold rows;
    DbMsg msg;
    if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "workslip_batch#",
                                       "workslip_batch# in (" + list + ")",
                                       "workslip_batch#,print_in_process", "workslip_batch",
                                       rows.get());
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    for (int row = 1; row <= _BktCountAll(*rows); ++row)
      (_ColGetInt(*rows, row, 2) != 0 ? locked : taken).push_back(_ColGetInt(*rows, row, 1));
    if (!locked.empty() || taken.empty()) {
      taken.clear();
      return true;   // nothing taken: the commit writes nothing
    }
    // The condition repeats the check, so that the update can never take a
    // lock from under another workstation even on a backend that let it in.
    return RunStatement("update workslip_batch set print_in_process=1, print_in_process_by=" +
                        Quoted(workstation) + ", print_in_process_date=" + Key(date) +
                        ", print_in_process_time=" + Key(time) + " where workslip_batch# in (" +
                        list + ") and print_in_process=0");
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
}

// The workslips of a batch: one per distinct PO line, with its items.
bool BatchSlips(int32_t number, std::vector<AcqWrkslip::Slip>& slips) {
  slips.clear();
  BucketHold rows;
  if (!LoadQuery("select po#, line, item from workslip_batch_po_line_item where workslip_batch#=" +
                     Key(number) + " order by po#, line, item",
                 rows))
    return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    const int32_t po = _ColGetInt(*rows, row, 1);
    const auto line = static_cast<int16_t>(_ColGetInt(*rows, row, 2));
    if (slips.empty() || slips.back().po != po || slips.back().line != line)
      slips.push_back(AcqWrkslip::Slip{po, line, {}});
    slips.back().items.push_back(static_cast<int16_t>(_ColGetInt(*rows, row, 3)));
  }
  return true;
}

// Marks a printed batch and clears its lock in one write.
bool MarkPrinted(int32_t number, const std::string& workstation) {
  const std::string sql = "update workslip_batch set date_printed=" + Key(DbDabs_GetDate()) +
                          ", print_in_process=0, print_in_process_by=NULL,"
                          " print_in_process_date=NULL, print_in_process_time=NULL"
                          " where workslip_batch#=" + Key(number) +
                          " and print_in_process_by=" + Quoted(workstation);
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, [&] { return RunStatement(sql); }, {});
}

// ---- adding items -----------------------------------------------------------------------------

// This workstation's open batch, or a new one; its number in `batch`.
bool OpenBatchOf(const std::string& workstation, int32_t& batch) {
  batch = 0;
  DbMsg msg;
  const std::string sql = "select max(workslip_batch#) from workslip_batch where workstation_id=" +
                          Quoted(workstation) +
                          " and date_printed IS NULL and print_in_process=0";
  if (DbCode code = AcqDb::ExecSP(msg, &batch, sizeof batch, "", sql); code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  if (batch != 0) return true;
  if (DbCode code = _DbGetNewKeyValidate(AcqDbGlobal::Session(), names::workslip_batch,
                                         names::workslip_batch, "workslip_batch#", batch, msg);
      code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  return RunStatement("insert into workslip_batch(workslip_batch#, workstation_id, date_created,"
                      " print_in_process) values (" +
                      Key(batch) + ", " + Quoted(workstation) + ", " + Key(DbDabs_GetDate()) +
                      ", 0)");
}

std::vector<ItemKey> ItemsOf(BktHandle items) {
  std::vector<ItemKey> keys;
  if (items == nullptr) return keys;
  const int po = Col(items, "po#"), line = Col(items, "line"), item = Col(items, "item");
  for (int row = 1; row <= _BktCountAll(items); ++row)
    keys.push_back(ItemKey{_ColGetInt(items, row, po),
                           static_cast<int16_t>(_ColGetInt(items, row, line)),
                           static_cast<int16_t>(_ColGetInt(items, row, item))});
  return keys;
}

// ---- the batch list (dialog 86) and the workstations (dialog 87) ------------------------------

struct BatchList {
  std::string workstation;
  std::vector<Batch> batches;
};

struct WorkstationChoice {
  std::vector<std::string> ids;
  std::string chosen;
};

std::vector<std::vector<std::string>> BatchRows(const std::vector<Batch>& batches) {
  std::vector<std::vector<std::string>> rows;
  for (const Batch& b : batches)
    rows.push_back({Key(b.number), DbDabs_DateToStr(b.created), DbDabs_DateToStr(b.printed),
                    Key(b.lines), Key(b.items), b.inProcess ? b.lockedBy : "",
                    b.inProcess ? WhenText(b.lockedDate, b.lockedTime) : ""});
  return rows;
}

void ShowBatches(HWND hwnd, BatchList& list) {
  (void)LoadBatches(list.workstation, list.batches);
  SetDlgItemTextW(hwnd, kWorkstationLabel, list.workstation);
  SetDlgListRows(hwnd, kList, BatchRows(list.batches));
}

std::vector<const Batch*> Selected(HWND hwnd, const BatchList& list) {
  std::vector<const Batch*> chosen;
  for (int row : GetDlgListSelection(hwnd, kList))
    if (row >= 1 && static_cast<size_t>(row) <= list.batches.size())
      chosen.push_back(&list.batches[static_cast<size_t>(row) - 1]);
  return chosen;
}

void PrintSelected(HWND hwnd, BatchList& list) {
  const std::vector<const Batch*> chosen = Selected(hwnd, list);
  if (chosen.empty()) {
    Tell(hwnd, kMsgSelectBatch);
    return;
  }
  std::vector<int32_t> numbers;
  for (const Batch* b : chosen) {
    if (b->inProcess) (void)OfferToClearStaleLock(hwnd, *b);
    numbers.push_back(b->number);
  }
  (void)PrintBatches(hwnd, numbers);
  ShowBatches(hwnd, list);
}

void PurgeSelected(HWND hwnd, BatchList& list) {
  const std::vector<const Batch*> chosen = Selected(hwnd, list);
  if (chosen.empty()) {
    Tell(hwnd, kMsgSelectBatch);
    return;
  }
  std::vector<int32_t> numbers;
  for (const Batch* b : chosen) numbers.push_back(b->number);
  for (int32_t number : numbers) (void)PurgeBatch(hwnd, number);
  ShowBatches(hwnd, list);
}

LRESULT WorkstationDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static std::map<HWND, WorkstationChoice*> open;
  switch (msg) {
    case WM_INITDIALOG: {
      auto* choice = reinterpret_cast<WorkstationChoice*>(lParam);
      open[hwnd] = choice;
      SetDlgListColumns(hwnd, kList, {{"workstation_id", "Workstation ID"}});
      std::vector<std::vector<std::string>> rows;
      for (const std::string& id : choice->ids) rows.push_back({id});
      SetDlgListRows(hwnd, kList, rows);
      return TRUE;
    }
    case WM_COMMAND: {
      WorkstationChoice* choice = open.count(hwnd) ? open[hwnd] : nullptr;
      if (LOWORD(wParam) == IDOK && choice != nullptr) {
        const std::vector<int> rows = GetDlgListSelection(hwnd, kList);
        if (rows.empty() || static_cast<size_t>(rows.front()) > choice->ids.size()) {
          EndDialog(hwnd, IDCANCEL);
        } else {
          choice->chosen = choice->ids[static_cast<size_t>(rows.front()) - 1];
          EndDialog(hwnd, IDOK);
        }
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    }
    case WM_CLOSE:
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    case WM_DESTROY:
      open.erase(hwnd);
      break;
    default:
      break;
  }
  return FALSE;
}

void ChangeWorkstation(HWND hwnd, BatchList& list) {
  WorkstationChoice choice;
  if (!LoadWorkstations(choice.ids)) return;
  if (DialogBoxParamW(AcqBase::ResourceInstance(), kWorkstationDialog, hwnd, &WorkstationDlgProc,
                      reinterpret_cast<LPARAM>(&choice)) != IDOK)
    return;
  list.workstation = choice.chosen;
  ShowBatches(hwnd, list);
}

// The batch list (one at a time), from OpenBatches to its WM_DESTROY.
struct BatchWindow {
  HWND hwnd = nullptr;
  BatchList list;
};
BatchWindow* batchWindow = nullptr;

LRESULT BatchesDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      if (batchWindow != nullptr) {
        batchWindow->hwnd = hwnd;
        SetDlgListColumns(hwnd, kList,
                          {{"workslip_batch#", "Batch"}, {"date_created", "Created"},
                           {"date_printed", "Printed"}, {"lines", "Workslips"},
                           {"items", "Items"}, {"print_in_process_by", "Printing At"},
                           {"print_in_process_since", "Printing Since"}});
        ShowBatches(hwnd, batchWindow->list);
      }
      return TRUE;
    case WM_COMMAND:
      if (batchWindow == nullptr || batchWindow->hwnd != hwnd) break;
      switch (LOWORD(wParam)) {
        case kPrintButton: PrintSelected(hwnd, batchWindow->list); return TRUE;
        case kPurgeButton: PurgeSelected(hwnd, batchWindow->list); return TRUE;
        case kChangeIdButton: ChangeWorkstation(hwnd, batchWindow->list); return TRUE;
        default: break;
      }
      break;
    case WM_DESTROY:
      if (batchWindow != nullptr && batchWindow->hwnd == hwnd) {
        delete batchWindow;
        batchWindow = nullptr;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

std::string WorkstationId() {
  ProfileHold profile;
  return _Win32_QueryProfileString(profile.get(), kSection, kWorkstationKey, "", kWorkstationChars);
}

bool LoadBatches(const std::string& workstation, std::vector<Batch>& out) {
  return ReadBatches("b.workstation_id=" + Quoted(workstation), out);
}

bool LoadWorkstations(std::vector<std::string>& out) {
  out.clear();
  BucketHold rows;
  if (!LoadQuery("select distinct workstation_id from workslip_batch order by workstation_id",
                 rows))
    return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) out.push_back(_ColGetStringW(*rows, row, 1));
  return true;
}

bool AddItems(const std::vector<ItemKey>& items) {
  if (items.empty()) return true;
  const std::string workstation = WorkstationId();
  int32_t batch = 0;
  if (!OpenBatchOf(workstation, batch)) return false;
  BucketHold rows;
  if (!LoadQuery("select po#, line, item from workslip_batch_po_line_item where workslip_batch#=" +
                     Key(batch),
                 rows))
    return false;
  std::set<std::tuple<int32_t, int, int>> present;
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    present.emplace(_ColGetInt(*rows, row, 1), _ColGetInt(*rows, row, 2),
                    _ColGetInt(*rows, row, 3));
  for (const ItemKey& k : items) {
    if (!present.emplace(k.po, k.line, k.item).second) continue;
    if (!RunStatement("insert into workslip_batch_po_line_item(workslip_batch#, po#, line, item)"
                      " values (" + Key(batch) + ", " + Key(k.po) + ", " + Key(k.line) + ", " +
                      Key(k.item) + ")"))
      return false;
  }
  ProfileHold profile;
  (void)_Win32_WriteProfileString(profile.get(), kSection, kBatchNumberKey, Key(batch));
  return true;
}

bool ReceiptInTransaction(BktHandle items) {
  if (AcqDbGlobal::Globals().params.print_workslip != kBatchAtReceipt) return true;
  return AddItems(ItemsOf(items));
}

void ReceiptCommitted(BktHandle items) {
  if (AcqDbGlobal::Globals().params.print_workslip != kPrintAtReceipt) return;
  {
    ProfileHold profile;
    if (_Win32_QueryProfileString(profile.get(), kSection, kWindowsPrintKey, "", 1).empty()) return;
  }
  std::vector<AcqWrkslip::Slip> slips;
  for (const ItemKey& k : ItemsOf(items)) {
    if (slips.empty() || slips.back().po != k.po || slips.back().line != k.line)
      slips.push_back(AcqWrkslip::Slip{k.po, k.line, {}});
    slips.back().items.push_back(k.item);
  }
  if (!slips.empty())
    (void)PrintSlips(PwMucBase_hwndClient, slips);
}

PrintOutcome PrintBatches(HWND owner, const std::vector<int32_t>& numbers) {
  PrintOutcome outcome;
  std::vector<int32_t> batches = numbers;
  std::sort(batches.begin(), batches.end());
  batches.erase(std::unique(batches.begin(), batches.end()), batches.end());
  if (batches.empty()) return outcome;
  const std::string workstation = WorkstationId();
  std::vector<int32_t> taken;
  if (!TakeLocks(batches, workstation, outcome.locked, taken)) return outcome;
  if (!outcome.locked.empty()) {
    Tell(owner, kMsgPrintLocked, JoinNumbers(outcome.locked));
    return outcome;
  }
  LockHold locks(taken, workstation);
  for (int32_t number : taken) {
    std::vector<AcqWrkslip::Slip> slips;
    if (!BatchSlips(number, slips)) return outcome;
    if (!slips.empty()) {
      const AcqWrkslip::PrintResult printed = PrintSlips(owner, slips);
      outcome.workslips += printed.printed;
      if (!printed.ok) return outcome;   // the printer told why; locks go with `locks`
    }
    if (!MarkPrinted(number, workstation)) return outcome;
    locks.Release(number);
    outcome.printed.push_back(number);
  }
  outcome.ok = true;
  Tell(owner, kMsgPrintDone, Key(outcome.workslips));
  return outcome;
}

bool OfferToClearStaleLock(HWND owner, const Batch& batch) {
  if (!batch.inProcess) return false;
  const bool ours = batch.lockedBy == WorkstationId();
  const bool old = batch.lockedDate == kNoDate ||
                   MinutesSince(batch.lockedDate, batch.lockedTime) > kStaleLockHours * 60;
  if (!ours && !old) return false;
  if (!Ask(owner, kMsgClearLock, Key(batch.number), batch.lockedBy,
           WhenText(batch.lockedDate, batch.lockedTime)))
    return false;
  // Only the lock that was shown: one taken again since stays.
  std::string sql =
      "update workslip_batch set print_in_process=0, print_in_process_by=NULL,"
      " print_in_process_date=NULL, print_in_process_time=NULL where workslip_batch#=" +
      Key(batch.number) + " and print_in_process=1";
  sql += batch.lockedBy.empty() ? " and print_in_process_by IS NULL"
                                : " and print_in_process_by=" + Quoted(batch.lockedBy);
  if (batch.lockedDate == kNoDate)
    sql += " and print_in_process_date IS NULL";
  else
    sql += " and print_in_process_date=" + Key(batch.lockedDate) +
           " and print_in_process_time=" + Key(batch.lockedTime);
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, [&] { return RunStatement(sql); }, {});
}

bool PurgeBatch(HWND owner, int32_t number) {
  Batch batch;
  bool found = false;
  if (!ReadBatch(number, batch, found) || !found) return false;
  if (batch.inProcess) {
    Tell(owner, kMsgPurgeInProcess, Key(number));
    return false;
  }
  const bool other = batch.workstation != WorkstationId();
  const bool unprinted = batch.printed == kNoDate;
  const int question = other && unprinted ? kMsgPurgeOtherUnprinted
                       : other            ? kMsgPurgeOther
                       : unprinted        ? kMsgPurgeUnprinted
                                          : kMsgPurgeSure;
  if (!Ask(owner, question, Key(number), batch.workstation)) return false;
  bool lockedMeanwhile = false;
  auto steps = [&] {
    lockedMeanwhile = false;
    int32_t inProcess = 0;
    DbMsg msg;
    if (DbCode code = AcqDb::ExecSP(msg, &inProcess, sizeof inProcess, "",
                                    "select count(*) from workslip_batch where workslip_batch#=" +
                                        Key(number) + " and print_in_process=1");
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    if (inProcess != 0) {
      lockedMeanwhile = true;
      return true;
    }
    return RunStatement("delete from workslip_batch_po_line_item where workslip_batch#=" +
                        Key(number)) &&
           RunStatement("delete from workslip_batch where workslip_batch#=" + Key(number));
  };
  if (!AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {})) return false;
  if (lockedMeanwhile) {
    Tell(owner, kMsgPurgeInProcess, Key(number));
    return false;
  }
  return true;
}

bool LinesBeingPrinted(HDb session, const std::vector<std::pair<int32_t, int16_t>>& lines) {
  for (const auto& [po, line] : lines) {
    DbMsg msg;
    int32_t count = 0;
    const DbCode code =
        _DbExecSP(session,
                  "select count(*) from workslip_print_in_process where po#=" + Key(po) +
                      " and line=" + Key(line),
                  "", &count, sizeof count, msg);
    if (code != kDbOk) {
      HandleDbError(msg, code);
      return true;
    }
    if (count != 0) return true;
  }
  return false;
}

void OpenBatches() {
  if (batchWindow != nullptr && batchWindow->hwnd != nullptr) {
    MucTools_SetCurrKtView(batchWindow->hwnd);
    return;
  }
  batchWindow = new BatchWindow;
  batchWindow->list.workstation = WorkstationId();
  if (CreateDialogParamW(AcqBase::ResourceInstance(), kBatchesDialog, PwMucBase_hwndClient,
                         &BatchesDlgProc, 0) == nullptr) {
    delete batchWindow;   // no template: no window took it
    batchWindow = nullptr;
  }
}

void Initialize() { batchWindow = nullptr; }

void Terminate() {
  if (batchWindow != nullptr && batchWindow->hwnd != nullptr)
    DestroyWindow(batchWindow->hwnd);   // WM_DESTROY frees it
  delete batchWindow;
  batchWindow = nullptr;
}

}  // namespace acq::AcqWrkBatch

ACQ_UNIT_BODY(AcqWrkBatch)

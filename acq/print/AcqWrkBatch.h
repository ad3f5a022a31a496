// AcqWrkBatch: workslip batches kept per workstation. Received items are
// collected in the workstation's open batch; a batch is printed later as
// one workslip per distinct PO line, then kept as printed until purged.
//
// A batch goes open (collecting) -> in process (print_in_process set: the
// lock between workstations, with who took it and when) -> printed
// (date_printed set, lock cleared) -> purged. A batch in process can be
// neither printed nor purged anywhere else.
//
// A lock left behind (the workstation stopped while printing) shows in the
// batch list with who holds it and since when. Selecting such a batch for
// printing offers to clear it when it is this workstation's own or older
// than kStaleLockHours; the person answers one question per batch.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"
#include "host/win32/Win32.h"

namespace acq::AcqWrkBatch {

// A lock older than this many hours is offered for clearing at any
// workstation (printing a batch takes minutes, not hours).
constexpr int kStaleLockHours = 4;

// This workstation's ID (profile section "ACQ", key "WORKSTATION_ID"),
// at most 30 characters; "" when none is set.
std::string WorkstationId();

// One batch as the batch list shows it.
struct Batch {
  int32_t number = 0;
  std::string workstation;
  DayNum created = kNoDate;
  DayNum printed = kNoDate;
  bool inProcess = false;
  std::string lockedBy;        // "" when not in process
  DayNum lockedDate = kNoDate;
  MinuteOfDay lockedTime = 0;
  int32_t lines = 0;           // distinct PO lines: the workslips it prints
  int32_t items = 0;
};

// The batches of `workstation`, newest first. A failure is reported; false.
bool LoadBatches(const std::string& workstation, std::vector<Batch>& out);
// The workstation IDs that have batches, in order. A failure is reported.
bool LoadWorkstations(std::vector<std::string>& out);

// Adds items (po#, line, item) to this workstation's open batch (not
// printed, not in process; the newest when there are several), making a
// new one (key from the key generator, created today) when it has none,
// and writes its number to "WRKSLP_BATCH_NUMBER". Items already in the
// batch are left as they are. Runs inside the caller's transaction (it
// opens none of its own): the batch and its rows commit or roll back with
// the caller's work. Failures go to HandleDbError; false.
struct ItemKey {
  int32_t po = 0;
  int16_t line = 0;
  int16_t item = 0;
};
bool AddItems(const std::vector<ItemKey>& items);

// The receive activity's two hooks, by the site's print_workslip:
// inside the receive transaction (2: the received items join the open
// batch), and after it committed (1: their workslips print at once).
// `items` are the received po_line_item rows (po#, line, item columns).
// Print at once happens only on a workstation whose workslip printing is
// set up ("WRKSLP_WINDOWS_PRINT" present): a workstation without a
// workslip printer receives without being asked about one at every receipt.
bool ReceiptInTransaction(BktHandle items);
void ReceiptCommitted(BktHandle items);

// What printing selected batches came to.
struct PrintOutcome {
  std::vector<int32_t> locked;   // already in process elsewhere: nothing printed (487)
  std::vector<int32_t> printed;  // batches marked printed
  int workslips = 0;             // workslips that went out
  bool ok = false;               // every selected batch printed
};
// Prints the batches `numbers`: takes every lock in one transaction (all or
// none: when any is in process already, 487 names them and nothing is
// locked or printed), then prints each batch's distinct PO lines as
// workslips; a printed batch gets date_printed = today and its lock
// cleared. When printing stops (the person was told why by the printer),
// that batch and the ones after it are unlocked and left unprinted.
// 488 with the number of workslips when every batch printed.
PrintOutcome PrintBatches(HWND owner, const std::vector<int32_t>& numbers);

// Asks to clear the lock of `batch` when it is in process at this
// workstation or since more than kStaleLockHours (message 490); Yes clears
// it (only when the lock is still the one shown). True when it was cleared.
bool OfferToClearStaleLock(HWND owner, const Batch& batch);

// Purges batch `number` after the one confirmation its state calls for
// (486 when in process, else 485, 483, 484 or 482); Yes deletes its items
// and the batch in one transaction. True when deleted.
bool PurgeBatch(HWND owner, int32_t number);

// Whether any item of `lines` (po#, line) is in a batch being printed
// (the view workslip_print_in_process), read on `session`. A failure to
// read is reported and counts as being printed, so that an undo is refused
// rather than made under a printing workstation.
bool LinesBeingPrinted(HDb session, const std::vector<std::pair<int32_t, int16_t>>& lines);

// "Workslip Batches" (dialog 86, one at a time: opening it again brings it
// forward) with this workstation's batches; "Change ID" (dialog 87) lists
// another's. It asks no privilege.
void OpenBatches();

void Initialize();
void Terminate();

}  // namespace acq::AcqWrkBatch

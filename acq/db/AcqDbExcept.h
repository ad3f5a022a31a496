// AcqDbExcept: the one policy for database failures. A failure is shown at
// once when no transaction is open; inside one it is held back in the error
// list and shown when the outermost transaction is rolled back, unless a
// flush dropped it. It also counts open transactions.
#pragma once

#include <string_view>

#include "host/db/PwDb.h"

namespace acq::AcqDbExcept {

// Shows a failure to the user: the display text of the failure.
using DbErrorProc = void (*)(std::string_view text);

// Reports one failure: shown through the error procedure when no transaction
// is open, else held back (raw code and message) until the outermost
// rollback. Safe from any thread.
void HandleDbError(const DbMsg& msg, DbCode code);
void SetDbErrorProc(DbErrorProc proc);

// Counting of transactions. ExitTrans and AbortTrans at a count of 0 are
// programming errors (fatal). AbortTrans at the outermost level shows every
// held-back error, outside the list's lock, and empties the list.
void EnterTrans();
void ExitTrans();
void AbortTrans();
unsigned TransCount();

// Whether the last held-back error is a write conflict (10 or 11); false for
// an empty list.
bool LastTBDbErrRetry();
// Drops every held-back error unseen.
void FlushDbErrMsgBkt();
int HeldErrorCount();

void Initialize();
void Terminate();

}  // namespace acq::AcqDbExcept

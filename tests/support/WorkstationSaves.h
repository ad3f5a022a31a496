// The saves a workstation makes in the multi-process tests and benchmark,
// through the module's own save paths, on a library database that has a
// table tally("tally#", hits) with row 1 and items 11 to 14 on PO 6 line 1.
#pragma once

#include <string>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"

namespace testproc {

// Adds one to the tally, read inside the save's transaction (as budget
// totals are): the retry rule for steps that report their own failures.
inline bool BumpTally() {
  using acq::AcqDb::ClearChanges;
  return acq::AcqDbBase::SaveWithReportedRetry(
      5,
      [] {
        DbMsg msg;
        BucketHold row;
        DbCode code = acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "tally#=1", "*", "tally",
                                            row.get());
        if (code == kDbOk) {
          _ColSetInt(*row, 1, 2, _ColGetInt(*row, 1, 2) + 1);
          code = acq::AcqDb::UpdateRow(msg, 1, *row, "tally");
        }
        if (code != kDbOk) acq::AcqDbExcept::HandleDbError(msg, code);
        return code == kDbOk;
      },
      {});
}

// Sets the call number of item 10 + `workstation` of PO 6 line 1 through the
// PO line item save, with the line and all its items loaded as the line
// editor loads them.
inline DbCode SaveOwnItem(int workstation, const std::string& callNumber) {
  using acq::AcqDb::ClearChanges;
  DbMsg msg;
  BucketHold line, items;
  auto reloadLine = [&](BktHandle bkt) {
    return acq::AcqDb::LoadTableReplace(msg, ClearChanges::Yes, "", "po#=6 and line=1",
                                        "po#,line,last_item", "po_line", bkt) == kDbOk;
  };
  if (acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=6 and line=1", "po#,line,last_item",
                            "po_line", line.get()) != kDbOk ||
      acq::AcqDb::BktFromCols(msg, 0, 0, items.get(), "*", "po_line_item") != kDbOk ||
      acq::AcqDbGen::ReloadPoLineItems(msg, 6, 1, items.get()) != kDbOk)
    return kDbError;
  const int item = _BktGetColNum(*items, "item");
  for (int row = 1; row <= _BktCountAll(*items); ++row) {
    if (_ColGetInt(*items, row, item) == 10 + workstation)
      _ColSetTextW(*items, row, _BktGetColNum(*items, "call_number"), callNumber);
  }
  return acq::AcqDbGen::SavePoLineItems(reloadLine, nullptr, *line, *items);
}

}  // namespace testproc

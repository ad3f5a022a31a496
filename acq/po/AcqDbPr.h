// AcqDbPr: the data side of purchase requests. A request (`pr`) names a
// title someone asked for, its price in the request's currency and the
// vendor it may come from; its distribution rows (`pr_distribution`) say
// how many copies go where, on which budget. Saving a request writes it and
// its rows in one transaction; turning it into a PO line makes the line and
// one item per copy of each row, with their on-order money, in one
// transaction that first makes sure no other line was made from it.
//
// Every refusal is checked inside the transaction that writes, so a retry
// after a write conflict checks again; it is told after the rollback.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbPr {

// The distribution columns the editor's rows carry, in this order.
inline constexpr const char* kDistributionColumns =
    "pr#,line,quantity,location,collection,itype,budget,call_number,ship_to";

// Most copies one distribution row may ask for.
inline constexpr int kMaxQuantity = 999;

// Why a save was refused: the message, its argument, the distribution row
// it is about (0: the request itself) and the column to put the cursor on.
struct Refusal {
  int id = 0;
  std::string arg{};
  int row = 0;
  std::string column{};
};

// The code of the default shipping address of `location`: an address of it
// flagged both ship_to and default_ship_to ("" when it has none, or the
// location is unknown). False on a database failure (reported).
bool DefaultShipTo(std::string_view location, std::string& code);

// The rows of request `pr` (kDistributionColumns, in line order) into a new
// Bucket (an empty, typed one for pr 0). False on a failure (reported).
bool LoadDistribution(int32_t pr, BktHandle& rows);

// Saves the request (row 1 of `request`: pr columns, new or existing) and
// its distribution rows (`rows` as LoadDistribution gives them; new,
// changed or deleted) in one transaction, with the retry of write
// conflicts. A new request takes the next pr#, new rows the next line
// numbers. Each live row needs a quantity of 1..kMaxQuantity, a location
// with a default shipping address (message 3: it then fills an empty
// ship_to; a ship_to typed must be a shipping address of that location,
// 357) and a budget that exists; the request needs a title, and a vendor
// it names must exist (1876). A refusal is
// shown (and given in `refusal`); nothing is written and both Buckets keep
// the edits. True when committed; deleted rows are then gone from `rows`.
bool SaveRequest(BktHandle request, BktHandle rows, Refusal& refusal);

// Deletes the requests and their distribution rows in one transaction. A
// PO line made from one keeps its pr#. False on a failure (reported).
bool DeleteRequests(const std::vector<int32_t>& requests);

// The PO a person means by `number`: the PO whose po_number it is (or,
// failing that, whose po# it is) and that is not completed. 0 when there
// is none. False on a failure (reported).
bool FindOpenPo(std::string_view number, int32_t& po);

// A request's price in a PO's currency: through the base currency
// (price x the request currency's rate / the PO currency's rate), rounded
// to `digits` decimals; unchanged when the currencies are the same or the
// request names none. False when a rate is missing or zero, or on
// overflow.
bool ConvertPrice(Dec64 price, Dec64 fromRate, Dec64 toRate, int digits, Dec64& converted);

enum class MakeResult {
  Made,          // the line is saved: `line` holds its number
  OnLine,        // a line was made from the request already (1860)
  NoRows,        // the request has no distribution rows (1863)
  PoNotOpen,     // no such PO, or it is completed (1861)
  OtherVendor,   // the request names another vendor than the PO's (1862)
  NoRate,        // a currency without a usable exchange rate (1866)
  Gone,          // the request no longer exists (1869)
  Failed,        // a database failure or a declined prompt, already shown
};

struct MadeLine {
  int32_t po = 0;
  int16_t line = 0;
  std::string poNumber{};
};

// Makes PO line of request `pr` on PO `po`: the title, author, ISBN, ISSN,
// publisher and bib# of the request, its pr#, its unit price (converted to
// the PO's currency), and for each distribution row `quantity` items with
// the row's location, collection, item type, budget, call number and
// shipping address; the request's borrower on the first item. Saved
// through the line save (items numbered, their price on order on their
// budgets with fund control's confirm-and-retry), in one transaction that
// first reads again whether a line carries the pr#: of two workstations
// making a line of one request at once, one makes it and the other is
// told (1860). Every refusal is shown; `made` names the line made, or the
// line found (OnLine).
MakeResult MakePoLine(int32_t pr, int32_t po, MadeLine& made);

}  // namespace acq::AcqDbPr

// AcqDbCopy: the database side of items and copies made for ordered lines:
// what a line holds for them, the refusals of Create Items and Create
// Copies, the creation itself (one transaction per item or per line, with
// the state another workstation may have changed re-read inside it), copy
// attach and detach, and the removal of what a line created in the
// catalogue.
//
// Catalogue status: an item is "r" while its line item is not received and
// "n" once it is; a copy's acq_status 3 and 4 likewise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbCopy {

struct LineItem {
  int16_t item = 0;
  std::string location, collection, itype, callNumber;
  bool approved = false, received = false, cancelled = false;
  int32_t itemNum = 0;   // the catalogue item (0: none)
  int32_t copyNum = 0;   // the serial copy (0: none)
  DayNum beginDate = kNoDate, endDate = kNoDate;
};

struct Line {
  int32_t po = 0;
  int16_t line = 0;
  std::string poNumber;
  int32_t bib = 0;   // 0: no bibliographic record yet
  std::string title, mediaType;
  std::vector<LineItem> items;   // in item order
};

// Loads the line and its items; a failure is shown (false). A line that
// does not exist loads with no title and no items (true).
bool LoadLine(int32_t po, int16_t line, Line& out);

// Why a line may not have items or copies made: a message of the string
// table (0: none) and the item it names.
struct Refusal {
  int message = 0;
  int16_t item = 0;
};
// Items: every item approved (17), and each item not cancelled with a
// collection and an item type (212).
Refusal CheckForItems(const Line& line);
// Copies: the line's media type (428), and each item not cancelled with a
// collection (257).
Refusal CheckForCopies(const Line& line);

// What the person entered for one item.
struct ItemEntry {
  std::string barcode;           // "" for the temporary "acq" + item#
  std::string inventoryPrefix;   // used only with the inventory feature
};

enum class CreateResult {
  Created,
  AlreadyCreated,   // the line item has its item already (another workstation)
  BadBarcode,       // not of the site's shape (334)
  BarcodeInUse,     // another item carries that barcode
  Failed,           // a database failure, shown; nothing was written
};
// Makes the catalogue item of line item (po, line, item) in one
// transaction: the line's bibliographic record first when it has none,
// item# and the barcode, the inventory number (inventory feature), the item
// row, its activity "create", its copy (the line item's, when it has one)
// and item# on the line item. `itemNum` gets the new item#.
CreateResult CreateItem(int32_t po, int16_t line, int16_t item, const ItemEntry& entry,
                        int32_t& itemNum);

// Makes the serial copies of the line's items that have none, in one
// transaction: the bibliographic record first when the line has none; per
// item a copy with the vendor's claim values, its serial number, copy# and
// begin_date (today) on the line item, and the bib's catalogue items at the
// item's location and collection that have no copy yet attached to it.
// `made` gets the number of copies made. False when a failure was shown.
bool CreateCopies(int32_t po, int16_t line, int& made);

// The copies of the line's bib that no line item has attached: copy#,
// location, collection, acq_status, one text row each.
bool LoadCopyCandidates(int32_t bib, std::vector<std::vector<std::string>>& rows);
// Attaches copy `copy` to the line item (begin_date today, its catalogue
// item too) or detaches its copy (copy 0; begin and end dates cleared, its
// catalogue item detached from that copy). False when a failure was shown
// or the line item changed meanwhile (`changed` true then: nothing written).
bool SetItemCopy(int32_t po, int16_t line, int16_t item, int32_t copy, bool& changed);

// The line item's history rows as text: date, activity, undone ("Yes"/""),
// note.
bool LoadItemHistory(int32_t po, int16_t line, int16_t item,
                     std::vector<std::vector<std::string>>& rows);

// Whether the catalogue records the line created may be removed: each
// attached item "r" or "n", each attached copy acq-controlled with status 3
// or 4, something created at all, and no other open line (one with items
// neither received nor cancelled) on the same bibliographic record.
bool LineBibDeletable(int32_t po, int16_t line, bool& deletable);
// Removes what the line created, in one transaction with the eligibility
// checked again: its items, its copies (their other items detached), and
// the bibliographic record when acquisitions controls it and nothing else
// uses it. `removed` false when the line was no longer eligible.
bool RemoveLineBib(int32_t po, int16_t line, bool& removed);

}  // namespace acq::AcqDbCopy

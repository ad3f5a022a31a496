// Inside the PO window unit: what its source files share (the PO window,
// the header editor, the line editor and its dialogs). Not for other units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acq/budget/AcqDbBudget.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"
#include "host/win32/Win32.h"

namespace acq::AcqPo::parts {

// Messages of the string table ("Caption|Text").
enum Msg : int {
  kMsgNoDefaultShipTo = 3,
  kMsgNoDefaultBillTo = 4,
  kMsgItemType = 13,
  kMsgPriceVouchered = 63,
  kMsgLineActivity = 64,
  kMsgItemActivity = 65,
  kMsgQuantity = 66,
  kMsgBothBudgets = 67,
  kMsgBudgetVouchered = 68,
  kMsgContractNeedsBudgets = 69,
  kMsgPercents = 75,
  kMsgSameBudget = 76,
  kMsgPoFragment = 112,
  kMsgMediaType = 227,
  kMsgCollection = 256,
  kMsgDeleteApproved = 264,
  kMsgApprovedBudgetRemoved = 269,
  kMsgRenewalTypeChanged = 271,
  kMsgSubscriptionPeriod = 272,
  kMsgLineRenewal = 338,
  kMsgItemRenewal = 339,
  kMsgDropShip = 351,
  kMsgShipToType = 357,
  kMsgBillToType = 358,
  kMsgSpentEvent = 425,
  kMsgTooManyBudgets = 494,
  kMsgIssnDuplicate = 495,
  kMsgIsbnDuplicate = 496,
  // The window's own.
  kMsgPoGone = 1200,
  kMsgUnknownVendor = 1201,
  kMsgPrice = 1202,
  kMsgUnknownBudget = 1203,
  kMsgBadSplit = 1204,
  kMsgNoVendor = 1205,
  kMsgQuantityNotNumber = 1206,
  kMsgQuantityTooMany = 1207,
  kMsgSelectLines = 1208,
  kMsgSelectItems = 1209,
  kMsgPercentage = 1211,
  kMsgPercentNeedsBudget = 1212,
  kMsgDeleteLine = 1213,
  kMsgHeaderChanged = 1214,
  kMsgContractOfVendor = 1215,
  kMsgUnknownCode = 1216,
  kMsgCodeRange = 1217,
  kMsgNoIsbnIndex = 1218,
  kMsgIsbnFound = 1219,
  kMsgIsbnNotFound = 1220,
  kMsgListLines = 1221,
  kMsgSelectOneItem = 1222,
  kMsgDiscount = 1223,
  kMsgNothingToReceive = 1224,
  kMsgBorrower = 1227,
  kMsgNewPoCaption = 1228,
  kMsgSingleLine = 1229,
  kMsgNoCurrency = 1230,
  kMsgPoNumberUsed = 1231,
};

// Message `id` with its placeholders filled, in a box over `owner`;
// returns the button chosen.
int Tell(HWND owner, int id, unsigned flags, std::string_view a1 = {}, std::string_view a2 = {});
// The same as a Yes/No question; true for Yes.
bool Ask(HWND owner, int id, std::string_view a1 = {}, std::string_view a2 = {});
// `text` as an SQL literal of the module's dialect.
std::string Quote(std::string_view text);
DayNum Today();
// "PO <number>", the caption fragment of the PO (message 112).
std::string PoCaption(std::string_view number);
// Amounts as the PO window shows them: the money format of the host.
std::string Money(Dec64 amount);
// The site's money precision (decimals).
int MoneyDigits();
// Whether `amount` has no more decimals than the site's money precision.
bool FitsMoneyDigits(Dec64 amount);

// Cells by column name: NULL (or no such column) gives nullopt or ""; a
// number's text is its digits.
std::optional<int64_t> WholeOf(BktHandle bkt, int row, std::string_view column);
std::optional<Dec64> DecOf(BktHandle bkt, int row, std::string_view column);
std::string TextOf(BktHandle bkt, int row, std::string_view column);
// Whether row 1 of an editor's record holds another value in `column` than
// it was read with (every column of a record never read counts changed).
bool ColumnChanged(BktHandle record, std::string_view column);
// The caption of dialog template `dialog` (its placeholders unfilled).
std::string TemplateCaption(int dialog);

// ---- the PO window (AcqPo.cpp) ----------------------------------------------------------
// The PO window of `po`, if open, shows its header again / reloads `line`
// (a line no longer there leaves the list) with the totals.
void HeaderChanged(int32_t po);
void LineChanged(int32_t po, int16_t line);
// Opens (or brings up) the PO window of `po`.
HWND ShowPoWindow(int32_t po, const std::string& number);

// ---- the editors' registry (AcqPo.cpp) ------------------------------------------------------
// State of one header or line editor, from its WM_INITDIALOG to WM_DESTROY.
struct PoEditor {
  enum class Kind { Header, Line };
  explicit PoEditor(Kind k) : kind(k) {}
  virtual ~PoEditor() = default;
  PoEditor(const PoEditor&) = delete;
  PoEditor& operator=(const PoEditor&) = delete;
  const Kind kind;
  HEDITOR editor = nullptr;
  HWND hwnd = nullptr;
  int32_t po = 0;
  int16_t line = 0;
  std::string number;   // the PO's number, for captions and messages
  // True only while the editor opens on a new record: the record-change
  // request it sends then is covered by the check made before opening.
  bool opening = false;
};
void RegisterEditor(HWND hwnd, PoEditor* editor);   // takes ownership
PoEditor* FindEditor(HWND hwnd);
void UnregisterEditor(HWND hwnd);                      // deletes the record

// ---- the header editor (AcqPoHead.cpp) ----------------------------------------------------
// The header of `po` in its editor (the PO window's Header button).
void OpenHeader(int32_t po, const std::string& number);
// A new PO's header, with the vendor when one was chosen (vendor 0: none).
void OpenNewHeader(int32_t vendor);
// The privilege of a change to the record (new: poHead; else poEdit).
bool HeaderMayChange(PoEditor& editor, bool newRecord);

// ---- the line editor (AcqPoLine.cpp) --------------------------------------------------------
// Line `line` of `po` in its editor; line 0 opens a new line.
void OpenLine(int32_t po, const std::string& number, int16_t line);
bool LineMayChange(PoEditor& editor, bool newRecord);
// Deletes line `line` of `po` with its items and their money, after the
// deletion rules (64, 338, 264). True when it is gone.
bool DeleteLine(HWND owner, int32_t po, const std::string& number, int16_t line);

// ---- the line editor's dialogs (AcqPoSplit.cpp) ---------------------------------------------
// One budget of a split as the budget field shows it: "ADULT.2026 60%".
std::string SplitEntryText(const AcqDbBudget::SplitEntry& entry);
// The entries joined by " + ". Before each entry is added the text so far
// is checked against the widest an entry can be with its joint (35
// characters: budget and percentage of at most 15 each): when that would
// pass 255 characters the text is emptied and the answer is false.
bool JoinSplitEntries(const std::vector<std::string>& entries, std::string& text);
// The Bdgt Split dialog over `split` (the item's budgets and percentages).
// True with the new split (rows of 0 % dropped, each budget confirmed for
// use) when the person pressed OK and every rule passed; false leaves it.
bool EditBudgetSplit(HWND owner, std::vector<AcqDbBudget::SplitEntry>& split,
                     AcqFundCtrl::BustList* confirmed = nullptr);
// The Add Items dialog: how many items; nullopt on cancel.
std::optional<int> AskItemQuantity(HWND owner);
// Whether `budget` is a budget of the library; false told with message
// 1203 (a database failure is reported instead).
bool BudgetExists(HWND owner, std::string_view budget);
// The rules of a split's entries (those of 0 % already dropped): the
// percentages add up to exactly 100 (message 75) and no budget comes twice,
// in any case (76, `twice` the index of the second). 0 when they pass.
int SplitRuleRefusal(const std::vector<AcqDbBudget::SplitEntry>& split, size_t* twice = nullptr);
// Fund control's questions on a budget entered: may the user use it, and
// a frozen or closed one (Yes with the privilege). False when refused. A
// confirmed status is recorded in `confirmed` when given, so that the save
// does not ask again.
bool ConfirmBudgetEntered(std::string_view budget, AcqFundCtrl::BustList* confirmed = nullptr);
// Parses a whole number from text as a person types it; false when it is none.
bool ParseWhole(std::string_view text, int64_t& value);

// What a PO's item_creation requires of its lines and items before the
// catalogue records are made: a media type on the line (227), a
// collection (256) and an item type (13) on each item.
struct ItemCreationNeeds {
  bool mediaType = false;
  bool collection = false;
  bool itemType = false;
};
ItemCreationNeeds NeedsOf(int64_t itemCreation);
// Whether a row of `table` meets `where` (`column`: one of its columns to
// read); false (reported) when the database failed.
bool RowExists(std::string_view table, std::string_view column, const std::string& where,
               bool& exists);

}  // namespace acq::AcqPo::parts

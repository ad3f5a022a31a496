// AcqDbGen: the query library. One routine per stored procedure, per
// single-value statement and per routine table load, so that editors and
// activities never build these statements themselves; and the small writes
// that run in a transaction of their own, with the save of a PO line's items.
//
// Keys travel as decimal text; texts are quoted by the session's rules (an
// apostrophe doubled), never pasted into a statement as they stand.
// Every routine takes the caller's message buffer. Two ways to fail:
// - existence tests and single values report a failure themselves through
//   HandleDbError and answer false (or 0, or an empty value);
// - result sets, command-text loads and table loads return the code and
//   leave the reporting to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbGen {

// Stored procedures, spelled once.
namespace proc {
inline constexpr const char* exist_po_statement = "exist_po_statement";
inline constexpr const char* exist_po_voucher = "exist_po_voucher";
inline constexpr const char* exist_statement_po = "exist_statement_po";
inline constexpr const char* exist_statement_voucher = "exist_statement_voucher";
inline constexpr const char* exist_statement_voucher_tobe = "exist_statement_voucher_tobe";
inline constexpr const char* exist_voucher_po = "exist_voucher_po";
inline constexpr const char* exist_voucher_statement = "exist_voucher_statement";
inline constexpr const char* get_po_total_invoiced = "get_po_total_invoiced";
inline constexpr const char* get_po_total_on_order = "get_po_total_on_order";
inline constexpr const char* get_po_total_price = "get_po_total_price";
inline constexpr const char* get_po_total_spent = "get_po_total_spent";
inline constexpr const char* get_po_total_stated_invoice = "get_po_total_stated_invoice";
inline constexpr const char* load_account_years_to_create = "load_account_years_to_create";
inline constexpr const char* load_reassign_on_order = "load_reassign_on_order";
inline constexpr const char* load_reassign_spent = "load_reassign_spent";
inline constexpr const char* load_reassign_spent_extra = "load_reassign_spent_extra";
inline constexpr const char* load_transfer_unspent = "load_transfer_unspent";
}  // namespace proc

// Result buffers of the single values, in bytes (a text's includes its
// terminating NUL). Currency codes get 17 rather than 16: a 16-byte result
// is two amounts to the session.
inline constexpr size_t kCurrencyText = 17;
inline constexpr size_t kNameText = 162;
inline constexpr size_t kNumberText = 62;
inline constexpr size_t kGstNumberText = 102;

// ---- 1. existence tests ----------------------------------------------------------------------
// The procedure's one-byte answer for its arguments. A failure is reported
// (HandleDbError) and answers false, so a caller refusing on true lets the
// action go on only after the user has seen why the test could not run.

// The "exist_" family: proc::exist_po_statement ... proc::exist_voucher_statement.
bool ExistsProc(DbMsg& msg, std::string_view procedure, int32_t key);
bool ExistsAccountYear(DbMsg& msg, std::string_view account, int16_t year);
// Allocations for the year; an absent year asks for rows without one.
bool ExistsAccountYearYear(DbMsg& msg, std::optional<int16_t> year);
bool ExistsApprovedStatement(DbMsg& msg, int32_t po);
bool ExistsPoRenewal(DbMsg& msg, int32_t po);
// The identity of an uploaded interchange, as its duplicate test takes it.
struct InterchangeId {
  int32_t vendor = 0;
  std::string location;
  DayNum prepDate = 0;
  MinuteOfDay prepTime = 0;
  std::string controlReference;
  std::string fileName;
  int32_t fileSize = 0;
};
bool EdifactInterchangeExists(DbMsg& msg, const InterchangeId& id);
// What stands in the way of deleting an item (or, with no item, any item of
// the line): 0 nothing, 1 activity or vouchered money, 2 created by renewal.
enum class ItemActivity : uint8_t { None = 0, Activity = 1, Renewal = 2 };
ItemActivity PoLineItemActivity(DbMsg& msg, int32_t po, int16_t line,
                                std::optional<int16_t> item);
bool ExistsPoLineItemStatement(DbMsg& msg, int32_t po, int16_t line, int16_t item);
bool ExistsPoLineItemVoucher(DbMsg& msg, int32_t po, int16_t line, int16_t item);
bool ExistsPoLineVoucher(DbMsg& msg, int32_t po, int16_t line);
bool ExistsPoLineItems(DbMsg& msg, int32_t po, int16_t line);
bool ExistsPrDistribution(DbMsg& msg, int32_t pr);
bool IsBibOnIncompletePoLine(DbMsg& msg, int32_t bib);
// The line has ordered items still waiting for the vendor's order response.
bool CheckForOrderResponse(DbMsg& msg, int32_t po, int16_t line);
bool PolisApprovedForPoLine(DbMsg& msg, int32_t po, int16_t line);
bool VerifyBudgetsForPoLine(DbMsg& msg, int32_t po, int16_t line);
bool PolisAllApproved(DbMsg& msg);
bool IsStatementApproved(DbMsg& msg, int32_t statement);
bool IsBudgetOnOrder(DbMsg& msg, std::string_view budget);
// "if exists (select * from vendor where vendor#=" ... ")".
bool VendorExists(DbMsg& msg, int32_t vendor);

// ---- 2. single values ----------------------------------------------------------------------
// True with the value; a failure is reported and gives false with the value
// zero or empty. A row that is not there gives zero or empty and true.
// Text routines answer whether the text is not empty.

// One of the proc::get_po_total_ procedures, as money text of the base
// money format ("$281.85").
bool GetPoTotal(DbMsg& msg, std::string_view procedure, int32_t po, std::string& text);
bool GetStatementVoucheredAmount(DbMsg& msg, int32_t statement, Dec64& amount);
bool GetInvCreditVoucheredAmount(DbMsg& msg, int32_t statement, Dec64& amount);
bool GetNewStatementVouchAmount(DbMsg& msg, int32_t statement, Dec64& amount);
bool GetDefaultDiscount(DbMsg& msg, int32_t vendor, Dec64& percent);
bool GetRenewalPrice(DbMsg& msg, int32_t po, int16_t line, int32_t flag, Dec64& price);
// Read on a second session of its own, closed again after the call.
bool GetBudgetTotalSpent(DbMsg& msg, std::string_view budget, Dec64& spent);
bool GetBudgetStatus(DbMsg& msg, std::string_view budget, uint8_t& status);
// The header total and what remains of it.
bool GetStatementAmounts(DbMsg& msg, int32_t statement, Dec64& amount, Dec64& remaining);
// The line a renewed line went to (0 and 0 when it was not renewed).
bool GetRenewedPoNumAndLine(DbMsg& msg, int32_t po, int16_t line, int32_t& newPo,
                            int16_t& newLine);
bool GetNewPoLine(DbMsg& msg, int32_t po, int16_t& line);
// kNoDate when the voucher has no date (or is not there).
bool GetVouchDate(DbMsg& msg, int32_t voucher, DayNum& date);
// kNoDate when no line of the PO renews.
bool GetMaxNextRenewalDate(DbMsg& msg, int32_t po, DayNum& date);
bool CountNCopies(DbMsg& msg, int32_t bib, int32_t& count);
bool CountNItems(DbMsg& msg, int32_t bib, int32_t& count);
bool CountNCopyItems(DbMsg& msg, int32_t copy, int32_t& count);
bool CountNRequestsNoItem(DbMsg& msg, int32_t bib, int32_t& count);
bool GetVouchVendNum(DbMsg& msg, int32_t voucher, int32_t& vendor);
// Decimals of the currency's prices.
bool GetCurrencyFormat(DbMsg& msg, std::string_view currency, int32_t& decimals);
bool GetStatementType(DbMsg& msg, int32_t statement, uint8_t& type);
bool GetVoucherVoid(DbMsg& msg, int32_t voucher, bool& isVoid);
bool GetStatementTaxFlags(DbMsg& msg, int32_t statement, bool& pst, bool& gst);
bool MultipleLocationSans(DbMsg& msg);

bool GetPoCurrency(DbMsg& msg, int32_t po, std::string& currency);
bool GetStatementCurrency(DbMsg& msg, int32_t statement, std::string& currency);
bool GetVendorCurrency(DbMsg& msg, int32_t vendor, std::string& currency);
bool GetVouchCurrency(DbMsg& msg, int32_t voucher, std::string& currency);
bool GetVendorName(DbMsg& msg, int32_t vendor, std::string& name);
bool GetVouchVendName(DbMsg& msg, int32_t voucher, std::string& name);
// Cut to the caller's buffer of `bufferBytes` (terminator included).
bool GetPoVendName(DbMsg& msg, int32_t po, std::string& name, size_t bufferBytes = kNameText);
bool GetStatementVendName(DbMsg& msg, int32_t statement, std::string& name,
                          size_t bufferBytes = kNameText);
// The library's customer number at the vendor for a location.
bool GetCustNumber(DbMsg& msg, int32_t vendor, std::string_view location, std::string& number);
// The contract's SAN suffix, else the vendor's (an empty contract: the vendor's).
bool GetVendorSanSuffix(DbMsg& msg, int32_t vendor, std::string_view contract,
                        std::string& suffix);
bool GetVendorCustNumber(DbMsg& msg, int32_t vendor, std::string& number);
bool GetVendorCurrencyDescr(DbMsg& msg, int32_t vendor, std::string& descr);
bool GetVendorGstNumber(DbMsg& msg, int32_t vendor, std::string& number);

// Statements of a fixed head and a key.
bool GetPoVendor(DbMsg& msg, int32_t po, int32_t& vendor);
bool GetPoNumber(DbMsg& msg, int32_t po, std::string& number);
// The PO of that number; 0 when there is none.
bool FindPoByNumber(DbMsg& msg, std::string_view number, int32_t& po);
bool GetPoLineBib(DbMsg& msg, int32_t po, int16_t line, int32_t& bib);
bool GetPoLineMediaType(DbMsg& msg, int32_t po, int16_t line, std::string& mediaType);
bool GetStatementNumber(DbMsg& msg, int32_t statement, std::string& number);
bool GetStatementVendor(DbMsg& msg, int32_t statement, int32_t& vendor);
// Money rows (po_line_item_budget_amount) of the statement.
bool CountStatementMoneyRows(DbMsg& msg, int32_t statement, int32_t& count);
// Distinct vendors of the POs.
bool CountPoVendors(DbMsg& msg, const std::vector<int32_t>& pos, int32_t& count);
bool GetCopyAcqControlled(DbMsg& msg, int32_t copy, bool& controlled);
bool GetCopyAcqStatus(DbMsg& msg, int32_t copy, uint8_t& status);
bool GetVendorEnhancedServices(DbMsg& msg, int32_t vendor, bool& enhanced);
bool GetContractEnhancedServices(DbMsg& msg, int32_t vendor, std::string_view contract,
                                 bool& enhanced);

// ---- 3. result sets --------------------------------------------------------------------------
// Each result set of the procedure in a new Bucket appended to `bkts`; the
// caller destroys them. The code is returned, not reported.
[[nodiscard]] DbCode GetVoucherPoDetails(DbMsg& msg, int32_t voucher, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetVendorMinimums(DbMsg& msg, int32_t vendor, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode PoChangePrint(DbMsg& msg, int32_t po, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode PoClaimPrint(DbMsg& msg, int32_t po, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetPoLineQuantityPrice(DbMsg& msg, int32_t po, int16_t line,
                                            std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetPoLineExtraLocation(DbMsg& msg, int32_t po, int16_t line,
                                            std::vector<BktHandle>& bkts);
// A voucher to print: its header, then one row per budget (amounts also as
// text); the statement's form is its "(new)" voucher.
[[nodiscard]] DbCode GetStatementNewVoucher(DbMsg& msg, int32_t statement,
                                            std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetVoucher(DbMsg& msg, int32_t voucher, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetVoucherCredits(DbMsg& msg, int32_t voucher, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetNewVoucherCredits(DbMsg& msg, int32_t statement,
                                          std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetClaimsReview(DbMsg& msg, std::vector<BktHandle>& bkts);
// The PO window's per-line display columns: every line, or one line.
[[nodiscard]] DbCode FillPoLineDisplay(DbMsg& msg, int32_t po, std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode ReloadLinePoLineDisplay(DbMsg& msg, int32_t po, int16_t line,
                                             std::vector<BktHandle>& bkts);
[[nodiscard]] DbCode GetApprovalPoLineDisplay(DbMsg& msg, std::vector<BktHandle>& bkts);
// The line's price and the rate of its PO's currency; 0 and 1 when the line
// is not there.
[[nodiscard]] DbCode GetAmountXrateFromPoLine(DbMsg& msg, int32_t po, int16_t line, Dec64& amount,
                                              Dec64& rate);
// The statement's type and rate; 0 and 1 when it is not there.
[[nodiscard]] DbCode GetTypeXrateFromStatement(DbMsg& msg, int32_t statement, uint8_t& type,
                                               Dec64& rate);

// ---- 4. command text into the caller's Bucket ----------------------------------------------
// "<procedure> <arguments>" loaded replacing the rows of `bkt` (columns by
// name); a null `bkt` gets a new Bucket of the result's columns.
// One of the year procedures (proc::load_account_years_to_create, the
// load_reassign_ ones, proc::load_transfer_unspent); an absent year is NULL.
[[nodiscard]] DbCode LoadByYears(DbMsg& msg, std::string_view procedure,
                                 std::optional<int16_t> first, std::optional<int16_t> second,
                                 BktHandle& bkt);
[[nodiscard]] DbCode LoadTitlesByBudget(DbMsg& msg, std::string_view budget, BktHandle& bkt);
[[nodiscard]] DbCode LoadTitlesByBudgetOnOrder(DbMsg& msg, std::string_view budget,
                                               BktHandle& bkt);
[[nodiscard]] DbCode LoadTitlesByVendor(DbMsg& msg, int32_t vendor, BktHandle& bkt);
[[nodiscard]] DbCode LoadTitlesByVendorContract(DbMsg& msg, int32_t vendor,
                                                std::string_view contract, BktHandle& bkt);

// ---- 5. table loads --------------------------------------------------------------------------
// Into a new Bucket (`bkt` gets it), change flags cleared, unless the
// routine says it reloads the caller's Bucket.
[[nodiscard]] DbCode LoadStatementAmountRemaining(DbMsg& msg, int32_t statement, BktHandle& bkt);
// The credits applied to the statement or by it.
[[nodiscard]] DbCode LoadStatementLinks(DbMsg& msg, int32_t statement, BktHandle& bkt);
// Reloads the caller's Bucket of the line's items (for the items editor and
// the retried save), change flags cleared.
[[nodiscard]] DbCode ReloadPoLineItems(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt);
[[nodiscard]] DbCode LoadPoLineItemBudgets(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt);
[[nodiscard]] DbCode LoadPoTemplate(DbMsg& msg, std::string_view templateName, BktHandle& bkt);
[[nodiscard]] DbCode LoadBudget(DbMsg& msg, std::string_view budget, BktHandle& bkt);
[[nodiscard]] DbCode LoadAddresses(DbMsg& msg, std::string_view location, BktHandle& bkt);
[[nodiscard]] DbCode LoadAccount(DbMsg& msg, std::string_view account, BktHandle& bkt);
[[nodiscard]] DbCode LoadVendor(DbMsg& msg, int32_t vendor, BktHandle& bkt);
[[nodiscard]] DbCode LoadVendorAddresses(DbMsg& msg, int32_t vendor, BktHandle& bkt);
[[nodiscard]] DbCode LoadSubscriptionPeriod(DbMsg& msg, std::string_view period, BktHandle& bkt);
[[nodiscard]] DbCode LoadCopiesOfBib(DbMsg& msg, int32_t bib, BktHandle& bkt);
[[nodiscard]] DbCode LoadPrDistribution(DbMsg& msg, int32_t pr, BktHandle& bkt);
[[nodiscard]] DbCode LoadBorrowerName(DbMsg& msg, int32_t borrower, BktHandle& bkt);
[[nodiscard]] DbCode LoadBudgetCode(DbMsg& msg, std::string_view budget, BktHandle& bkt);
[[nodiscard]] DbCode LoadContractWithVendor(DbMsg& msg, int32_t vendor, std::string_view contract,
                                            BktHandle& bkt);
[[nodiscard]] DbCode LoadVendorCodes(DbMsg& msg, int32_t vendor, BktHandle& bkt);
[[nodiscard]] DbCode LoadAddressLocations(DbMsg& msg, BktHandle& bkt);
// The statement's prorated extra charges, one row per charge type.
[[nodiscard]] DbCode LoadProratedChargeTotals(DbMsg& msg, int32_t statement, BktHandle& bkt);
[[nodiscard]] DbCode LoadExtraChargeTypes(DbMsg& msg, BktHandle& bkt);
[[nodiscard]] DbCode LoadItem(DbMsg& msg, int32_t item, BktHandle& bkt);
// The line's items still to approve.
[[nodiscard]] DbCode LoadItemsToApprove(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt);
// The line's split rows with an empty budget_split column for the editor.
[[nodiscard]] DbCode LoadPoLineItemSplits(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt);
// Each pattern with the accounts of its budgets.
[[nodiscard]] DbCode LoadPatternAccounts(DbMsg& msg, BktHandle& bkt);
// The lines waiting for approval, of one PO or (0) of all.
[[nodiscard]] DbCode LoadApprovalPoLines(DbMsg& msg, int32_t po, BktHandle& bkt);
[[nodiscard]] DbCode LoadStatementsToApprove(DbMsg& msg, BktHandle& bkt);
[[nodiscard]] DbCode LoadTemplatesWithVendor(DbMsg& msg, BktHandle& bkt);
// The statement's money per statement line and charge.
[[nodiscard]] DbCode LoadStatementMoneyLines(DbMsg& msg, int32_t statement, BktHandle& bkt);
// Reads built as command text, for browsing: a message's segments in order,
// and the line's open items (not cancelled; `unanswered` also without an
// order response).
[[nodiscard]] DbCode LoadMessageSegments(DbMsg& msg, int32_t edifact, int32_t message,
                                         BktHandle& bkt);
[[nodiscard]] DbCode LoadOpenPoLineItems(DbMsg& msg, int32_t po, int16_t line, bool unanswered,
                                         BktHandle& bkt);
// The catalogue import row of the key; a missing row is also a programming
// error reported through the host ("No rows selected from import_acq ...").
[[nodiscard]] DbCode LoadImportAcq(DbMsg& msg, int32_t key, BktHandle& bkt);

// ---- writes ----------------------------------------------------------------------------------
// Refreshes the caller's PO line Bucket after a write conflict; false when
// it could not.
using ReloadPoLine = std::function<bool(BktHandle poLine)>;
// A further step of the save inside its transaction; its code.
using ExtraSaveStep = std::function<DbCode(DbMsg& msg)>;

// Saves the items of one PO line: each row of `items` deleted, updated or
// inserted by its state, then `last_item` of the line (row 1 of `poLine`)
// when changed, then `extraStep`, in one transaction. A write conflict (10,
// 11) rolls back, puts both Buckets back as they were before the first
// attempt, lets `reload` refresh the line and tries again, 10 attempts in
// all; a failed reload ends the save with code 2. The final failure is
// reported once (HandleDbError); success commits. Returns the final code.
DbCode SavePoLineItems(const ReloadPoLine& reload, const ExtraSaveStep& extraStep,
                       BktHandle poLine, BktHandle items);

// Writes each in a transaction of its own: committed, or on the first
// failure reported and rolled back (shown once, by the rollback). False on
// failure.
// A read interchange: every row of the interchange, message and segment
// Buckets, then the exceptions; with `exceptionsOnly` just the exceptions.
bool SaveEdifactInterchange(BktHandle interchange, BktHandle messages, BktHandle segments,
                            BktHandle exceptions, bool exceptionsOnly);
// A new voucher key, then the statement's voucher made by the database, in
// one transaction. When the database refuses (the statement is not
// approved, or nothing of it is left to pay) the result is true with
// `voucher` 0 and nothing is kept, the key included; false means a database
// failure, already reported.
bool CreateStatementVoucher(int32_t statement, int32_t& voucher);
// The update procedures of printing, voiding and undoing; `result` gets the
// procedure's one-byte code.
bool PrintPoUpdateDb(int32_t po, uint8_t& result);
bool PrintChangePoUpdateDb(int32_t po, uint8_t& result);
bool PrintClaimUpdateDb(int32_t po, uint8_t& result);
bool PrintVouchToItemUpdate(int32_t voucher, uint8_t& result);
bool VoidVoucher(int32_t voucher, uint8_t& result);
bool UndoOrder(int32_t po, uint8_t& result);
// Removes every budget hierarchy.
bool DeleteBudgetHierarchies();

// Single rows of the workslip batch tables, without a transaction of their
// own (the caller's, when one is open); a failure is reported, false.
bool UpdateWorkslipBatch(int row, BktHandle bkt);
bool DeleteWorkslipBatch(int row, BktHandle bkt);
bool UpdateWorkslipBatchItem(int row, BktHandle bkt);
bool DeleteWorkslipBatchItem(int row, BktHandle bkt);

// ---- key lists -------------------------------------------------------------------------------
// The 32-bit keys in column `col` of `rows` of `bkt`, joined by ",".
std::string KeyList(BktHandle bkt, int col, const std::vector<int>& rows);
std::string KeyList(const std::vector<int32_t>& keys);
// " where item in(" the items of `rows` ")and", for the condition that follows.
std::string ItemInClause(BktHandle bkt, int itemCol, const std::vector<int>& rows);
// " where (po#=" po " and line=" line ")" for each row, joined by " or".
std::string PoLineWhere(BktHandle bkt, int poCol, int lineCol, const std::vector<int>& rows);
// The same, appended to the pending command.
void AppendItemInClause(BktHandle bkt, int itemCol, const std::vector<int>& rows);
void AppendPoLineWhere(BktHandle bkt, int poCol, int lineCol, const std::vector<int>& rows);

void Initialize();
void Terminate();

}  // namespace acq::AcqDbGen

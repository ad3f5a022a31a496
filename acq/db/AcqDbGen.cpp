// AcqDbGen: the query library. Each routine builds its call or statement
// from a fixed head and its keys (decimal text) or texts (quoted by the
// session's rules) and runs it through AcqDb; see AcqDbGen.h for which
// routines report their failures themselves.
#include "acq/db/AcqDbGen.h"

#include <cstring>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqGlobal.h"
#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

namespace acq::AcqDbGen {
namespace {

using AcqDb::ClearChanges;
using AcqDbExcept::HandleDbError;

// Procedures and statements used by one routine each.
constexpr const char* kExistAccountYear = "exist_account_year";
constexpr const char* kExistAccountYearYear = "exist_account_year_year";
constexpr const char* kExistsApprovedStatement = "exists_approved_statement";
constexpr const char* kExistsPoRenewal = "exists_po_renewal";
constexpr const char* kEdifactInterchangeExists = "edifact_interchange_exists";
constexpr const char* kExistsPoLineItemActivity = "exists_po_line_item_activity";
constexpr const char* kExistsPoLineItemStatement = "exists_po_line_item_statement";
constexpr const char* kExistsPoLineItemVoucher = "exists_po_line_item_voucher";
constexpr const char* kExistsPoLineVoucher = "exists_po_line_voucher";
constexpr const char* kExistPoLineItems = "exist_po_line_items";
constexpr const char* kExistsPrDistribution = "exists_pr_distribution";
constexpr const char* kIsBibOnIncompletePoLine = "is_bib_on_incomplete_po_line";
constexpr const char* kCheckForOrderResponse = "check_for_order_response";
constexpr const char* kPolisApprovedForPoLine = "polis_approved_for_po_line";
constexpr const char* kVerifyBudgetsForPoLine = "verify_budgets_for_po_line";
constexpr const char* kPolisAllApproved = "polis_all_approved";
constexpr const char* kStatementApproved = "statement_approved";
constexpr const char* kIsBudgetOnOrder = "is_budget_on_order";
constexpr const char* kGetStatementVoucheredAmount = "get_statement_vouchered_amount";
constexpr const char* kGetInvCreditVoucheredAmnt = "get_inv_credit_vouchered_amnt";
constexpr const char* kGetNewStatementVouchAmount = "get_new_statement_vouch_amount";
constexpr const char* kGetDefaultDiscount = "get_default_discount";
constexpr const char* kGetRenewalPrice = "get_renewal_price";
constexpr const char* kGetBudgetTotalSpent = "get_budget_total_spent";
constexpr const char* kGetBudgetStatus = "get_budget_status";
constexpr const char* kGetStatementAmounts = "get_statement_amounts";
constexpr const char* kGetRenewedPoNumAndLine = "get_renewed_po_num_and_line";
constexpr const char* kGetNewPoLine = "get_new_po_line";
constexpr const char* kGetVouchDate = "get_vouch_date";
constexpr const char* kGetMaxNextRenewalDate = "get_max_next_renewal_date";
constexpr const char* kCountNCopies = "count_ncopies";
constexpr const char* kCountNItems = "count_nitems";
constexpr const char* kCountNCopyItems = "count_ncopyitems";
constexpr const char* kCountNRequestsNoItem = "count_nrequests_no_item";
constexpr const char* kGetVouchVendNum = "get_vouch_vend_num";
constexpr const char* kGetCurrencyFormat = "get_currency_format";
constexpr const char* kGetStatementType = "get_statement_type";
constexpr const char* kGetVoucherVoid = "get_voucher_void";
constexpr const char* kMultipleLocationSans = "multiple_location_sans";
constexpr const char* kGetPoCurrency = "get_po_currency";
constexpr const char* kGetStatementCurrency = "get_statement_currency";
constexpr const char* kGetVendorCurrency = "get_vendor_currency";
constexpr const char* kGetVouchCurrency = "get_vouch_currency";
constexpr const char* kGetVendorName = "get_vendor_name";
constexpr const char* kGetVouchVendName = "get_vouch_vend_name";
constexpr const char* kGetPoVendName = "get_po_vend_name";
constexpr const char* kGetStatementVendName = "get_statement_vend_name";
constexpr const char* kGetCustNumber = "get_cust_number";
constexpr const char* kGetVendorSanSuffix = "get_vendor_san_suffix";
constexpr const char* kGetVendorCustNumber = "get_vendor_cust_number";
constexpr const char* kGetVendorCurrencyDescr = "get_vendor_currency_descr";
constexpr const char* kGetVendorGstNumber = "get_vendor_gst_number";
constexpr const char* kCreateStatementVoucher = "create_statement_voucher";
constexpr const char* kPrintPoUpdateDb = "print_po_update_db";
constexpr const char* kPrintChangePoUpdateDb = "print_change_po_update_db";
constexpr const char* kPrintClaimUpdateDb = "print_claim_update_db";
constexpr const char* kPrintVouchToItemUpdate = "print_vouch_to_item_update";
constexpr const char* kVoidVoucher = "void_voucher";
constexpr const char* kUndoOrder = "undo_order";
constexpr const char* kGetVoucherPoDetails = "get_voucher_po_details";
constexpr const char* kGetVendorMinimums = "get_vendor_minimums";
constexpr const char* kPoChangePrint = "po_change_print";
constexpr const char* kPoClaimPrint = "po_claim_print";
constexpr const char* kGetPoLineQuantityPrice = "get_po_line_quantity_price";
constexpr const char* kGetPoLineExtraLocation = "get_po_line_extra_location";
constexpr const char* kGetStatementNewVoucher = "get_statement_new_voucher";
constexpr const char* kGetVoucher = "get_voucher";
constexpr const char* kGetVoucherCredits = "get_voucher_credits";
constexpr const char* kGetNewVoucherCredits = "get_new_voucher_credits";
constexpr const char* kGetClaimsReview = "get_claims_review";
constexpr const char* kFillPoLineDisplay = "fill_po_line_display";
constexpr const char* kReloadLinePoLineDisplay = "reload_line_po_line_display";
constexpr const char* kApprovalPoLineDisplay = "approval_po_line_display";
constexpr const char* kGetAmountXrateFromPoLine = "get_amount_xrate_from_po_line";
constexpr const char* kGetTypeXrateFromStatement = "get_type_xrate_from_statement";
constexpr const char* kLoadTitlesByBudget = "load_titles_by_budget";
constexpr const char* kLoadTitlesByBudgetOnOrder = "load_titles_by_budget_on_order";
constexpr const char* kLoadTitlesByVendor = "load_titles_by_vendor";
constexpr const char* kLoadTitlesByVendorContract = "load_titles_by_vendor_contract";

constexpr const char* kDeleteBudgetHierarchy = "delete from budget_hierarchy";
constexpr const char* kStatementTaxFlags = "select pst, gst from statement where statement# =";
constexpr const char* kVendorOfPo = "select vendor# from po where po#=";
constexpr const char* kNumberOfPo = "select po_number from po where po#=";
constexpr const char* kPoOfNumber = "select po# from po where po_number = '";
constexpr const char* kBibOfPoLine = "select bib# from po_line where po#=";
constexpr const char* kMediaTypeOfPoLine = "select media_type from po_line where po#=";
constexpr const char* kNumberOfStatement =
    "select statement_number from statement where statement#=";
constexpr const char* kVendorOfStatement = "select vendor# from statement where statement#=";
constexpr const char* kMoneyRowsOfStatement =
    "select count(*) from po_line_item_budget_amount where statement#=";
constexpr const char* kVendorsOfPos = "select count(distinct vendor#) from po where po# in(";
constexpr const char* kCopyAcqControlled = "select acq_controlled from copy where copy#=";
constexpr const char* kCopyAcqStatus = "select acq_status from copy where copy#=";
constexpr const char* kVendorEnhanced = "select enhanced_services from vendor where vendor#=";
constexpr const char* kContractEnhanced =
    "select enhanced_services from vendor_contract where vendor#=";
constexpr const char* kVendorExistsHead = "if exists (select * from vendor where vendor#=";
constexpr const char* kVendorExistsTail = ") select convert(bit,1) else select convert(bit,0)";
constexpr const char* kAndLine = " and line=";
constexpr const char* kForBrowse = " for browse";
constexpr const char* kNoImportRow = "No rows selected from import_acq for key: %d";

// A short text of a statement (numbers, codes): the result buffer in bytes.
constexpr size_t kShortText = 32;
// Attempts of the PO line item save before a write conflict is given up.
constexpr int kSaveAttempts = 10;

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }
std::string Key16(int16_t key) { return Lb_Int16ToStr(key); }
// A 16-bit key or year, or "NULL" when absent.
std::string OrNull(std::optional<int16_t> value) {
  return value ? Lb_Int16ToStr(*value) : std::string("NULL");
}

// `text` as a string literal by the session's quoting (apostrophes doubled).
std::string Quoted(std::string_view text) {
  std::string out;
  // Room for every character doubled and the two quotes: it always fits.
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}

// Arguments joined by ",".
std::string Args(std::initializer_list<std::string> args) {
  std::string out;
  for (const std::string& a : args) {
    if (!out.empty()) out += ",";
    out += a;
  }
  return out;
}

// ---- single values ---------------------------------------------------------------------------

// The value of `what` (a procedure with `params`, or a complete statement)
// into `buffer`; a failure is reported and leaves the buffer zeroed.
bool ExecValue(DbMsg& msg, void* buffer, size_t size, std::string_view params,
               std::string_view what) {
  msg.Clear();
  const DbCode code = AcqDb::ExecSP(msg, buffer, size, params, what);
  if (code == kDbOk) return true;
  std::memset(buffer, 0, size);
  HandleDbError(msg, code);
  return false;
}

bool ExecFlag(DbMsg& msg, std::string_view params, std::string_view what) {
  uint8_t flag = 0;
  return ExecValue(msg, &flag, sizeof flag, params, what) && flag != 0;
}

template <typename T>
bool ExecNumber(DbMsg& msg, std::string_view params, std::string_view what, T& out) {
  T value{};
  const bool ok = ExecValue(msg, &value, sizeof value, params, what);
  out = value;
  return ok;
}

bool ExecAmount(DbMsg& msg, std::string_view params, std::string_view what, Dec64& out) {
  int64_t raw = 0;  // an 8-byte result is the amount's raw millionths
  const bool ok = ExecValue(msg, &raw, sizeof raw, params, what);
  out = Dec64::FromRaw(raw);
  return ok;
}

// A text of at most `bytes` - 1 bytes; true when it is not empty.
bool ExecText(DbMsg& msg, size_t bytes, std::string_view params, std::string_view what,
              std::string& out) {
  std::string buffer(bytes, '\0');
  ExecValue(msg, buffer.data(), bytes, params, what);
  out.assign(buffer.c_str());
  return !out.empty();
}

// ---- loads -----------------------------------------------------------------------------------

struct CmdArg {
  std::string text;
  bool quote = false;
};
CmdArg Plain(std::string text) { return CmdArg{std::move(text), false}; }
CmdArg Text(std::string_view text) { return CmdArg{std::string(text), true}; }

// "<procedure> a,b,..." loaded replacing the rows of `bkt` (or into a new one).
DbCode LoadProcedureCmd(DbMsg& msg, std::string_view procedure, std::initializer_list<CmdArg> args,
                        BktHandle& bkt) {
  AcqDb::AppendDbCmd(std::string(procedure) + " ");
  bool first = true;
  for (const CmdArg& a : args) {
    if (!first) AcqDb::AppendDbCmd(",");
    first = false;
    if (a.quote) {
      AcqDb::QuoteAppendDbCmd(a.text);
    } else {
      AcqDb::AppendDbCmd(a.text);
    }
  }
  if (bkt == nullptr) return AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, bkt, 32, 32, 0);
  return AcqDb::LoadDbCmdReplace(msg, ClearChanges::Yes, bkt);
}

DbCode LoadNew(DbMsg& msg, std::string_view columns, std::string_view table,
               const std::string& where, std::string_view orderBy, BktHandle& bkt) {
  return AcqDb::LoadTable(msg, ClearChanges::Yes, orderBy, where, columns, table, bkt);
}

std::string PoLineKey(int32_t po, int16_t line) {
  return "po#=" + Key(po) + kAndLine + Key16(line);
}

// ---- writes ----------------------------------------------------------------------------------

// Runs `steps` in a transaction of its own: committed, or the first failure
// reported inside it and shown once by the rollback.
bool InOwnTransaction(const std::function<DbCode(DbMsg&)>& steps) {
  AcqDbBase::TransactionHold hold;
  DbMsg msg;
  if (const DbCode code = steps(msg); code != kDbOk) {
    HandleDbError(msg, code);
    hold.Rollback();
    return false;
  }
  return hold.Commit();
}

bool UpdateProcedure(std::string_view procedure, int32_t key, uint8_t& result) {
  result = 0;
  return InOwnTransaction([&](DbMsg& msg) {
    return AcqDb::ExecSP(msg, &result, sizeof result, Key(key), procedure);
  });
}

bool RowWrite(DbCode (*write)(DbMsg&, int, BktHandle, std::string_view), int row, BktHandle bkt,
              std::string_view table) {
  DbMsg msg;
  if (const DbCode code = write(msg, row, bkt, table); code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  return true;
}

DbCode InsertAll(DbMsg& msg, BktHandle bkt, std::string_view table) {
  if (bkt == nullptr) return kDbOk;
  for (int row = 1; row <= _BktCountAll(bkt); ++row) {
    if (const DbCode code = AcqDb::InsertRow(msg, row, bkt, table); code != kDbOk) return code;
  }
  return kDbOk;
}

// One attempt of the PO line item save: the items by their row state, the
// line's last_item when changed, then the caller's step.
DbCode SaveItemsOnce(DbMsg& msg, const ExtraSaveStep& extraStep, BktHandle poLine,
                     BktHandle items) {
  DbCode code = kDbOk;
  for (int row = 1; row <= _BktCountAll(items) && code == kDbOk; ++row) {
    switch (_BktGetState(items, row)) {
      case kRowDeleted: code = AcqDb::DeleteRow(msg, row, items, names::po_line_item); break;
      case kRowExisting: code = AcqDb::UpdateRow(msg, row, items, names::po_line_item); break;
      case kRowNew: code = AcqDb::InsertRow(msg, row, items, names::po_line_item); break;
      default: break;
    }
  }
  if (code == kDbOk && _BktCountAll(poLine) >= 1) {
    const int lastItem = _BktGetColNum(poLine, "last_item");
    if (lastItem > 0 && _ColIsChanged(poLine, 1, lastItem))
      code = AcqDb::UpdateRow(msg, 1, poLine, names::po_line);
  }
  if (code == kDbOk && extraStep) code = extraStep(msg);
  return code;
}

}  // namespace

// ---- 1. existence tests ----------------------------------------------------------------------

bool ExistsProc(DbMsg& msg, std::string_view procedure, int32_t key) {
  return ExecFlag(msg, Key(key), procedure);
}
bool ExistsAccountYear(DbMsg& msg, std::string_view account, int16_t year) {
  return ExecFlag(msg, Args({Quoted(account), Key16(year)}), kExistAccountYear);
}
bool ExistsAccountYearYear(DbMsg& msg, std::optional<int16_t> year) {
  return ExecFlag(msg, OrNull(year), kExistAccountYearYear);
}
bool ExistsApprovedStatement(DbMsg& msg, int32_t po) {
  return ExecFlag(msg, Key(po), kExistsApprovedStatement);
}
bool ExistsPoRenewal(DbMsg& msg, int32_t po) { return ExecFlag(msg, Key(po), kExistsPoRenewal); }
bool EdifactInterchangeExists(DbMsg& msg, const InterchangeId& id) {
  return ExecFlag(msg,
                  Args({Key(id.vendor), Quoted(id.location), Key(id.prepDate), Key(id.prepTime),
                        Quoted(id.controlReference), Quoted(id.fileName), Key(id.fileSize)}),
                  kEdifactInterchangeExists);
}
ItemActivity PoLineItemActivity(DbMsg& msg, int32_t po, int16_t line,
                                std::optional<int16_t> item) {
  uint8_t answer = 0;
  ExecNumber(msg, Args({Key(po), Key16(line), OrNull(item)}), kExistsPoLineItemActivity,
             answer);
  return answer == 1 ? ItemActivity::Activity
         : answer == 2 ? ItemActivity::Renewal
                       : ItemActivity::None;
}
bool ExistsPoLineItemStatement(DbMsg& msg, int32_t po, int16_t line, int16_t item) {
  return ExecFlag(msg, Args({Key(po), Key16(line), Key16(item)}), kExistsPoLineItemStatement);
}
bool ExistsPoLineItemVoucher(DbMsg& msg, int32_t po, int16_t line, int16_t item) {
  return ExecFlag(msg, Args({Key(po), Key16(line), Key16(item)}), kExistsPoLineItemVoucher);
}
bool ExistsPoLineVoucher(DbMsg& msg, int32_t po, int16_t line) {
  return ExecFlag(msg, Args({Key(po), Key16(line)}), kExistsPoLineVoucher);
}
bool ExistsPoLineItems(DbMsg& msg, int32_t po, int16_t line) {
  return ExecFlag(msg, Args({Key(po), Key16(line)}), kExistPoLineItems);
}
bool ExistsPrDistribution(DbMsg& msg, int32_t pr) {
  return ExecFlag(msg, Key(pr), kExistsPrDistribution);
}
bool IsBibOnIncompletePoLine(DbMsg& msg, int32_t bib) {
  return ExecFlag(msg, Key(bib), kIsBibOnIncompletePoLine);
}
bool CheckForOrderResponse(DbMsg& msg, int32_t po, int16_t line) {
  return ExecFlag(msg, Args({Key(po), Key16(line)}), kCheckForOrderResponse);
}
bool PolisApprovedForPoLine(DbMsg& msg, int32_t po, int16_t line) {
  return ExecFlag(msg, Args({Key(po), Key16(line)}), kPolisApprovedForPoLine);
}
bool VerifyBudgetsForPoLine(DbMsg& msg, int32_t po, int16_t line) {
  return ExecFlag(msg, Args({Key(po), Key16(line)}), kVerifyBudgetsForPoLine);
}
bool PolisAllApproved(DbMsg& msg) { return ExecFlag(msg, "", kPolisAllApproved); }
bool IsStatementApproved(DbMsg& msg, int32_t statement) {
  return ExecFlag(msg, Key(statement), kStatementApproved);
}
bool IsBudgetOnOrder(DbMsg& msg, std::string_view budget) {
  return ExecFlag(msg, Quoted(budget), kIsBudgetOnOrder);
}
bool VendorExists(DbMsg& msg, int32_t vendor) {
  return ExecFlag(msg, "", kVendorExistsHead + Key(vendor) + kVendorExistsTail);
}

// ---- 2. single values ----------------------------------------------------------------------

bool GetPoTotal(DbMsg& msg, std::string_view procedure, int32_t po, std::string& text) {
  Dec64 amount;
  text.clear();
  if (!ExecAmount(msg, Key(po), procedure, amount)) return false;
  text = LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0));
  return true;
}
bool GetStatementVoucheredAmount(DbMsg& msg, int32_t statement, Dec64& amount) {
  return ExecAmount(msg, Key(statement), kGetStatementVoucheredAmount, amount);
}
bool GetInvCreditVoucheredAmount(DbMsg& msg, int32_t statement, Dec64& amount) {
  return ExecAmount(msg, Key(statement), kGetInvCreditVoucheredAmnt, amount);
}
bool GetNewStatementVouchAmount(DbMsg& msg, int32_t statement, Dec64& amount) {
  return ExecAmount(msg, Key(statement), kGetNewStatementVouchAmount, amount);
}
bool GetDefaultDiscount(DbMsg& msg, int32_t vendor, Dec64& percent) {
  return ExecAmount(msg, Key(vendor), kGetDefaultDiscount, percent);
}
bool GetRenewalPrice(DbMsg& msg, int32_t po, int16_t line, int32_t flag, Dec64& price) {
  return ExecAmount(msg, Args({Key(po), Key16(line), Key(flag)}), kGetRenewalPrice, price);
}

bool GetBudgetTotalSpent(DbMsg& msg, std::string_view budget, Dec64& spent) {
  // A session of its own, logged out when this scope ends.
  class Clone {
   public:
    ~Clone() { _DbLogout(&db); }
    HDb db = nullptr;
  } clone;
  int64_t raw = 0;
  msg.Clear();
  DbCode code = _DbCloneHDb(AcqDbGlobal::Session(), clone.db, msg);
  if (code == kDbOk)
    code = _DbExecSP(clone.db, kGetBudgetTotalSpent, Quoted(budget), &raw, sizeof raw, msg);
  spent = Dec64::FromRaw(code == kDbOk ? raw : 0);
  if (code != kDbOk) HandleDbError(msg, code);
  return code == kDbOk;
}

bool GetBudgetStatus(DbMsg& msg, std::string_view budget, uint8_t& status) {
  // The call as command text: the procedure and the quoted budget together.
  return ExecNumber(msg, "", std::string(kGetBudgetStatus) + " " + Quoted(budget), status);
}
bool GetStatementAmounts(DbMsg& msg, int32_t statement, Dec64& amount, Dec64& remaining) {
  int64_t raw[2] = {0, 0};  // a 16-byte result is two amounts
  const bool ok = ExecValue(msg, raw, sizeof raw, Key(statement), kGetStatementAmounts);
  amount = Dec64::FromRaw(raw[0]);
  remaining = Dec64::FromRaw(raw[1]);
  return ok;
}
bool GetRenewedPoNumAndLine(DbMsg& msg, int32_t po, int16_t line, int32_t& newPo,
                            int16_t& newLine) {
  unsigned char buffer[6] = {};  // 32-bit key, then 16-bit line
  const bool ok =
      ExecValue(msg, buffer, sizeof buffer, Args({Key(po), Key16(line)}), kGetRenewedPoNumAndLine);
  std::memcpy(&newPo, buffer, sizeof newPo);
  std::memcpy(&newLine, buffer + 4, sizeof newLine);
  return ok;
}
bool GetNewPoLine(DbMsg& msg, int32_t po, int16_t& line) {
  return ExecNumber(msg, Key(po), kGetNewPoLine, line);
}
bool GetVouchDate(DbMsg& msg, int32_t voucher, DayNum& date) {
  return ExecNumber(msg, Key(voucher), kGetVouchDate, date);
}
bool GetMaxNextRenewalDate(DbMsg& msg, int32_t po, DayNum& date) {
  return ExecNumber(msg, Key(po), kGetMaxNextRenewalDate, date);
}
bool CountNCopies(DbMsg& msg, int32_t bib, int32_t& count) {
  return ExecNumber(msg, Key(bib), kCountNCopies, count);
}
bool CountNItems(DbMsg& msg, int32_t bib, int32_t& count) {
  return ExecNumber(msg, Key(bib), kCountNItems, count);
}
bool CountNCopyItems(DbMsg& msg, int32_t copy, int32_t& count) {
  return ExecNumber(msg, Key(copy), kCountNCopyItems, count);
}
bool CountNRequestsNoItem(DbMsg& msg, int32_t bib, int32_t& count) {
  return ExecNumber(msg, Key(bib), kCountNRequestsNoItem, count);
}
bool GetVouchVendNum(DbMsg& msg, int32_t voucher, int32_t& vendor) {
  return ExecNumber(msg, Key(voucher), kGetVouchVendNum, vendor);
}
bool GetCurrencyFormat(DbMsg& msg, std::string_view currency, int32_t& decimals) {
  return ExecNumber(msg, Quoted(currency), kGetCurrencyFormat, decimals);
}
bool GetStatementType(DbMsg& msg, int32_t statement, uint8_t& type) {
  return ExecNumber(msg, Key(statement), kGetStatementType, type);
}
bool GetVoucherVoid(DbMsg& msg, int32_t voucher, bool& isVoid) {
  uint8_t flag = 0;
  const bool ok = ExecNumber(msg, Key(voucher), kGetVoucherVoid, flag);
  isVoid = flag != 0;
  return ok;
}
bool MultipleLocationSans(DbMsg& msg) { return ExecFlag(msg, "", kMultipleLocationSans); }

bool GetStatementTaxFlags(DbMsg& msg, int32_t statement, bool& pst, bool& gst) {
  // The single-value call gives the first column only: the two flags are
  // read from the statement's one-row result instead.
  pst = gst = false;
  msg.Clear();
  BucketHold row;
  AcqDb::AppendDbCmd(kStatementTaxFlags);
  AcqDb::AppendDbCmd(Key(statement));
  if (const DbCode code = AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, row.get(), 1, 1, 0);
      code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*row) >= 1 && _BktGetNCols(*row) == 2) {
    pst = _ColGetInt(*row, 1, 1) != 0;
    gst = _ColGetInt(*row, 1, 2) != 0;
  }
  return true;
}

bool GetPoCurrency(DbMsg& msg, int32_t po, std::string& currency) {
  return ExecText(msg, kCurrencyText, Key(po), kGetPoCurrency, currency);
}
bool GetStatementCurrency(DbMsg& msg, int32_t statement, std::string& currency) {
  return ExecText(msg, kCurrencyText, Key(statement), kGetStatementCurrency, currency);
}
bool GetVendorCurrency(DbMsg& msg, int32_t vendor, std::string& currency) {
  return ExecText(msg, kCurrencyText, Key(vendor), kGetVendorCurrency, currency);
}
bool GetVouchCurrency(DbMsg& msg, int32_t voucher, std::string& currency) {
  return ExecText(msg, kCurrencyText, Key(voucher), kGetVouchCurrency, currency);
}
bool GetVendorName(DbMsg& msg, int32_t vendor, std::string& name) {
  return ExecText(msg, kNameText, Key(vendor), kGetVendorName, name);
}
bool GetVouchVendName(DbMsg& msg, int32_t voucher, std::string& name) {
  return ExecText(msg, kNameText, Key(voucher), kGetVouchVendName, name);
}
bool GetPoVendName(DbMsg& msg, int32_t po, std::string& name, size_t bufferBytes) {
  return ExecText(msg, bufferBytes, Key(po), kGetPoVendName, name);
}
bool GetStatementVendName(DbMsg& msg, int32_t statement, std::string& name, size_t bufferBytes) {
  return ExecText(msg, bufferBytes, Key(statement), kGetStatementVendName, name);
}
bool GetCustNumber(DbMsg& msg, int32_t vendor, std::string_view location, std::string& number) {
  return ExecText(msg, kNumberText, Args({Key(vendor), Quoted(location)}), kGetCustNumber, number);
}
bool GetVendorSanSuffix(DbMsg& msg, int32_t vendor, std::string_view contract,
                        std::string& suffix) {
  return ExecText(msg, kNumberText, Args({Key(vendor), Quoted(contract)}), kGetVendorSanSuffix,
                  suffix);
}
bool GetVendorCustNumber(DbMsg& msg, int32_t vendor, std::string& number) {
  return ExecText(msg, kNumberText, Key(vendor), kGetVendorCustNumber, number);
}
bool GetVendorCurrencyDescr(DbMsg& msg, int32_t vendor, std::string& descr) {
  return ExecText(msg, kNumberText, Key(vendor), kGetVendorCurrencyDescr, descr);
}
bool GetVendorGstNumber(DbMsg& msg, int32_t vendor, std::string& number) {
  return ExecText(msg, kGstNumberText, Key(vendor), kGetVendorGstNumber, number);
}

bool GetPoVendor(DbMsg& msg, int32_t po, int32_t& vendor) {
  return ExecNumber(msg, "", kVendorOfPo + Key(po), vendor);
}
bool GetPoNumber(DbMsg& msg, int32_t po, std::string& number) {
  return ExecText(msg, kShortText, "", kNumberOfPo + Key(po), number);
}
bool FindPoByNumber(DbMsg& msg, std::string_view number, int32_t& po) {
  // The head opens the literal; the quoted number supplies its text and the
  // closing quote.
  return ExecNumber(msg, "", kPoOfNumber + Quoted(number).substr(1), po);
}
bool GetPoLineBib(DbMsg& msg, int32_t po, int16_t line, int32_t& bib) {
  return ExecNumber(msg, "", kBibOfPoLine + Key(po) + kAndLine + Key16(line), bib);
}
bool GetPoLineMediaType(DbMsg& msg, int32_t po, int16_t line, std::string& mediaType) {
  return ExecText(msg, kShortText, "", kMediaTypeOfPoLine + Key(po) + kAndLine + Key16(line),
                  mediaType);
}
bool GetStatementNumber(DbMsg& msg, int32_t statement, std::string& number) {
  return ExecText(msg, kShortText, "", kNumberOfStatement + Key(statement), number);
}
bool GetStatementVendor(DbMsg& msg, int32_t statement, int32_t& vendor) {
  return ExecNumber(msg, "", kVendorOfStatement + Key(statement), vendor);
}
bool CountStatementMoneyRows(DbMsg& msg, int32_t statement, int32_t& count) {
  return ExecNumber(msg, "", kMoneyRowsOfStatement + Key(statement), count);
}
bool CountPoVendors(DbMsg& msg, const std::vector<int32_t>& pos, int32_t& count) {
  return ExecNumber(msg, "", kVendorsOfPos + KeyList(pos) + ")", count);
}
bool GetCopyAcqControlled(DbMsg& msg, int32_t copy, bool& controlled) {
  uint8_t flag = 0;
  const bool ok = ExecNumber(msg, "", kCopyAcqControlled + Key(copy), flag);
  controlled = flag != 0;
  return ok;
}
bool GetCopyAcqStatus(DbMsg& msg, int32_t copy, uint8_t& status) {
  return ExecNumber(msg, "", kCopyAcqStatus + Key(copy), status);
}
bool GetVendorEnhancedServices(DbMsg& msg, int32_t vendor, bool& enhanced) {
  uint8_t flag = 0;
  const bool ok = ExecNumber(msg, "", kVendorEnhanced + Key(vendor), flag);
  enhanced = flag != 0;
  return ok;
}
bool GetContractEnhancedServices(DbMsg& msg, int32_t vendor, std::string_view contract,
                                 bool& enhanced) {
  uint8_t flag = 0;
  const bool ok = ExecNumber(
      msg, "", kContractEnhanced + Key(vendor) + " and vendor_contract=" + Quoted(contract), flag);
  enhanced = flag != 0;
  return ok;
}

// ---- 3. result sets --------------------------------------------------------------------------

DbCode GetVoucherPoDetails(DbMsg& msg, int32_t voucher, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(voucher), kGetVoucherPoDetails);
}
DbCode GetVendorMinimums(DbMsg& msg, int32_t vendor, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(vendor), kGetVendorMinimums);
}
DbCode PoChangePrint(DbMsg& msg, int32_t po, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(po), kPoChangePrint);
}
DbCode PoClaimPrint(DbMsg& msg, int32_t po, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(po), kPoClaimPrint);
}
DbCode GetPoLineQuantityPrice(DbMsg& msg, int32_t po, int16_t line,
                              std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Args({Key(po), Key16(line)}), kGetPoLineQuantityPrice);
}
DbCode GetPoLineExtraLocation(DbMsg& msg, int32_t po, int16_t line,
                              std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Args({Key(po), Key16(line)}), kGetPoLineExtraLocation);
}
DbCode GetStatementNewVoucher(DbMsg& msg, int32_t statement, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(statement), kGetStatementNewVoucher);
}
DbCode GetVoucher(DbMsg& msg, int32_t voucher, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(voucher), kGetVoucher);
}
DbCode GetVoucherCredits(DbMsg& msg, int32_t voucher, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(voucher), kGetVoucherCredits);
}
DbCode GetNewVoucherCredits(DbMsg& msg, int32_t statement, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(statement), kGetNewVoucherCredits);
}
DbCode GetClaimsReview(DbMsg& msg, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, "", kGetClaimsReview);
}
DbCode FillPoLineDisplay(DbMsg& msg, int32_t po, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Key(po), kFillPoLineDisplay);
}
DbCode ReloadLinePoLineDisplay(DbMsg& msg, int32_t po, int16_t line,
                               std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, Args({Key(po), Key16(line)}), kReloadLinePoLineDisplay);
}
DbCode GetApprovalPoLineDisplay(DbMsg& msg, std::vector<BktHandle>& bkts) {
  return AcqDb::MultLoad(msg, bkts, "", kApprovalPoLineDisplay);
}

DbCode GetAmountXrateFromPoLine(DbMsg& msg, int32_t po, int16_t line, Dec64& amount,
                                Dec64& rate) {
  amount = Dec64{};
  rate = Dec64::FromInt(1);
  std::vector<BktHandle> sets;
  const DbCode code =
      AcqDb::MultLoad(msg, sets, Args({Key(po), Key16(line)}), kGetAmountXrateFromPoLine);
  if (code == kDbOk && !sets.empty() && _BktCountAll(sets[0]) >= 1) {
    amount = _ColGetDec64(sets[0], 1, 1);
    rate = _ColGetDec64(sets[0], 1, 2);
  }
  for (BktHandle& set : sets) _BktDestroy(&set);
  return code;
}

DbCode GetTypeXrateFromStatement(DbMsg& msg, int32_t statement, uint8_t& type, Dec64& rate) {
  type = 0;
  rate = Dec64::FromInt(1);
  std::vector<BktHandle> sets;
  const DbCode code = AcqDb::MultLoad(msg, sets, Key(statement), kGetTypeXrateFromStatement);
  if (code == kDbOk && !sets.empty() && _BktCountAll(sets[0]) >= 1) {
    type = static_cast<uint8_t>(_ColGetInt(sets[0], 1, 1));
    rate = _ColGetDec64(sets[0], 1, 2);
  }
  for (BktHandle& set : sets) _BktDestroy(&set);
  return code;
}

// ---- 4. command text -------------------------------------------------------------------------

DbCode LoadByYears(DbMsg& msg, std::string_view procedure, std::optional<int16_t> first,
                   std::optional<int16_t> second, BktHandle& bkt) {
  return LoadProcedureCmd(msg, procedure, {Plain(OrNull(first)), Plain(OrNull(second))},
                          bkt);
}
DbCode LoadTitlesByBudget(DbMsg& msg, std::string_view budget, BktHandle& bkt) {
  return LoadProcedureCmd(msg, kLoadTitlesByBudget, {Text(budget)}, bkt);
}
DbCode LoadTitlesByBudgetOnOrder(DbMsg& msg, std::string_view budget, BktHandle& bkt) {
  return LoadProcedureCmd(msg, kLoadTitlesByBudgetOnOrder, {Text(budget)}, bkt);
}
DbCode LoadTitlesByVendor(DbMsg& msg, int32_t vendor, BktHandle& bkt) {
  return LoadProcedureCmd(msg, kLoadTitlesByVendor, {Plain(Key(vendor))}, bkt);
}
DbCode LoadTitlesByVendorContract(DbMsg& msg, int32_t vendor, std::string_view contract,
                                  BktHandle& bkt) {
  return LoadProcedureCmd(msg, kLoadTitlesByVendorContract, {Plain(Key(vendor)), Text(contract)},
                          bkt);
}

// ---- 5. table loads --------------------------------------------------------------------------

DbCode LoadStatementAmountRemaining(DbMsg& msg, int32_t statement, BktHandle& bkt) {
  return LoadNew(msg, "amount_remaining", names::statement, "statement#=" + Key(statement), "",
                 bkt);
}
DbCode LoadStatementLinks(DbMsg& msg, int32_t statement, BktHandle& bkt) {
  return LoadNew(msg, "*", names::statement_linker,
                 "invoice_statement#=" + Key(statement) + " or credit_statement#=" + Key(statement),
                 "invoice_statement#,credit_statement#", bkt);
}
DbCode ReloadPoLineItems(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt) {
  return AcqDb::LoadTableReplace(msg, ClearChanges::Yes, "item", PoLineKey(po, line), "*",
                                 names::po_line_item, bkt);
}
DbCode LoadPoLineItemBudgets(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt) {
  return LoadNew(msg, "*", names::po_line_item_budget, PoLineKey(po, line), "item,budget", bkt);
}
DbCode LoadPoTemplate(DbMsg& msg, std::string_view templateName, BktHandle& bkt) {
  return LoadNew(msg, "*", names::po_template, "po_template=" + Quoted(templateName), "", bkt);
}
DbCode LoadBudget(DbMsg& msg, std::string_view budget, BktHandle& bkt) {
  return LoadNew(msg, "*", names::budget, "budget=" + Quoted(budget), "", bkt);
}
DbCode LoadAddresses(DbMsg& msg, std::string_view location, BktHandle& bkt) {
  return LoadNew(msg, "*", names::address, "location=" + Quoted(location), "address_code", bkt);
}
DbCode LoadAccount(DbMsg& msg, std::string_view account, BktHandle& bkt) {
  return LoadNew(msg, "*", names::account, "account=" + Quoted(account), "", bkt);
}
DbCode LoadVendor(DbMsg& msg, int32_t vendor, BktHandle& bkt) {
  return LoadNew(msg, "*", names::vendor, "vendor#=" + Key(vendor), "", bkt);
}
DbCode LoadVendorAddresses(DbMsg& msg, int32_t vendor, BktHandle& bkt) {
  return LoadNew(msg, "*", names::vendor_address, "vendor#=" + Key(vendor), "address_code", bkt);
}
DbCode LoadSubscriptionPeriod(DbMsg& msg, std::string_view period, BktHandle& bkt) {
  return LoadNew(msg, "*", names::subscription_period, "subscription_period=" + Quoted(period), "",
                 bkt);
}
DbCode LoadCopiesOfBib(DbMsg& msg, int32_t bib, BktHandle& bkt) {
  return LoadNew(msg, "bib#,copy#,acq_status,acq_controlled", names::copy, "bib#=" + Key(bib),
                 "copy#", bkt);
}
DbCode LoadPrDistribution(DbMsg& msg, int32_t pr, BktHandle& bkt) {
  return LoadNew(msg, "quantity,location,collection,itype,budget,call_number",
                 names::pr_distribution, "pr#=" + Key(pr), "line", bkt);
}
DbCode LoadBorrowerName(DbMsg& msg, int32_t borrower, BktHandle& bkt) {
  return LoadNew(msg, "name,reconst", names::borrower, "borrower#=" + Key(borrower), "", bkt);
}
DbCode LoadBudgetCode(DbMsg& msg, std::string_view budget, BktHandle& bkt) {
  return LoadNew(msg, "descr,acct_ref", names::budget_code, "budget=" + Quoted(budget), "", bkt);
}
DbCode LoadContractWithVendor(DbMsg& msg, int32_t vendor, std::string_view contract,
                              BktHandle& bkt) {
  return LoadNew(msg, "descr,name,amount", names::vendor_contract_with_vendor,
                 "vendor#=" + Key(vendor) + " and vendor_contract=" + Quoted(contract), "", bkt);
}
DbCode LoadVendorCodes(DbMsg& msg, int32_t vendor, BktHandle& bkt) {
  return LoadNew(msg, "ean_gln,san", names::vendor, "vendor#=" + Key(vendor), "", bkt);
}
DbCode LoadAddressLocations(DbMsg& msg, BktHandle& bkt) {
  return LoadNew(msg, "distinct location", names::address, "", "location", bkt);
}
DbCode LoadProratedChargeTotals(DbMsg& msg, int32_t statement, BktHandle& bkt) {
  // The grouping rides on the where clause: the session appends it as written.
  return LoadNew(msg, "extra_charge_type,amount=sum(amount)", names::po_line_item_budget_amount,
                 "statement#=" + Key(statement) +
                     " and extra_charge_type IS NOT NULL group by extra_charge_type",
                 "extra_charge_type", bkt);
}
DbCode LoadExtraChargeTypes(DbMsg& msg, BktHandle& bkt) {
  return LoadNew(msg, "extra_charge_type,descr", names::extra_charge_type, "",
                 "extra_charge_type", bkt);
}
DbCode LoadItem(DbMsg& msg, int32_t item, BktHandle& bkt) {
  return LoadNew(msg, "item#,ibarcode,location,collection,call,call_reconst,itype", names::item,
                 "item#=" + Key(item), "", bkt);
}
DbCode LoadItemsToApprove(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt) {
  return LoadNew(msg, "po#,line,item,approve_date", names::po_line_item,
                 PoLineKey(po, line) + " and approve_date IS NULL", "item", bkt);
}
DbCode LoadPoLineItemSplits(DbMsg& msg, int32_t po, int16_t line, BktHandle& bkt) {
  return LoadNew(msg, "po#,line,item,budget,percentage,budget_split=convert(varchar(255),null)",
                 names::po_line_item_budget, PoLineKey(po, line), "item,budget", bkt);
}
DbCode LoadPatternAccounts(DbMsg& msg, BktHandle& bkt) {
  // The pattern rows name budgets ("account.year"); the account is the part
  // before the full stop.
  return LoadNew(msg, "distinct po_line_pattern#, account=substr(budget,1,instr(budget,'.')-1)",
                 names::po_line_item_budget_pattern, "", "po_line_pattern#", bkt);
}
DbCode LoadApprovalPoLines(DbMsg& msg, int32_t po, BktHandle& bkt) {
  return LoadNew(msg, "*", names::approval_po_line_display, po > 0 ? "po#=" + Key(po) : "",
                 "po#,line", bkt);
}
DbCode LoadStatementsToApprove(DbMsg& msg, BktHandle& bkt) {
  return LoadNew(msg, "*", names::approve_statement, "", "statement#", bkt);
}
DbCode LoadTemplatesWithVendor(DbMsg& msg, BktHandle& bkt) {
  return LoadNew(msg, "*", names::po_template_with_vendor, "", "po_template", bkt);
}
DbCode LoadStatementMoneyLines(DbMsg& msg, int32_t statement, BktHandle& bkt) {
  return LoadNew(msg,
                 "statement#,statement_line,statement_line_type,extra_charge_type,"
                 "amount=sum(amount),exchange_rate,spent=convert(bit,spent_tinyint)",
                 names::poliba_bandaid,
                 "statement#=" + Key(statement) +
                     " group by statement#,statement_line,statement_line_type,"
                     "extra_charge_type,exchange_rate,spent_tinyint",
                 "statement_line,extra_charge_type", bkt);
}

DbCode LoadMessageSegments(DbMsg& msg, int32_t edifact, int32_t message, BktHandle& bkt) {
  AcqDb::AppendDbCmd("select * from edifact_segment where edifact#=");
  AcqDb::AppendDbCmd(Key(edifact));
  AcqDb::AppendDbCmd(" and message#=");
  AcqDb::AppendDbCmd(Key(message));
  AcqDb::AppendDbCmd(" order by segment#");
  AcqDb::AppendDbCmd(kForBrowse);
  return AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, bkt, 32, 32, 0);
}

DbCode LoadOpenPoLineItems(DbMsg& msg, int32_t po, int16_t line, bool unanswered,
                           BktHandle& bkt) {
  AcqDb::AppendDbCmd("select * from po_line_item where ");
  AcqDb::AppendDbCmd(PoLineKey(po, line));
  AcqDb::AppendDbCmd(" and cancel_date IS NULL");
  if (unanswered) AcqDb::AppendDbCmd(" and response_date IS NULL");
  AcqDb::AppendDbCmd(" order by item");
  AcqDb::AppendDbCmd(kForBrowse);
  return AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, bkt, 8, 8, 0);
}

DbCode LoadImportAcq(DbMsg& msg, int32_t key, BktHandle& bkt) {
  const DbCode code = LoadNew(msg, "*", names::import_acq, "import_acq#=" + Key(key), "", bkt);
  if (code == kDbOk && _BktCountAll(bkt) == 0) KtSystem_Error1(kNoImportRow, Key(key));
  return code;
}

// ---- writes ----------------------------------------------------------------------------------

DbCode SavePoLineItems(const ReloadPoLine& reload, const ExtraSaveStep& extraStep,
                       BktHandle poLine, BktHandle items) {
  // A failed attempt may have saved some rows (their flags cleared, new rows
  // made existing) before the rollback undid them: each retry starts from
  // the Buckets as they were, so it writes what the first attempt wrote.
  BucketHold lineCopy(AcqGlobal::SnapshotBkt(poLine));
  BucketHold itemsCopy(AcqGlobal::SnapshotBkt(items));
  auto attempt = [&](DbMsg& msg) { return SaveItemsOnce(msg, extraStep, poLine, items); };
  auto beforeRetry = [&] {
    AcqGlobal::RestoreBkt(items, *itemsCopy);
    AcqGlobal::RestoreBkt(poLine, *lineCopy);
    return !reload || reload(poLine);
  };
  return AcqDbBase::SaveWithCodeRetry(kSaveAttempts, attempt, beforeRetry);
}

bool SaveEdifactInterchange(BktHandle interchange, BktHandle messages, BktHandle segments,
                            BktHandle exceptions, bool exceptionsOnly) {
  return InOwnTransaction([&](DbMsg& msg) {
    DbCode code = kDbOk;
    if (!exceptionsOnly) {
      code = InsertAll(msg, interchange, names::edifact_interchange);
      if (code == kDbOk) code = InsertAll(msg, messages, names::edifact_message);
      if (code == kDbOk) code = InsertAll(msg, segments, names::edifact_segment);
    }
    if (code == kDbOk) code = InsertAll(msg, exceptions, names::edifact_exception);
    return code;
  });
}

// The database refuses a statement that is not approved or has no spent
// money left to pay (result 0): then nothing is kept, not even the key,
// `voucher` stays 0 and the result is still true (no failure: the caller
// says why). Refused likewise when another workstation vouchered the
// statement first. A write conflict runs the whole attempt again.
bool CreateStatementVoucher(int32_t statement, int32_t& voucher) {
  voucher = 0;
  for (int attempt = 1;; ++attempt) {
    AcqDbBase::TransactionHold hold;
    DbMsg msg;
    int32_t key = 0;
    uint8_t result = 0;
    DbCode code = _DbGetNewKeyValidate(AcqDbGlobal::Session(), "voucher", "voucher", "voucher#",
                                       key, msg);
    if (code == kDbOk)
      code = AcqDb::ExecSP(msg, &result, sizeof result, Args({Key(statement), Key(key)}),
                           kCreateStatementVoucher);
    if (code != kDbOk) {
      hold.Rollback();
      if ((code == kDbBusy || code == kDbLocked) && attempt < kSaveAttempts) continue;
      HandleDbError(msg, code);
      return false;
    }
    if (result == 0) {
      hold.Rollback();
      return true;
    }
    if (!hold.Commit()) return false;
    voucher = key;
    return true;
  }
}

bool PrintPoUpdateDb(int32_t po, uint8_t& result) {
  return UpdateProcedure(kPrintPoUpdateDb, po, result);
}
bool PrintChangePoUpdateDb(int32_t po, uint8_t& result) {
  return UpdateProcedure(kPrintChangePoUpdateDb, po, result);
}
bool PrintClaimUpdateDb(int32_t po, uint8_t& result) {
  return UpdateProcedure(kPrintClaimUpdateDb, po, result);
}
bool PrintVouchToItemUpdate(int32_t voucher, uint8_t& result) {
  return UpdateProcedure(kPrintVouchToItemUpdate, voucher, result);
}
bool VoidVoucher(int32_t voucher, uint8_t& result) {
  return UpdateProcedure(kVoidVoucher, voucher, result);
}
bool UndoOrder(int32_t po, uint8_t& result) { return UpdateProcedure(kUndoOrder, po, result); }

bool DeleteBudgetHierarchies() {
  return InOwnTransaction([](DbMsg& msg) {
    int32_t rows = 0;
    return AcqDb::ExecSP(msg, &rows, sizeof rows, "", kDeleteBudgetHierarchy);
  });
}

bool UpdateWorkslipBatch(int row, BktHandle bkt) {
  return RowWrite(&AcqDb::UpdateRow, row, bkt, names::workslip_batch);
}
bool DeleteWorkslipBatch(int row, BktHandle bkt) {
  return RowWrite(&AcqDb::DeleteRow, row, bkt, names::workslip_batch);
}
bool UpdateWorkslipBatchItem(int row, BktHandle bkt) {
  return RowWrite(&AcqDb::UpdateRow, row, bkt, names::workslip_batch_po_line_item);
}
bool DeleteWorkslipBatchItem(int row, BktHandle bkt) {
  return RowWrite(&AcqDb::DeleteRow, row, bkt, names::workslip_batch_po_line_item);
}

// ---- key lists -------------------------------------------------------------------------------

std::string KeyList(BktHandle bkt, int col, const std::vector<int>& rows) {
  std::vector<int32_t> keys;
  keys.reserve(rows.size());
  for (int row : rows) keys.push_back(_ColGetInt(bkt, row, col));
  return KeyList(keys);
}

std::string KeyList(const std::vector<int32_t>& keys) {
  // An empty list matches nothing rather than breaking the statement.
  if (keys.empty()) return "NULL";
  std::string list;
  for (int32_t key : keys) {
    if (!list.empty()) list += ",";
    list += Key(key);
  }
  return list;
}

std::string ItemInClause(BktHandle bkt, int itemCol, const std::vector<int>& rows) {
  return " where item in(" + KeyList(bkt, itemCol, rows) + ")and";
}

std::string PoLineWhere(BktHandle bkt, int poCol, int lineCol, const std::vector<int>& rows) {
  if (rows.empty()) return " where 1=0";
  std::string where = " where";
  for (size_t n = 0; n < rows.size(); ++n) {
    if (n > 0) where += " or";
    where += " (po#=" + Key(_ColGetInt(bkt, rows[n], poCol)) + kAndLine +
             Key(_ColGetInt(bkt, rows[n], lineCol)) + ")";
  }
  return where;
}

void AppendItemInClause(BktHandle bkt, int itemCol, const std::vector<int>& rows) {
  AcqDb::AppendDbCmd(ItemInClause(bkt, itemCol, rows));
}

void AppendPoLineWhere(BktHandle bkt, int poCol, int lineCol, const std::vector<int>& rows) {
  AcqDb::AppendDbCmd(PoLineWhere(bkt, poCol, lineCol, rows));
}

}  // namespace acq::AcqDbGen

// Nothing to set up at start-up: the library keeps no state of its own.
ACQ_UNIT_EMPTY(AcqDbGen)

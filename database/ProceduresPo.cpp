// Stored procedures of purchase orders: existence tests on POs, lines and
// items, PO and line totals, the per-line display columns of the PO window,
// renewal lookups, title lists by vendor, and the counts of catalogue
// records that decide whether an order's bibliographic record may go.
//
// Money: amounts of po_line_item_budget_amount in the PO's currency, in
// millionths; sums stay integers. An item is cancelled when cancel_date is
// set; a cancel removes its price rows (and reverses its extra charges), so
// what stays is invoiced money, which money sums count as they should.
#include <string>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kPo{'k', "po#"};
const Arg kLine{'k', "line"};
const Arg kItemOrNull{'n', "item"};

// Items of the PO line ?1, ?2, limited to item ?3 when that is not NULL.
#define ITEM_OF_ARGS(alias) \
  alias "\"po#\" = ?1 AND " alias "line = ?2 AND (CAST(?3 AS INTEGER) IS NULL OR " alias "item = ?3)"

// An item has activity when any of these dates is set (approval alone is none).
#define ITEM_ACTIVITY(alias)                                                           \
  "(" alias "cancel_date IS NOT NULL OR " alias "invoice_date IS NOT NULL OR " alias \
  "order_date IS NOT NULL OR " alias "printed_date IS NOT NULL OR " alias           \
  "receive_date IS NOT NULL OR " alias "renew_activity_date IS NOT NULL)"

// Items of the line pl not cancelled: the quantity its price counts.
#define LIVE_ITEMS_OF_PL                                                        \
  "(SELECT count(*) FROM po_line_item q WHERE q.\"po#\" = pl.\"po#\" AND "  \
  "q.line = pl.line AND q.cancel_date IS NULL)"

// The display columns of the PO window's lines, for the lines `where` picks
// (a condition on alias "pl."). The money rows and the items are each read
// in one grouped pass over the same lines, not once per column and line:
// the PO window of a 1,000-line PO pays for two passes, not 11,000 lookups.
std::string LineDisplaySql(const std::string& where) {
  auto on = [&where](const char* alias) {
    std::string w = where;
    for (size_t at = 0; (at = w.find("pl.", at)) != std::string::npos; at += 2)
      w.replace(at, 3, std::string(alias) + ".");
    return w;
  };
  auto money = [](const char* condition, const char* name) {
    return std::string("sum(CASE WHEN ") + condition + " THEN m.amount END) AS " + name;
  };
  auto count = [](const char* condition, const char* name) {
    return std::string("sum(CASE WHEN ") + condition + " THEN 1 ELSE 0 END) AS " + name;
  };
  const std::string moneyRows =
      "SELECT m.\"po#\", m.line, " + money("m.\"statement#\" IS NOT NULL", "total_amount") + ", " +
      money("m.extra_charge_type IS NOT NULL", "extra_charge") + ", " +
      money("m.\"statement#\" IS NOT NULL AND m.extra_charge_type IS NULL", "item_amount") + ", " +
      money("m.spent = 0", "on_order") + ", " + money("m.spent = 1", "spent") +
      " FROM po_line_item_budget_amount m WHERE " + on("m") + " GROUP BY m.\"po#\", m.line";
  const std::string items =
      "SELECT i.\"po#\", i.line, " + count("i.cancel_date IS NULL", "live") + ", " +
      count("i.approve_date IS NOT NULL", "approved") + ", " +
      count("i.order_date IS NOT NULL", "ordered") + ", " +
      // What the window shows is what happened to the items, whether or not
      // the PO was printed as an order yet (the line counts of the
      // statistics count ordered items only).
      count("i.receive_date IS NOT NULL", "received") + ", " +
      count("i.invoice_date IS NOT NULL", "invoiced") + ", " +
      count("i.cancel_date IS NOT NULL", "cancelled") + " FROM po_line_item i WHERE " + on("i") +
      " GROUP BY i.\"po#\", i.line";
  return "SELECT pl.\"po#\", pl.line, pl.unit_price * coalesce(it.live, 0) AS extended_price, "
         "mr.total_amount, mr.extra_charge, mr.item_amount, mr.on_order, mr.spent, "
         "coalesce(it.approved, 0) AS approved, coalesce(it.ordered, 0) AS ordered, "
         "coalesce(it.received, 0) AS received, coalesce(it.invoiced, 0) AS invoiced, "
         "coalesce(it.cancelled, 0) AS cancelled FROM po_line pl "
         "LEFT JOIN (" + moneyRows + ") mr ON mr.\"po#\" = pl.\"po#\" AND mr.line = pl.line "
         "LEFT JOIN (" + items + ") it ON it.\"po#\" = pl.\"po#\" AND it.line = pl.line "
         "WHERE " + where + " ORDER BY pl.line";
}

const std::vector<ColumnType> kLineDisplayTypes = {
    {"extended_price", "DEC64"}, {"total_amount", "DEC64"}, {"extra_charge", "DEC64"},
    {"item_amount", "DEC64"},    {"on_order", "DEC64"},     {"spent", "DEC64"},
    {"approved", "SMALLINT"},    {"ordered", "SMALLINT"},   {"received", "SMALLINT"},
    {"invoiced", "SMALLINT"},    {"cancelled", "SMALLINT"}};

// Titles of a vendor's POs (of one contract when ?2 is given).
#define TITLES_OF_VENDOR(contractCondition)                                               \
  "SELECT pl.\"po#\", p.po_number, pl.line, pl.title, pl.author, pl.isbn, pl.issn, "    \
  "p.currency, p.vendor_contract, pl.unit_price, " LIVE_ITEMS_OF_PL " AS quantity, "     \
  "pl.unit_price * " LIVE_ITEMS_OF_PL " AS extended_price "                              \
  "FROM po_line pl JOIN po p ON p.\"po#\" = pl.\"po#\" "                                 \
  "WHERE p.\"vendor#\" = ?1" contractCondition " ORDER BY pl.\"po#\", pl.line"

const std::vector<ColumnType> kTitleTypes = {{"quantity", "SMALLINT"},
                                             {"extended_price", "DEC64"}};

void RegisterExistenceTests() {
  RegisterSql("exist_po_statement", {kPo},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount "
                "WHERE \"po#\" = ?1 AND \"statement#\" IS NOT NULL) "
                "OR EXISTS (SELECT 1 FROM statement_line WHERE \"po#\" = ?1) AS found"}});
  RegisterSql("exist_po_voucher", {kPo},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount "
                "WHERE \"po#\" = ?1 AND \"voucher#\" IS NOT NULL) AS found"}});
  // A statement counts for the PO through its money rows, its lines, or as
  // the statement that prepaid the PO.
  RegisterSql("exists_approved_statement", {kPo},
              {{"SELECT EXISTS (SELECT 1 FROM statement s WHERE s.approve_date IS NOT NULL AND ("
                "EXISTS (SELECT 1 FROM po_line_item_budget_amount m "
                "WHERE m.\"statement#\" = s.\"statement#\" AND m.\"po#\" = ?1) "
                "OR EXISTS (SELECT 1 FROM statement_line l "
                "WHERE l.\"statement#\" = s.\"statement#\" AND l.\"po#\" = ?1) "
                "OR s.\"statement#\" = (SELECT p.\"prepaid_statement#\" FROM po p "
                "WHERE p.\"po#\" = ?1))) AS found"}});
  // A line of the PO has been renewed: it names its new line, or its items
  // were renewed.
  RegisterSql("exists_po_renewal", {kPo},
              {{"SELECT EXISTS (SELECT 1 FROM po_line WHERE \"po#\" = ?1 AND renew_line IS NOT NULL) "
                "OR EXISTS (SELECT 1 FROM po_line_item WHERE \"po#\" = ?1 "
                "AND renew_activity_type = 'renew') AS found"}});
  // 1: some item has activity or vouchered money (it may not be deleted);
  // 2: else some item was created by renewal; 0: neither. Item NULL asks
  // for the whole line.
  RegisterSql("exists_po_line_item_activity", {kPo, kLine, kItemOrNull},
              {{"SELECT CASE WHEN EXISTS (SELECT 1 FROM po_line_item i WHERE " ITEM_OF_ARGS("i.")
                " AND " ITEM_ACTIVITY("i.") ") "
                "OR EXISTS (SELECT 1 FROM po_line_item_budget_amount m WHERE " ITEM_OF_ARGS("m.")
                " AND m.\"voucher#\" IS NOT NULL) THEN 1 "
                "WHEN EXISTS (SELECT 1 FROM po_line_item i WHERE " ITEM_OF_ARGS("i.")
                " AND i.renew_item IS NOT NULL) THEN 2 ELSE 0 END AS activity",
                {{"activity", "TINYINT"}}}});
  RegisterSql("exists_po_line_item_statement", {kPo, kLine, kItemOrNull},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount m WHERE " ITEM_OF_ARGS("m.")
                " AND m.\"statement#\" IS NOT NULL) AS found"}});
  RegisterSql("exists_po_line_item_voucher", {kPo, kLine, kItemOrNull},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount m WHERE " ITEM_OF_ARGS("m.")
                " AND m.\"voucher#\" IS NOT NULL) AS found"}});
  RegisterSql("exists_po_line_voucher", {kPo, kLine},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount "
                "WHERE \"po#\" = ?1 AND line = ?2 AND \"voucher#\" IS NOT NULL) AS found"}});
  RegisterSql("exist_po_line_items", {kPo, kLine},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item WHERE \"po#\" = ?1 AND line = ?2) "
                "AS found"}});
  RegisterSql("exists_pr_distribution", {{'k', "pr#"}},
              {{"SELECT EXISTS (SELECT 1 FROM pr_distribution WHERE \"pr#\" = ?1) AS found"}});
  // A line is complete when it has items and each is cancelled, or both
  // received and invoiced.
  RegisterSql("is_bib_on_incomplete_po_line", {{'k', "bib#"}},
              {{"SELECT EXISTS (SELECT 1 FROM po_line pl WHERE pl.\"bib#\" = ?1 AND ("
                "NOT EXISTS (SELECT 1 FROM po_line_item i "
                "WHERE i.\"po#\" = pl.\"po#\" AND i.line = pl.line) "
                "OR EXISTS (SELECT 1 FROM po_line_item i "
                "WHERE i.\"po#\" = pl.\"po#\" AND i.line = pl.line AND i.cancel_date IS NULL "
                "AND (i.receive_date IS NULL OR i.invoice_date IS NULL)))) AS incomplete"}});
  // The line awaits an order response: some item is ordered, and neither
  // received, cancelled nor answered yet.
  RegisterSql("check_for_order_response", {kPo, kLine},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item WHERE \"po#\" = ?1 AND line = ?2 "
                "AND order_date IS NOT NULL AND receive_date IS NULL AND cancel_date IS NULL "
                "AND response_date IS NULL) AS awaiting"}});
  RegisterSql("polis_approved_for_po_line", {kPo, kLine},
              {{"SELECT NOT EXISTS (SELECT 1 FROM po_line_item WHERE \"po#\" = ?1 AND line = ?2 "
                "AND approve_date IS NULL) AS approved"}});
  RegisterSql("polis_all_approved", {},
              {{"SELECT NOT EXISTS (SELECT 1 FROM po_line_item WHERE approve_date IS NULL) "
                "AS approved"}});
  // Every live item pays from one budget, or from split rows adding up to 100.
  RegisterSql("verify_budgets_for_po_line", {kPo, kLine},
              {{"SELECT NOT EXISTS (SELECT 1 FROM po_line_item i WHERE i.\"po#\" = ?1 "
                "AND i.line = ?2 AND i.cancel_date IS NULL AND NOT ("
                "(i.budget IS NOT NULL AND i.budget_split IS NULL) OR (i.budget IS NULL AND "
                "coalesce((SELECT sum(b.percentage) FROM po_line_item_budget b WHERE b.\"po#\" = i.\"po#\" "
                "AND b.line = i.line AND b.item = i.item), 0) = 100))) AS verified"}});
}

void RegisterTotals() {
  const std::vector<ColumnType> amount = {{"amount", "DEC64"}};
  RegisterSql("get_po_total_invoiced", {kPo},
              {{"SELECT coalesce(sum(amount), 0) AS amount FROM po_line_item_budget_amount "
                "WHERE \"po#\" = ?1 AND \"statement#\" IS NOT NULL AND extra_charge_type IS NULL",
                amount}});
  RegisterSql("get_po_total_on_order", {kPo},
              {{"SELECT coalesce(sum(amount), 0) AS amount FROM po_line_item_budget_amount "
                "WHERE \"po#\" = ?1 AND spent = 0",
                amount}});
  RegisterSql("get_po_total_spent", {kPo},
              {{"SELECT coalesce(sum(amount), 0) AS amount FROM po_line_item_budget_amount "
                "WHERE \"po#\" = ?1 AND spent = 1",
                amount}});
  RegisterSql("get_po_total_price", {kPo},
              {{"SELECT coalesce(sum(pl.unit_price * " LIVE_ITEMS_OF_PL "), 0) AS amount "
                "FROM po_line pl WHERE pl.\"po#\" = ?1",
                amount}});
  RegisterSql("get_po_total_stated_invoice", {kPo},
              {{"SELECT coalesce(sum(amount), 0) AS amount FROM statement_line WHERE \"po#\" = ?1",
                amount}});
  RegisterSql("fill_po_line_display", {kPo},
              {{LineDisplaySql("pl.\"po#\" = ?1"), kLineDisplayTypes}});
  RegisterSql("reload_line_po_line_display", {kPo, kLine},
              {{LineDisplaySql("pl.\"po#\" = ?1 AND pl.line = ?2"), kLineDisplayTypes}});
}

void RegisterLineLookups() {
  RegisterSql("get_new_po_line", {kPo},
              {{"SELECT coalesce(max(line), 0) + 1 AS line FROM po_line WHERE \"po#\" = ?1",
                {{"line", "SMALLINT"}}}});
  // The line a renewed line went to: on the PO's renewal order (renewal
  // type 1) or on the same PO.
  RegisterSql("get_renewed_po_num_and_line", {kPo, kLine},
              {{"SELECT CASE WHEN p.renewal_type = 1 THEN p.\"renew_po#\" ELSE p.\"po#\" END "
                "AS \"po#\", pl.renew_line AS line FROM po_line pl "
                "JOIN po p ON p.\"po#\" = pl.\"po#\" "
                "WHERE pl.\"po#\" = ?1 AND pl.line = ?2 AND pl.renew_line IS NOT NULL",
                {{"po#", "INTEGER"}, {"line", "SMALLINT"}}}});
  // 65535 (no date) when no line of the PO renews.
  RegisterSql("get_max_next_renewal_date", {kPo},
              {{"SELECT coalesce(max(next_renewal_date), 65535) AS next_renewal_date "
                "FROM po_line WHERE \"po#\" = ?1",
                {{"next_renewal_date", "DAYNUM"}}}});
  RegisterSql("get_po_currency", {kPo}, {{"SELECT currency FROM po WHERE \"po#\" = ?1"}});
  RegisterSql("get_po_vend_name", {kPo},
              {{"SELECT v.name FROM po p JOIN vendor v ON v.\"vendor#\" = p.\"vendor#\" "
                "WHERE p.\"po#\" = ?1"}});
  // Rate 1 when the PO has no currency (or one without a row).
  RegisterSql("get_amount_xrate_from_po_line", {kPo, kLine},
              {{"SELECT pl.unit_price AS amount, coalesce(c.exchange_rate, 1000000) "
                "AS exchange_rate FROM po_line pl JOIN po p ON p.\"po#\" = pl.\"po#\" "
                "LEFT JOIN currency c ON c.currency = p.currency "
                "WHERE pl.\"po#\" = ?1 AND pl.line = ?2",
                {{"amount", "DEC64"}, {"exchange_rate", "DEC64"}}}});
  RegisterSql("get_po_line_quantity_price", {kPo, kLine},
              {{"SELECT pl.\"po#\", pl.line, " LIVE_ITEMS_OF_PL " AS quantity, pl.unit_price, "
                "pl.vendor_discount, p.currency, coalesce(c.exchange_rate, 1000000) "
                "AS exchange_rate, pl.unit_price * " LIVE_ITEMS_OF_PL " AS extended_price "
                "FROM po_line pl JOIN po p ON p.\"po#\" = pl.\"po#\" "
                "LEFT JOIN currency c ON c.currency = p.currency "
                "WHERE pl.\"po#\" = ?1 AND pl.line = ?2",
                {{"quantity", "SMALLINT"},
                 {"exchange_rate", "DEC64"},
                 {"extended_price", "DEC64"}}}});
  // Where the line's live items go other than the PO's own location.
  RegisterSql("get_po_line_extra_location", {kPo, kLine},
              {{"SELECT i.location, count(*) AS quantity FROM po_line_item i "
                "JOIN po p ON p.\"po#\" = i.\"po#\" WHERE i.\"po#\" = ?1 AND i.line = ?2 "
                "AND i.cancel_date IS NULL AND i.location IS NOT p.location "
                "GROUP BY i.location ORDER BY i.location",
                {{"quantity", "SMALLINT"}}}});
  RegisterSql("load_titles_by_vendor", {{'k', "vendor#"}}, {{TITLES_OF_VENDOR(""), kTitleTypes}});
  RegisterSql("load_titles_by_vendor_contract", {{'k', "vendor#"}, {'t', "vendor_contract"}},
              {{TITLES_OF_VENDOR(" AND p.vendor_contract = ?2"), kTitleTypes}});
  RegisterSql("approval_po_line_display", {},
              {{"SELECT * FROM approval_po_line_display ORDER BY \"po#\", line",
                {{"quantity", "SMALLINT"}}}});
}

// Catalogue records of a title: what stands in the way of deleting the
// bibliographic record an order created.
void RegisterCatalogueCounts() {
  const std::vector<ColumnType> count = {{"n", "INTEGER"}};
  RegisterSql("count_ncopies", {{'k', "bib#"}},
              {{"SELECT count(*) AS n FROM copy WHERE \"bib#\" = ?1", count}});
  RegisterSql("count_nitems", {{'k', "bib#"}},
              {{"SELECT count(*) AS n FROM item WHERE \"bib#\" = ?1 AND delete_flag = 0", count}});
  RegisterSql("count_ncopyitems", {{'k', "copy#"}},
              {{"SELECT count(*) AS n FROM item WHERE \"copy#\" = ?1 AND delete_flag = 0", count}});
  // Patron requests on the title's order lines whose copy has no item yet.
  RegisterSql("count_nrequests_no_item", {{'k', "bib#"}},
              {{"SELECT count(*) AS n FROM po_line_item i JOIN po_line pl "
                "ON pl.\"po#\" = i.\"po#\" AND pl.line = i.line WHERE pl.\"bib#\" = ?1 "
                "AND i.\"borrower#\" IS NOT NULL AND i.\"item#\" IS NULL AND i.cancel_date IS NULL",
                count}});
}

// Invoiced money of cancelled items that the vendor has not credited yet:
// for PO ?1, one row per invoice or supplemental-invoice statement line
// (statement_line_type 0 or 1) and cancelled item with money on it, unless
// the item already carries a credit or refund row (statement_line_type 3
// or 5). `amount` is the item's invoiced amount on that statement line
// (all its budgets), in the statement's currency: what the cancellation
// credit is to give back. Extra charges are reversed by the cancel itself
// and are not listed.
void RegisterCancelCredits() {
  RegisterSql("get_pending_cancel_credits", {kPo},
              {{"SELECT m.\"statement#\", s.statement_number, m.statement_line, m.line, m.item, "
                "sum(m.amount) AS amount, m.exchange_rate, s.currency "
                "FROM po_line_item_budget_amount m "
                "JOIN po_line_item i ON i.\"po#\" = m.\"po#\" AND i.line = m.line AND i.item = m.item "
                "JOIN statement s ON s.\"statement#\" = m.\"statement#\" "
                "WHERE m.\"po#\" = ?1 AND i.cancel_date IS NOT NULL AND m.extra_charge_type IS NULL "
                "AND m.statement_line_type IN (0, 1) "
                "AND NOT EXISTS (SELECT 1 FROM po_line_item_budget_amount c "
                "WHERE c.\"po#\" = m.\"po#\" AND c.line = m.line AND c.item = m.item "
                "AND c.statement_line_type IN (3, 5)) "
                "GROUP BY m.\"statement#\", s.statement_number, m.statement_line, m.line, m.item, "
                "m.exchange_rate, s.currency "
                "ORDER BY m.\"statement#\", m.statement_line, m.line, m.item",
                {{"amount", "DEC64"}}}});
}

}  // namespace

void RegisterPoProcedures() {
  RegisterExistenceTests();
  RegisterTotals();
  RegisterLineLookups();
  RegisterCatalogueCounts();
  RegisterCancelCredits();
}

}  // namespace dbproc

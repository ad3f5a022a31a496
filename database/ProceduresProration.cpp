// Stored procedures of extra-charge proration: a statement's charges that
// wait to be shared over its lines, the charge types already shared, and
// the vendor contracts of the POs its lines belong to.
//
// A charge without a budget (statement_extra_charge.budget NULL) is
// prorated: its shares are po_line_item_budget_amount rows of the statement
// carrying its extra_charge_type. Amounts are in the statement's currency,
// in millionths.
#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kStatement{'k', "statement#"};

}  // namespace

void RegisterProrationProcedures() {
  // The statement's charges without a budget, with whether their type has
  // been prorated already (1) or not (0).
  RegisterSql("get_statement_open_charges", {kStatement},
              {{"SELECT e.extra_charge_type, t.descr, e.amount, "
                "CASE WHEN EXISTS (SELECT 1 FROM po_line_item_budget_amount p "
                "WHERE p.\"statement#\" = e.\"statement#\" "
                "AND p.extra_charge_type = e.extra_charge_type) THEN 1 ELSE 0 END AS prorated "
                "FROM statement_extra_charge e "
                "JOIN extra_charge_type t ON t.extra_charge_type = e.extra_charge_type "
                "WHERE e.\"statement#\" = ?1 AND e.budget IS NULL "
                "ORDER BY e.extra_charge_type",
                {{"prorated", "TINYINT"}}}});
  // Each prorated type of the statement: its rows, how many of them a
  // voucher holds, and their sum.
  RegisterSql("get_statement_prorated_types", {kStatement},
              {{"SELECT extra_charge_type, count(*) AS row_count, "
                "sum(CASE WHEN \"voucher#\" IS NULL THEN 0 ELSE 1 END) AS vouchered, "
                "sum(amount) AS amount "
                "FROM po_line_item_budget_amount "
                "WHERE \"statement#\" = ?1 AND extra_charge_type IS NOT NULL "
                "GROUP BY extra_charge_type ORDER BY extra_charge_type",
                {{"row_count", "INTEGER"}, {"vouchered", "INTEGER"}, {"amount", "DEC64"}}}});
  // The POs of the statement's line rows that have a vendor contract.
  RegisterSql("get_statement_po_contracts", {kStatement},
              {{"SELECT DISTINCT p.\"po#\", p.\"vendor#\", p.vendor_contract "
                "FROM po p WHERE p.vendor_contract IS NOT NULL AND p.\"po#\" IN "
                "(SELECT a.\"po#\" FROM po_line_item_budget_amount a "
                "WHERE a.\"statement#\" = ?1) ORDER BY p.\"po#\""}});
}

}  // namespace dbproc

// Migration 24: Budget hierarchies: the manager and the hierarchy report.
#include "database/Database.h"

std::vector<std::string> Database_HierarchyMigration() {
  return {
      // The report reads each budget's money with the row: available is what
      // is neither on order nor spent, unspent what is not spent. A budget of
      // no year is named by its account and a bare ".".
      "DROP VIEW budget_hierarchy_report",
      R"(CREATE VIEW budget_hierarchy_report AS
         SELECT h.item_key, h.parent_item_key, h.item_kind, h.label, h.position, h.budget,
                ay.amount, ay.on_order, ay.spent, ay.status,
                ay.amount - ay.on_order - ay.spent AS available,
                ay.amount - ay.spent AS unspent
         FROM budget_hierarchy h
         LEFT JOIN account_year ay
           ON ay.account || '.' || coalesce(CAST(ay.year AS VARCHAR(6)), '') = h.budget)",
  };
}

// Migration 14: extra-charge proration.
//
// The prorated shares of a statement's extra charges are rows of
// po_line_item_budget_amount carrying their extra_charge_type (the view
// prorated_extra_charges shows them with the type's description). The
// list of one statement line's shares reads that view; the module adds the
// statement, PO and line to its query.
#include "database/Database.h"

std::vector<std::string> Database_ProrationMigration() {
  return {
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('acq_prorated_extra_charges', 'L', 'prorated_extra_charges', 'budget_amount#',
                 'extra_charge_type,item,budget', 'Extra Charges', 110))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('acq_prorated_extra_charges', 1, 'extra_charge_type', 'Charge Type', 8, 0, ''),
                ('acq_prorated_extra_charges', 2, 'descr', 'Description', 25, 0, ''),
                ('acq_prorated_extra_charges', 3, 'item', 'Item', 4, 0, ''),
                ('acq_prorated_extra_charges', 4, 'budget', 'Budget', 13, 0, ''),
                ('acq_prorated_extra_charges', 5, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_prorated_extra_charges', 6, 'voucher#', 'Voucher', 8, 0, ''))",
  };
}

// Migration 5: the editor of the site's acquisitions parameters.
//
// acq_parameter gains a key, "parameter#", so that the framework's editor
// can find its row to save it (the editor saves a row by its table's primary
// key). The table is rebuilt for that: SQLite cannot add a primary key to a
// table. The settings that mean "none" when empty (the fiscal year, the two
// duplication indexes, the base currency) take NULL as well as '', since
// an editor's empty field is NULL; the start-up load reads NULL as the
// default. The module still reads the row with "select *" and expects
// exactly one.
//
// The view that reads acq_parameter (po_renewal_options) is dropped while
// the table is rebuilt and made again after.
#include "database/Database.h"

std::vector<std::string> Database_ParametersMigration() {
  return {
      "DROP VIEW po_renewal_options",
      R"(CREATE TABLE acq_parameter_v5(
           "parameter#" INTEGER PRIMARY KEY,
           fiscal_year SMALLINT NULL,
           isbn_duplication_index VARCHAR(8) NULL DEFAULT '',
           issn_duplication_index VARCHAR(8) NULL DEFAULT '',
           track_budget_trans BIT NOT NULL DEFAULT 0,
           budget_contract_checks BIT NOT NULL DEFAULT 0,
           save_po_line_approval BIT NOT NULL DEFAULT 0,
           copy_po_line_approval BIT NOT NULL DEFAULT 0,
           renew_po_line_approval BIT NOT NULL DEFAULT 0,
           print_without_labels BIT NOT NULL DEFAULT 0,
           base_currency VARCHAR(4) NULL DEFAULT '',
           print_workslip TINYINT NOT NULL DEFAULT 0,
           multi_location_edi TINYINT NOT NULL DEFAULT 0,
           one_tag_only TINYINT NOT NULL DEFAULT 0,
           price_upd_method TINYINT NOT NULL DEFAULT 0))",
      R"(INSERT INTO acq_parameter_v5(fiscal_year, isbn_duplication_index, issn_duplication_index,
           track_budget_trans, budget_contract_checks, save_po_line_approval,
           copy_po_line_approval, renew_po_line_approval, print_without_labels, base_currency,
           print_workslip, multi_location_edi, one_tag_only, price_upd_method)
         SELECT fiscal_year, isbn_duplication_index, issn_duplication_index,
           track_budget_trans, budget_contract_checks, save_po_line_approval,
           copy_po_line_approval, renew_po_line_approval, print_without_labels, base_currency,
           print_workslip, multi_location_edi, one_tag_only, price_upd_method
         FROM acq_parameter)",
      "DROP TABLE acq_parameter",
      "ALTER TABLE acq_parameter_v5 RENAME TO acq_parameter",
      Database_PoRenewalOptionsView(),

      // The parameters editor (command 291): the one row, by its key; the
      // module's template 120 lays the fields out, check boxes for the
      // switches.
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, caption, dialog_template)
         VALUES ('acq_parameter', 'E', 'acq_parameter', 'parameter#',
                 'Acquisitions Parameters', 120))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    format)
         VALUES ('acq_parameter', 1, 'fiscal_year', 'Fiscal year', 4, 1, ''),
                ('acq_parameter', 2, 'isbn_duplication_index', 'ISBN duplication index', 8, 1,
                 ''),
                ('acq_parameter', 3, 'issn_duplication_index', 'ISSN duplication index', 8, 1,
                 ''),
                ('acq_parameter', 4, 'base_currency', 'Base currency', 4, 1, ''),
                ('acq_parameter', 5, 'track_budget_trans', 'Track budget transactions', 3, 1,
                 'bool'),
                ('acq_parameter', 6, 'budget_contract_checks', 'Budget and contract limit checks',
                 3, 1, 'bool'),
                ('acq_parameter', 7, 'save_po_line_approval', 'Approve PO lines on save', 3, 1,
                 'bool'),
                ('acq_parameter', 8, 'copy_po_line_approval', 'Approve copied PO lines', 3, 1,
                 'bool'),
                ('acq_parameter', 9, 'renew_po_line_approval', 'Approve renewed PO lines', 3, 1,
                 'bool'),
                ('acq_parameter', 10, 'print_without_labels', 'Print without labels', 3, 1,
                 'bool'),
                ('acq_parameter', 11, 'print_workslip', 'Print workslips', 1, 1, ''),
                ('acq_parameter', 12, 'multi_location_edi', 'Multi-location EDIFACT', 1, 1, ''),
                ('acq_parameter', 13, 'one_tag_only', 'One tag only', 1, 1, ''),
                ('acq_parameter', 14, 'price_upd_method', 'Renewal price method', 1, 1, ''))",
  };
}

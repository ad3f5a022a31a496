// Table, view and column names, spelled once for the whole module.
#pragma once

namespace acq::names {

// Tables.
inline constexpr const char* account_year = "account_year";
inline constexpr const char* acq_parameter = "acq_parameter";
inline constexpr const char* bib_control = "bib_control";
inline constexpr const char* borrower = "borrower";
inline constexpr const char* budget_hierarchy = "budget_hierarchy";
inline constexpr const char* budget_transaction = "budget_transaction";
inline constexpr const char* budget_transaction_detail = "budget_transaction_detail";
inline constexpr const char* collection = "collection";
inline constexpr const char* currency = "currency";
inline constexpr const char* edifact_exception = "edifact_exception";
inline constexpr const char* edifact_interchange = "edifact_interchange";
inline constexpr const char* edifact_message = "edifact_message";
inline constexpr const char* edifact_process_status = "edifact_process_status";
inline constexpr const char* edifact_segment = "edifact_segment";
inline constexpr const char* extra_charge_type = "extra_charge_type";
inline constexpr const char* lister_column = "lister_column";
inline constexpr const char* location = "location";
inline constexpr const char* marc_usage = "marc_usage";
inline constexpr const char* message_code = "message_code";
inline constexpr const char* po_activity_type = "po_activity_type";
inline constexpr const char* po_line_item = "po_line_item";
inline constexpr const char* po_line_item_pattern = "po_line_item_pattern";
inline constexpr const char* po_line_item_budget = "po_line_item_budget";
inline constexpr const char* po_line_item_budget_pattern = "po_line_item_budget_pattern";
inline constexpr const char* po_line_item_budget_amount = "po_line_item_budget_amount";
inline constexpr const char* po_line_item_history = "po_line_item_history";
inline constexpr const char* po_line_pattern = "po_line_pattern";
inline constexpr const char* po_template = "po_template";
inline constexpr const char* pr_distribution = "pr_distribution";
inline constexpr const char* pr_category = "pr_category";
inline constexpr const char* program_feature = "program_feature";
inline constexpr const char* statement = "statement";
inline constexpr const char* statement_budget = "statement_budget";
inline constexpr const char* statement_extra_charge = "statement_extra_charge";
inline constexpr const char* statement_line = "statement_line";
inline constexpr const char* statement_linker = "statement_linker";
inline constexpr const char* subscription_period = "subscription_period";
inline constexpr const char* vendor_address = "vendor_address";
inline constexpr const char* vendor_contract = "vendor_contract";
inline constexpr const char* workslip_batch = "workslip_batch";
inline constexpr const char* workslip_batch_po_line_item = "workslip_batch_po_line_item";

// Views.
inline constexpr const char* account_user_restricted = "account_user_restricted";
inline constexpr const char* approval_po_line_display = "approval_po_line_display";
inline constexpr const char* approve_statement = "approve_statement";
inline constexpr const char* vendor_contract_with_vendor = "vendor_contract_with_vendor";
inline constexpr const char* copy_with_vendor = "copy_with_vendor";
inline constexpr const char* credit_memo = "credit_memo";
inline constexpr const char* credit_with_invoices = "credit_with_invoices";
inline constexpr const char* budget_code = "budget_code";
inline constexpr const char* invoice_with_credits = "invoice_with_credits";
inline constexpr const char* pw_column = "pw_column";
inline constexpr const char* poliba_bandaid = "poliba_bandaid";
inline constexpr const char* po_line_item_with_borrower = "po_line_item_with_borrower";
inline constexpr const char* po_line_distribution_pat = "po_line_distribution_pat";
inline constexpr const char* po_renewal_candidates = "po_renewal_candidates";
inline constexpr const char* po_renewal_categories = "po_renewal_categories";
inline constexpr const char* po_renewal_contracts = "po_renewal_contracts";
inline constexpr const char* po_renewal_options = "po_renewal_options";
inline constexpr const char* po_renewed_titles = "po_renewed_titles";
inline constexpr const char* po_request_alert = "po_request_alert";
inline constexpr const char* po_template_with_vendor = "po_template_with_vendor";
inline constexpr const char* vendor_contract_extra = "vendor_contract_extra";

// Tables of the host's catalogue that the start-up reads.
inline constexpr const char* item = "item";
inline constexpr const char* matham = "matham";

// Further tables and views the query library reads and writes.
inline constexpr const char* account = "account";
inline constexpr const char* address = "address";
inline constexpr const char* budget = "budget";
inline constexpr const char* copy = "copy";
inline constexpr const char* import_acq = "import_acq";
inline constexpr const char* po = "po";
inline constexpr const char* po_line = "po_line";
inline constexpr const char* vendor = "vendor";

}  // namespace acq::names

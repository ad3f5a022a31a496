// What the PO window tests share: script lines that open a PO or a line as
// a person does, the privilege prompt of a feature, what a `show` wrote,
// and a digest of the PO and budget rows to tell that nothing changed.
#pragma once

#include <sstream>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace e2e {

// Finds PO `number` and opens it in its window (Edit mode).
inline std::string OpenPoWindow(const std::string& number) {
  return "command 152\nsearch po_number \"" + number + "\"\nselect 1\npress Open\npress Edit\n";
}

// ... and opens row `row` of its lines in the line editor.
inline std::string OpenLineEditor(const std::string& number, int row) {
  return OpenPoWindow(number) + "select " + std::to_string(row) + "\npress \"Edit Line\"\n";
}

// The prompt for feature `key` of program acq, as the transcript shows it.
inline std::string PromptFor(const Workspace& ws, const std::string& key) {
  return "credentials \"Authorisation needed: privilege " +
         QueryRow(ws.Db(), "select privilege_number from program_feature where "
                           "program_name='acq' and program_feature='" + key + "'") +
         "\"";
}

// The lines of the last `show` of window `caption`: from its "window" line
// to the next action.
inline std::string LastShow(const std::string& transcript, const std::string& caption) {
  const size_t at = transcript.rfind("window \"" + caption + "\" (");
  if (at == std::string::npos) return {};
  const size_t end = transcript.find("\naction ", at);
  return transcript.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// Every row a person's work on POs writes, summed up.
inline std::string PoDigest(const Workspace& ws) {
  return QueryRow(
      ws.Db(),
      "select (select count(*) || ':' || coalesce(sum(length(coalesce(po_number,''))),0) || ':' "
      "|| coalesce(sum(\"vendor#\"),0) || ':' || coalesce(sum(spent_event + item_creation + "
      "renewal_type),0) from po), "
      "(select count(*) || ':' || coalesce(sum(unit_price),0) || ':' || "
      "coalesce(sum(length(coalesce(title,'') || coalesce(internal_note,'') || "
      "coalesce(isbn,''))),0) from po_line), "
      "(select count(*) || ':' || count(approve_date) || ':' || count(receive_date) || ':' || "
      "count(cancel_date) || ':' || count(budget) || ':' || count(budget_split) from "
      "po_line_item), "
      "(select count(*) || ':' || coalesce(sum(amount),0) from po_line_item_budget_amount), "
      "(select count(*) from po_line_item_budget), "
      "(select count(*) from po_line_item_history), "
      "(select sum(on_order) || ':' || sum(spent) from account_year)");
}

}  // namespace e2e

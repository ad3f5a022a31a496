// AcqDbReport: what the report windows read besides their rows: the
// columns of a report list as its definition shows them, and the condition
// that keeps the accounts the user may not use out of a list of budgets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace acq::AcqDbReport {

// A column of a report list: its name in the rows, the heading a person
// sees, how it is shown ("money", "date", "" plain) and whether a search
// may name it.
struct ReportColumn {
  std::string name;
  std::string heading;
  std::string format;
  bool searchable = false;
  int width = 10;   // characters the list gives it
};

// The columns of list definition `view`, in their order. False (failure
// reported through HandleDbError) when they cannot be read; an unknown
// definition gives no columns.
[[nodiscard]] bool LoadColumns(std::string_view view, std::vector<ReportColumn>& columns);

// "account NOT IN ('A','B')" for the restricted accounts the logged-in
// user is not listed for; "" when every account is open to them.
std::string UnusableAccountsWhere();

// `text` as an SQL string literal (quotes doubled).
std::string SqlText(std::string_view text);

}  // namespace acq::AcqDbReport

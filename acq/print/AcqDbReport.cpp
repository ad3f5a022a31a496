// AcqDbReport: columns and budget restrictions of the report windows.
#include "acq/print/AcqDbReport.h"

#include <algorithm>
#include <set>

#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDbBase.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbReport {

std::string SqlText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

bool LoadColumns(std::string_view view, std::vector<ReportColumn>& columns) {
  columns.clear();
  BucketHold rows;
  if (!AcqDbBase::LoadRows("column_name, heading, format, searchable, width", "pw_view_column",
                           "view_name=" + SqlText(view), "position", rows)) {
    return false;
  }
  const int name = _BktGetColNum(*rows, "column_name");
  const int heading = _BktGetColNum(*rows, "heading");
  const int format = _BktGetColNum(*rows, "format");
  const int searchable = _BktGetColNum(*rows, "searchable");
  const int width = _BktGetColNum(*rows, "width");
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    ReportColumn c;
    c.name = _ColGetStringW(*rows, row, name);
    c.heading = _ColGetStringW(*rows, row, heading);
    c.format = _ColIsNull(*rows, row, format) ? "" : _ColGetStringW(*rows, row, format);
    c.searchable = _ColGetBoolean(*rows, row, searchable);
    c.width = std::max(1, _ColGetInt(*rows, row, width));
    columns.push_back(std::move(c));
  }
  return true;
}

std::string UnusableAccountsWhere() {
  BktHandle restrictions = AcqFundCtrl::RestrictionBkt();
  if (restrictions == nullptr) return {};
  const int accountCol = _BktGetColNum(restrictions, "account");
  if (accountCol == 0) return {};
  std::set<std::string> refused;
  for (int row = 1; row <= _BktCountAll(restrictions); ++row) {
    const std::string account = _ColGetStringW(restrictions, row, accountCol);
    // A budget of the account with no year is enough to ask about the account.
    if (!AcqFundCtrl::UserMayUseBudget(account + ".")) refused.insert(account);
  }
  if (refused.empty()) return {};
  std::string where = "account NOT IN (";
  for (const std::string& account : refused) where += SqlText(account) + ",";
  where.back() = ')';
  return where;
}

}  // namespace acq::AcqDbReport

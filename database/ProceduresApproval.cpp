// Stored procedures of statement approval.
//
// check_self_assessed_gst(statement#): one row, `gst_ok` (TINYINT),
// `calculated_gst` and `header_gst` (DEC64, the statement's currency).
//
// The GST rule. A vendor registered for GST (vendor.gst_number not empty)
// charges it on its invoices, and what it charged is taken as it stands.
// A vendor that is not registered charges none, so on a statement marked
// as carrying GST (statement.gst = 1) the library assesses the tax itself:
// the amount entered on the header (gst_amount) must then be the GST rate
// (tax_rate 'GST', a percentage) of the taxable amount, the header total
// less the GST and PST entered on it, rounded half away from zero to the
// cent. gst_ok is 0 exactly when such a statement's header GST is not the
// calculated one; everything else (no GST flag, a registered vendor, no
// such statement) gives 1, with calculated_gst equal to the header's so
// that the two amounts never disagree when the verdict is 1.
#include <cstdint>
#include <string>
#include <vector>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kStatement{'k', "statement#"};

constexpr int64_t kOne = 1000000;        // millionths
constexpr int64_t kCent = kOne / 100;

const char* const kGstFactsSql =
    "SELECT s.gst, s.amount, coalesce(s.gst_amount, 0) AS gst_amount, "
    "coalesce(s.pst_amount, 0) AS pst_amount, coalesce(v.gst_number, '') AS gst_number, "
    "coalesce((SELECT t.percent FROM tax_rate t WHERE t.tax = 'GST'), 0) AS gst_percent "
    "FROM statement s JOIN vendor v ON v.\"vendor#\" = s.\"vendor#\" "
    "WHERE s.\"statement#\" = ?1";

int64_t IntOf(const DbsValue& v) { return v.kind == DbsValue::Kind::Int ? v.i : 0; }

// taxable x percent / 100, in millionths, rounded half away from zero to
// the cent. 128 bits: a thousand million at a hundred percent fits easily.
int64_t GstOf(int64_t taxable, int64_t percent) {
  const __int128 exact = static_cast<__int128>(taxable) * percent / 100;   // millionths x 1e6
  const __int128 unit = static_cast<__int128>(kOne) * kCent;
  const __int128 half = unit / 2;
  const __int128 cents = exact >= 0 ? (exact + half) / unit : -((-exact + half) / unit);
  return static_cast<int64_t>(cents * kCent);
}

DbCode CheckSelfAssessedGst(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                            std::vector<DbsResultSet>& results, std::string& error) {
  DbsResultSet facts;
  const Query query{kGstFactsSql,
                    {{"gst_amount", "DEC64"}, {"pst_amount", "DEC64"},
                     {"gst_number", "VARCHAR(50)"}, {"gst_percent", "DEC64"}}};
  if (const DbCode rc = RunQuery(db, query, args, facts, error); rc != kDbOk) return rc;
  bool ok = true;
  int64_t header = 0, calculated = 0;
  if (!facts.rows.empty()) {
    const auto& row = facts.rows.front();
    const bool carriesGst = IntOf(row[0]) != 0;
    header = IntOf(row[2]);
    calculated = header;
    const bool registered = row[4].kind == DbsValue::Kind::Text && !row[4].s.empty();
    if (carriesGst && !registered) {
      calculated = GstOf(IntOf(row[1]) - IntOf(row[2]) - IntOf(row[3]), IntOf(row[5]));
      ok = calculated == header;
    }
  }
  DbsResultSet verdict;
  verdict.columns = {{"gst_ok", "TINYINT", "", ""},
                     {"calculated_gst", "DEC64", "", ""},
                     {"header_gst", "DEC64", "", ""}};
  verdict.rows.push_back({DbsValue::Int(ok ? 1 : 0), DbsValue::Int(calculated),
                          DbsValue::Int(header)});
  results = {std::move(verdict)};
  return kDbOk;
}

}  // namespace

void RegisterApprovalProcedures() {
  RegisterCustom("check_self_assessed_gst", {kStatement}, CheckSelfAssessedGst);
}

}  // namespace dbproc

// AcqDbPrereq: the start-up load of privileges, parameters and site values.
#include "acq/frame/AcqDbPrereq.h"

#include <cstring>
#include <span>
#include <string>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"

namespace acq::AcqDbPrereq {
namespace {

using AcqDb::ClearChanges;

// Reads the privilege numbers of one program into `table` by key; code 2
// with the mismatch message when the rows are not exactly the keys expected.
DbCode LoadPrivileges(DbMsg& msg, std::string_view program, std::span<const char* const> keys,
                      std::span<int32_t> table, int mismatchMessage) {
  BucketHold rows;
  const std::string where = "program_name='" + std::string(program) + "'";
  if (DbCode code = AcqDb::LoadTableSized(msg, ClearChanges::Yes, "program_feature", where,
                                          "program_feature,privilege_number",
                                          names::program_feature, rows.get(), 8, 32);
      code != kDbOk) {
    return code;
  }
  bool complete = _BktCountAll(*rows) == static_cast<int>(keys.size());
  for (size_t pos = 0; pos < keys.size(); ++pos) {
    int row = 0;
    table[pos] = AcqDbGlobal::kPrivilegeNotLoaded;
    if (_BktLocateKey(*rows, 1, BktKey::Text(keys[pos]), 0, {}, row)) {
      table[pos] = _ColGetInt(*rows, row, 2);
    }
    if (table[pos] == AcqDbGlobal::kPrivilegeNotLoaded) complete = false;
  }
  if (!complete) {
    msg.Set(AcqBase::LoadStrText(mismatchMessage));
    return kDbMisuse;
  }
  return kDbOk;
}

// One column of the single acq_parameter row, when present and not NULL.
class ParameterRow {
 public:
  explicit ParameterRow(BktHandle bkt) : bkt_(bkt) {}
  template <typename Int>
  void Read(const char* column, Int& out) const {
    if (int col = Column(column); col != 0) {
      int64_t value = 0;
      _ColGetScalar(bkt_, 1, col, value, ScalarSize(col) - 1);
      out = static_cast<Int>(value);
    }
  }
  void Read(const char* column, bool& out) const {
    if (int col = Column(column); col != 0) out = _ColGetBoolean(bkt_, 1, col);
  }
  void Read(const char* column, std::string& out, int maxChars) const {
    if (int col = Column(column); col != 0) out = _ColGetStringW(bkt_, 1, col, maxChars);
  }

 private:
  int Column(const char* name) const {
    const int col = _BktGetColNum(bkt_, name);
    return (col != 0 && !_ColIsNull(bkt_, 1, col)) ? col : 0;
  }
  int ScalarSize(int col) const {
    switch (_BktGetColType(bkt_, col)) {
      case kColByte: return 1;
      case kColInt16: return 2;
      default: return 4;
    }
  }
  BktHandle bkt_;
};

DbCode LoadParameters(DbMsg& msg, AcqDbGlobal::SiteParameters& p) {
  BucketHold rows;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", "", "*", names::acq_parameter,
                                     rows.get());
      code != kDbOk) {
    return code;
  }
  if (_BktCountAll(*rows) != 1) return kDbOk;  // none or several: the defaults stay
  const ParameterRow row(*rows);
  row.Read("fiscal_year", p.fiscal_year);
  row.Read("isbn_duplication_index", p.isbn_duplication_index, 8);
  row.Read("issn_duplication_index", p.issn_duplication_index, 8);
  row.Read("track_budget_trans", p.track_budget_trans);
  row.Read("budget_contract_checks", p.budget_contract_checks);
  row.Read("save_po_line_approval", p.save_po_line_approval);
  row.Read("copy_po_line_approval", p.copy_po_line_approval);
  row.Read("renew_po_line_approval", p.renew_po_line_approval);
  row.Read("print_without_labels", p.print_without_labels);
  row.Read("base_currency", p.base_currency, 4);
  row.Read("print_workslip", p.print_workslip);
  row.Read("multi_location_edi", p.multi_location_edi);
  row.Read("one_tag_only", p.one_tag_only);
  return kDbOk;
}

DbCode LoadDecimalDigits(DbMsg& msg, int32_t& digits) {
  BucketHold rows;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", "", "decimal_digits",
                                     names::matham, rows.get());
      code != kDbOk) {
    return code;
  }
  if (_BktCountAll(*rows) == 1 && !_ColIsNull(*rows, 1, 1)) digits = _ColGetInt(*rows, 1, 1);
  return kDbOk;
}

DbCode ExecText(DbMsg& msg, const std::string& statement, std::string& out) {
  char buffer[64] = {};
  if (DbCode code = AcqDb::ExecSP(msg, buffer, sizeof buffer, "", statement); code != kDbOk) {
    return code;
  }
  out = buffer;
  return kDbOk;
}

DbCode ExecInt32(DbMsg& msg, const std::string& statement, int32_t& out) {
  int32_t value = 0;
  if (DbCode code = AcqDb::ExecSP(msg, &value, sizeof value, "", statement); code != kDbOk) {
    return code;
  }
  out = value;
  return kDbOk;
}

std::string ColumnLengthStatement(const char* column) {
  return std::string("select length from syscolumns where id=object_id('") + names::item +
         "') and name='" + column + "'";
}

DbCode Load(DbMsg& msg, int mismatchMessage) {
  auto& g = AcqDbGlobal::Globals();
  auto& p = g.params;
  DbCode code = LoadPrivileges(msg, "acq", AcqSecurity::kAcqFeatureKeys, g.acqPrivileges,
                               mismatchMessage);
  if (code == kDbOk) {
    code = LoadPrivileges(msg, "acqman", AcqSecurity::kAcqManFeatureKeys, g.acqmanPrivileges,
                          mismatchMessage);
  }
  if (code == kDbOk) code = LoadParameters(msg, p);
  if (code == kDbOk) code = LoadDecimalDigits(msg, p.decimal_digits);
  if (code == kDbOk) {
    code = ExecText(msg,
                    std::string("select key_string_type from ") + names::pw_column +
                        " where table_name='" + names::item + "' and column_name='ibarcode'",
                    p.barcode_key_string_type);
  }
  if (code == kDbOk) code = ExecInt32(msg, ColumnLengthStatement("ibarcode"), p.barcode_length);
  if (code == kDbOk && _GetActiveFeature("IncInvA")) {
    p.inventory_prefix = true;
    code = ExecInt32(msg, ColumnLengthStatement("prefix_inventory_num"),
                     p.inventory_prefix_length);
  }
  if (code == kDbOk) code = _DbLoadMarcMap(g.session, g.marcMap, msg);
  if (code == kDbOk) {
    code = AcqDb::LoadTable(msg, ClearChanges::Yes, "marc_ord", "module=2", "*",
                            names::marc_usage, g.marcUsageBkt);
  }
  if (code == kDbOk) {
    code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", "", "*", names::account_user_restricted,
                            AcqFundCtrl::RestrictionBkt());
  }
  return code;
}

}  // namespace

bool LoadPrerequisites(int mismatchMessage) {
  DbMsg msg;
  if (DbCode code = Load(msg, mismatchMessage); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

bool ReloadParameters() {
  // Only the acq_parameter values start again from their defaults; the
  // money precision and the item shapes read with them stay.
  AcqDbGlobal::SiteParameters site;
  DbMsg msg;
  if (DbCode code = LoadParameters(msg, site); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  static_cast<AcqDbGlobal::SiteParameters&>(AcqDbGlobal::Globals().params) = site;
  return true;
}

void FreePrerequisites() {
  AcqDb::Logout();
  _BktDestroy(&AcqDbGlobal::Globals().marcUsageBkt);
  AcqFundCtrl::DestroyRestrictionBkt();
}

}  // namespace acq::AcqDbPrereq

ACQ_UNIT_EMPTY(AcqDbPrereq)

// View definitions of the lister/editor framework: read from pw_view and
// pw_view_column at each log-in into two read-only Buckets the host owns.
//
// Lifetime: a log-in makes its definitions current; the definitions a later
// log-in replaces are kept (handles the framework holds stay valid) until
// the last logged-in session logs out, when every generation is freed.
// DbView_* calls take no session and read the current generation.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "host/db/DbSession.h"
#include "host/db/DbView.h"

namespace {

using namespace pwdb;

// Bucket columns, in the order of the queries below.
enum ViewCol : int { kViewName = 1, kKind, kSource, kKeyColumns, kWhere, kOrderBy, kCaption,
                     kTemplate, kLinked, kSearchFirst, kViewCols = kSearchFirst };
enum ColumnCol : int { kColView = 1, kColPosition, kColName, kColHeading, kColWidth, kColEditable,
                       kColSearchable, kColFormat, kColCols = kColFormat };

struct Generation {
  BktHandle views = nullptr;
  BktHandle columns = nullptr;
  std::map<std::string, int, CaseLess> viewRow;                   // view -> row of `views`
  std::map<std::string, std::pair<int, int>, CaseLess> columnRows;  // view -> rows of `columns`
  Generation() = default;
  Generation(const Generation&) = delete;
  Generation& operator=(const Generation&) = delete;
  ~Generation() {
    for (BktHandle* b : {&views, &columns}) {
      if (*b) _BktSetReadOnly(*b, false);
      _BktDestroy(b);
    }
  }
};

struct ViewState {
  std::mutex mutex;
  std::unique_ptr<Generation> current;
  std::vector<std::unique_ptr<Generation>> retired;
  int sessions = 0;   // logged-in sessions holding the definitions
};

ViewState& State() {
  static ViewState* state = new ViewState;
  return *state;
}

struct ColumnSpec {
  const char* name;
  int type;
  int length;
};

BktHandle MakeBucket(const ColumnSpec* specs, int count, size_t rows) {
  BktHandle bkt = nullptr;
  _BktCreate(bkt, count, static_cast<int>(std::max<size_t>(rows, 1)), 32);
  for (int c = 0; c < count; ++c)
    _BktSetColInfo(bkt, c + 1, specs[c].name, specs[c].length, specs[c].type, c == 0 ? 1 : 0);
  return bkt;
}

// Copies the result rows into `bkt` (columns in the same order).
void Fill(BktHandle bkt, const DbsResultSet& rs) {
  for (const auto& values : rs.rows) {
    int row = 0;
    _BktInsert(bkt, 0, row);
    for (size_t c = 0; c < values.size(); ++c) {
      const int col = static_cast<int>(c + 1);
      const DbsValue& v = values[c];
      if (v.IsNull()) continue;
      if (_BktGetColType(bkt, col) == kColText)
        _ColSetTextW(bkt, row, col, v.kind == DbsValue::Kind::Int ? std::to_string(v.i) : v.s);
      else
        _ColSetScalar(bkt, row, col, v.kind == DbsValue::Kind::Int ? v.i : 0,
                      _BktGetColType(bkt, col) == kColInt32 ? 3
                      : _BktGetColType(bkt, col) == kColInt16 ? 1 : 0);
    }
    _BktClearChg(bkt, row);
    _BktSetState(bkt, row, kRowExisting);
  }
  _BktSetReadOnly(bkt, true);
}

bool Lookup(std::string_view viewName, char kind, BktHandle& bkt, int& row) {
  ViewState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (!st.current) return false;
  auto it = st.current->viewRow.find(std::string(viewName));
  if (it == st.current->viewRow.end()) return false;
  if (kind && _ColGetStringW(st.current->views, it->second, kKind) != std::string(1, kind))
    return false;
  bkt = st.current->views;
  row = it->second;
  return true;
}

}  // namespace

namespace pwdb {

DbCode LoadViewDefinitions(DbConnection& conn, DbMsg& msg) {
  static const ColumnSpec kViews[kViewCols] = {
      {"view_name", kColText, 40},     {"kind", kColText, 1},
      {"source", kColText, 60},        {"key_columns", kColText, 120},
      {"where_clause", kColText, 255}, {"order_by", kColText, 120},
      {"caption", kColText, 80},       {"dialog_template", kColInt32, 0},
      {"linked_view", kColText, 40},   {"search_first", kColByte, 0},
  };
  static const ColumnSpec kColumns[kColCols] = {
      {"view_name", kColText, 40}, {"position", kColInt16, 0},  {"column_name", kColText, 40},
      {"heading", kColText, 40},   {"width", kColInt16, 0},     {"editable", kColByte, 0},
      {"searchable", kColByte, 0}, {"format", kColText, 20},
  };
  DbsResultSet views, columns;
  std::string error;
  DbCode rc = Database_Query(conn,
                          "SELECT view_name, kind, source, key_columns, where_clause, order_by, "
                          "caption, dialog_template, linked_view, search_first FROM pw_view "
                          "ORDER BY view_name",
                          {}, views, error);
  if (rc == kDbOk)
    rc = Database_Query(conn,
                        "SELECT view_name, position, column_name, heading, width, editable, "
                        "searchable, format FROM pw_view_column ORDER BY view_name, position",
                        {}, columns, error);
  if (rc != kDbOk) {
    msg.Set("Cannot read the view definitions: " + error);
    return rc;
  }
  auto gen = std::make_unique<Generation>();
  gen->views = MakeBucket(kViews, kViewCols, views.rows.size());
  gen->columns = MakeBucket(kColumns, kColCols, columns.rows.size());
  Fill(gen->views, views);
  Fill(gen->columns, columns);
  for (int row = 1; row <= _BktCountAll(gen->views); ++row)
    gen->viewRow[_ColGetStringW(gen->views, row, kViewName)] = row;
  for (int row = 1; row <= _BktCountAll(gen->columns); ++row) {
    auto [it, added] = gen->columnRows.try_emplace(_ColGetStringW(gen->columns, row, kColView),
                                                   row, row);
    if (!added) it->second.second = row;   // rows of one view are adjacent (ORDER BY)
  }
  ViewState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (st.current) st.retired.push_back(std::move(st.current));
  st.current = std::move(gen);
  ++st.sessions;
  return kDbOk;
}

void ReleaseViewDefinitions() {
  ViewState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (st.sessions > 0 && --st.sessions == 0) {
    st.retired.clear();
    st.current.reset();
  }
}

}  // namespace pwdb

bool DbView_GetListViewBktRow(std::string_view viewName, BktHandle& bkt, int& row) {
  return Lookup(viewName, 'L', bkt, row);
}

bool DbView_GetEdViewBktRow(std::string_view viewName, BktHandle& bkt, int& row) {
  return Lookup(viewName, 'E', bkt, row);
}

bool DbView_GetEdLinkBktRow(std::string_view listerView, BktHandle& bkt, int& row) {
  BktHandle lister = nullptr;
  int listerRow = 0;
  if (!Lookup(listerView, 'L', lister, listerRow)) return false;
  std::string linked = _ColGetStringW(lister, listerRow, kLinked);
  return !linked.empty() && Lookup(linked, 'E', bkt, row);
}

bool DbView_GetColumnRows(std::string_view viewName, BktHandle& bkt, int& first, int& last) {
  ViewState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (!st.current) return false;
  auto it = st.current->columnRows.find(std::string(viewName));
  if (it == st.current->columnRows.end()) return false;
  bkt = st.current->columns;
  first = it->second.first;
  last = it->second.second;
  return true;
}

// The stored-procedure registry and the small statement helpers that
// procedures, migrations and the demo library share.
#include "database/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string>

namespace {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
          return std::tolower(x) < std::tolower(y);
        });
  }
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, DbsProcedure, CaseLess> procedures;
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

// Finalizes the statement when the holder leaves scope.
class Statement {
 public:
  ~Statement() { sqlite3_finalize(stmt_); }
  sqlite3_stmt*& get() { return stmt_; }
  sqlite3_stmt* operator*() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

int Prepare(sqlite3* db, std::string_view sql, const std::vector<DbsValue>& binds,
            Statement& stmt, std::string& error) {
  int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt.get(),
                              nullptr);
  if (rc != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return rc;
  }
  if (*stmt == nullptr) {  // only blanks or a comment
    error = "Empty statement.";
    return SQLITE_MISUSE;
  }
  for (size_t n = 0; n < binds.size(); ++n) {
    const DbsValue& v = binds[n];
    int at = static_cast<int>(n + 1);
    switch (v.kind) {
      case DbsValue::Kind::Null: rc = sqlite3_bind_null(*stmt, at); break;
      case DbsValue::Kind::Int: rc = sqlite3_bind_int64(*stmt, at, v.i); break;
      case DbsValue::Kind::Real:
      case DbsValue::Kind::Text:
        rc = sqlite3_bind_text(*stmt, at, v.s.data(), static_cast<int>(v.s.size()),
                               SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) {
      error = sqlite3_errmsg(db);
      return rc;
    }
  }
  return SQLITE_OK;
}

const char* OrEmpty(const char* s) { return s ? s : ""; }

}  // namespace

int Database_Query(sqlite3* db, std::string_view sql, const std::vector<DbsValue>& binds,
                   DbsResultSet& out, std::string& error) {
  out = DbsResultSet{};
  Statement stmt;
  int rc = Prepare(db, sql, binds, stmt, error);
  if (rc != SQLITE_OK) return rc;
  int n = sqlite3_column_count(*stmt);
  for (int c = 0; c < n; ++c) {
    out.columns.push_back(DbsColumn{OrEmpty(sqlite3_column_name(*stmt, c)),
                                    OrEmpty(sqlite3_column_decltype(*stmt, c)),
                                    OrEmpty(sqlite3_column_table_name(*stmt, c)),
                                    OrEmpty(sqlite3_column_origin_name(*stmt, c))});
  }
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
    std::vector<DbsValue> row(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
      switch (sqlite3_column_type(*stmt, c)) {
        case SQLITE_NULL: break;
        case SQLITE_INTEGER: row[c] = DbsValue::Int(sqlite3_column_int64(*stmt, c)); break;
        case SQLITE_FLOAT:
          row[c] = DbsValue::Real(reinterpret_cast<const char*>(sqlite3_column_text(*stmt, c)));
          break;
        default: {
          const char* text = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, c));
          row[c] = DbsValue::Text(
              std::string_view(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(*stmt, c))));
        }
      }
    }
    out.rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(db);
    return rc;
  }
  return SQLITE_OK;
}

int Database_Exec(sqlite3* db, std::string_view sql, const std::vector<DbsValue>& binds,
                  std::string& error, int* changes) {
  Statement stmt;
  int rc = Prepare(db, sql, binds, stmt, error);
  if (rc != SQLITE_OK) return rc;
  while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(db);
    return rc;
  }
  if (changes) *changes = sqlite3_changes(db);
  return SQLITE_OK;
}

bool Database_ParseDecimal(std::string_view text, int64_t& raw) {
  size_t p = 0;
  auto blank = [&](size_t i) { return i < text.size() && (text[i] == ' ' || text[i] == '\t'); };
  while (blank(p)) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  // Digits as a whole number with the position of the decimal point; at
  // most 40 significant digits are kept, enough to tell overflow.
  std::string digits;
  int pointShift = 0;  // digits after the point
  bool sawPoint = false, sawDigit = false;
  for (; p < text.size(); ++p) {
    char c = text[p];
    if (c >= '0' && c <= '9') {
      sawDigit = true;
      if (digits.empty() && c == '0') {
        if (sawPoint) ++pointShift;
        continue;
      }
      if (digits.size() >= 40) {
        if (!sawPoint) return false;  // far too large
        continue;                      // far beyond the sixth decimal
      }
      digits += c;
      if (sawPoint) ++pointShift;
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
  }
  if (!sawDigit) return false;
  int exponent = 0;
  if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
    ++p;
    bool expNegative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) expNegative = text[p++] == '-';
    if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
      exponent = exponent * 10 + (text[p] - '0');
      if (exponent > 400) return false;
    }
    if (expNegative) exponent = -exponent;
  }
  while (blank(p)) ++p;
  if (p != text.size()) return false;
  // value = digits * 10^(exponent - pointShift); we want value * 10^6.
  int scale = exponent - pointShift + 6;
  if (digits.empty()) {
    raw = 0;
    return true;
  }
  if (scale >= 0) {
    if (digits.size() + static_cast<size_t>(scale) > 19) return false;
    digits.append(static_cast<size_t>(scale), '0');
    scale = 0;
  }
  // Drop the digits beyond the sixth decimal, rounding half away from zero.
  bool roundUp = false;
  if (scale < 0) {
    size_t drop = static_cast<size_t>(-scale);
    if (drop > digits.size()) {
      digits.clear();
    } else {
      roundUp = digits[digits.size() - drop] >= '5';
      digits.resize(digits.size() - drop);
    }
  }
  if (digits.size() > 19) return false;
  unsigned long long magnitude = 0;
  for (char c : digits) magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
  if (roundUp) ++magnitude;
  const unsigned long long limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
  if (magnitude > limit) return false;
  raw = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool Database_ParseArgs(std::string_view params, std::vector<DbsValue>& out,
                        std::string& error) {
  out.clear();
  size_t p = 0;
  auto skipBlanks = [&] {
    while (p < params.size() && std::isspace(static_cast<unsigned char>(params[p]))) ++p;
  };
  skipBlanks();
  if (p == params.size()) return true;
  for (;;) {
    skipBlanks();
    if (p < params.size() && params[p] == '\'') {
      std::string text;
      ++p;
      for (;;) {
        if (p >= params.size()) {
          error = "Unterminated string in the parameter list.";
          return false;
        }
        if (params[p] == '\'') {
          if (p + 1 < params.size() && params[p + 1] == '\'') {
            text += '\'';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        text += params[p++];
      }
      out.push_back(DbsValue::Text(text));
    } else {
      size_t start = p;
      while (p < params.size() && params[p] != ',') ++p;
      std::string_view word = params.substr(start, p - start);
      while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back())))
        word.remove_suffix(1);
      int64_t raw = 0;
      std::string_view unsigned_ = word;
      if (!unsigned_.empty() && (unsigned_[0] == '-' || unsigned_[0] == '+'))
        unsigned_.remove_prefix(1);
      bool whole = !unsigned_.empty() &&
                   unsigned_.find_first_not_of("0123456789") == std::string_view::npos;
      if (word.empty()) {
        error = "Missing value in the parameter list.";
        return false;
      } else if (word.size() == 4 && (word[0] | 0x20) == 'n' && (word[1] | 0x20) == 'u' &&
                 (word[2] | 0x20) == 'l' && (word[3] | 0x20) == 'l') {
        out.push_back(DbsValue::Null());
      } else if (whole && word.size() < 19) {
        out.push_back(DbsValue::Int(std::stoll(std::string(word))));
      } else if (Database_ParseDecimal(word, raw)) {
        out.push_back(DbsValue::Real(word));
      } else {
        out.push_back(DbsValue::Text(word));
      }
    }
    skipBlanks();
    if (p == params.size()) return true;
    if (params[p] != ',') {
      error = "Expected a comma in the parameter list at '" +
              std::string(params.substr(p, 20)) + "'.";
      return false;
    }
    ++p;
  }
}

void Database_RegisterProcedure(std::string_view name, DbsProcedure proc) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.procedures[std::string(name)] = std::move(proc);
}

void Database_UnregisterProcedure(std::string_view name) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.procedures.erase(std::string(name));
}

bool Database_FindProcedure(std::string_view name, DbsProcedure& out) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.procedures.find(std::string(name));
  if (it == r.procedures.end()) return false;
  out = it->second;
  return true;
}

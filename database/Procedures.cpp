// The stored-procedure registry and the small statement helpers that
// procedures, migrations and the demo library share.
#include "database/Database.h"

#include <memory>

#include "host/db/DbEngine.h"


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

// Prepares the one statement of `sql` and binds `binds` to ?1 .. ?n.
DbCode Prepare(pwdb::DbConnection& db, std::string_view sql, const std::vector<DbsValue>& binds,
               std::unique_ptr<pwdb::DbStatement>& stmt, std::string& error) {
  DbCode rc = db.Prepare(sql, stmt);
  if (rc == kDbOk && !stmt) {  // only blanks or a comment
    error = "Empty statement.";
    return kDbMisuse;
  }
  if (rc == kDbOk) rc = stmt->BindAll(binds);
  if (rc != kDbOk) error = db.ErrorText();
  return rc;
}

}  // namespace

DbCode Database_Query(pwdb::DbConnection& db, std::string_view sql,
                      const std::vector<DbsValue>& binds, DbsResultSet& out,
                      std::string& error) {
  out = DbsResultSet{};
  std::unique_ptr<pwdb::DbStatement> stmt;
  DbCode rc = Prepare(db, sql, binds, stmt, error);
  if (rc != kDbOk) return rc;
  const int n = stmt->ColumnCount();
  for (int c = 0; c < n; ++c) out.columns.push_back(stmt->Column(c));
  pwdb::StepRc step;
  while ((step = stmt->Step()) == pwdb::StepRc::kRow) {
    std::vector<DbsValue> row;
    row.reserve(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) row.push_back(stmt->Value(c));
    out.rows.push_back(std::move(row));
  }
  if (step == pwdb::StepRc::kFailed) {
    error = db.ErrorText();
    return db.ErrorCode();
  }
  return kDbOk;
}

DbCode Database_Exec(pwdb::DbConnection& db, std::string_view sql,
                     const std::vector<DbsValue>& binds, std::string& error, int* changes) {
  std::unique_ptr<pwdb::DbStatement> stmt;
  DbCode rc = Prepare(db, sql, binds, stmt, error);
  if (rc != kDbOk) return rc;
  pwdb::StepRc step;
  while ((step = stmt->Step()) == pwdb::StepRc::kRow) {
  }
  if (step == pwdb::StepRc::kFailed) {
    error = db.ErrorText();
    return db.ErrorCode();
  }
  if (changes) *changes = static_cast<int>(db.Changes());
  return kDbOk;
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

// The session's own SQL (what host/db, the stored procedures, the schema and
// the module's translated statements hand to an engine) as PostgreSQL runs
// it. That SQL is written once, in the form SQLite runs as it stands; this
// pass rewrites, token by token, only what PostgreSQL spells differently or
// does differently:
//
//  - parameters ?n (and bare ?) become $n;
//  - declared types become the library's domains (DEC64, DAYNUM, MINUTE,
//    TINYINT, BIT, INTEGER as the 64-bit INT64, as SQLite's integers are) or
//    PostgreSQL types, and every text column compares in the C collation, byte by
//    byte, as SQLite's BINARY does;
//  - an INTEGER PRIMARY KEY hands out max + 1 when inserted without a key,
//    as SQLite's does (a trigger, created after the table);
//  - COLLATE NOCASE as the library's case-blind collation "nocase";
//  - INSERT OR IGNORE, two-argument max/min, "a IS b", instr, char(n),
//    group_concat, LIKE (ASCII case folding on SQLite: ILIKE here);
//  - a subquery in FROM without a name gets one;
//  - ORDER BY puts NULLs first in ascending order, as SQLite does.
#include "host/db/SqlPostgres.h"

#include <algorithm>
#include <string>

#include "host/db/SqlTokens.h"

namespace {

using namespace sqltok;

// The type of a column declaration or a cast, PostgreSQL's spelling.
// `text` is set when the type holds text (it then gets the C collation).
std::string MapType(std::string_view word, std::string_view size, bool libraryTypes, bool& text) {
  text = false;
  std::string upper;
  for (char c : word) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  // A domain, so that a view's column that is a plain column keeps it (an
  // expression gives the plain bigint).
  if (upper == "INTEGER" || upper == "INT" || upper == "BIGINT")
    return libraryTypes ? "INT64" : "BIGINT";
  if (upper == "DEC64" || upper == "DAYNUM" || upper == "MINUTE" || upper == "TINYINT")
    return upper;
  if (upper == "BIT") return "BITFLAG";
  if (upper == "VARCHAR" || upper == "NVARCHAR" || upper == "CHAR" || upper == "TEXT") {
    text = true;
    if (upper == "TEXT" || size.empty()) return "TEXT";
    return (upper == "CHAR" ? "CHAR(" : "VARCHAR(") + std::string(size) + ")";
  }
  return std::string(word) + (size.empty() ? "" : "(" + std::string(size) + ")");
}

class ToPostgres {
 public:
  ToPostgres(std::string_view sql, const std::vector<Token>& toks, const std::vector<size_t>& match,
             bool libraryTypes, PgStatement& out)
      : sql_(sql), toks_(toks), match_(match), libraryTypes_(libraryTypes), out_(out) {}

  // Translates the statement toks_[b, e).
  bool Statement(size_t b, size_t e);

 private:
  // toks_[k], or the End token past the end (for looking ahead).
  const Token& At(size_t k) const { return k < toks_.size() ? toks_[k] : toks_.back(); }
  void Emit(const Token& t) {
    out_.sql += t.trivia;
    out_.sql += t.text;
  }
  void Range(size_t b, size_t e);
  // One token (or a construct starting at it); returns the index after it.
  size_t One(size_t i, size_t e);
  size_t OrderBy(size_t i, size_t e);
  // toks_[open] is the "(" of the column list.
  void CreateTable(size_t b, size_t open, size_t e);
  size_t ColumnType(size_t i, size_t e, bool& identity);
  size_t Cast(size_t i);
  // The first index in [j, e) at nesting level 0 (parentheses skipped
  // whole) whose token satisfies `stop`; e when none.
  template <typename Stop>
  size_t Scan(size_t j, size_t e, Stop stop) const {
    for (; j < e; ++j) {
      if (IsPunct(toks_[j], "(")) j = match_[j];
      else if (stop(toks_[j])) return j;
    }
    return e;
  }
  // Commas at nesting level 0 in (open, close).
  std::vector<size_t> Commas(size_t open, size_t close) const {
    const auto comma = [](const Token& t) { return IsPunct(t, ","); };
    std::vector<size_t> at;
    for (size_t j = Scan(open + 1, close, comma); j < close; j = Scan(j + 1, close, comma))
      at.push_back(j);
    return at;
  }

  std::string_view sql_;
  const std::vector<Token>& toks_;
  const std::vector<size_t>& match_;
  const bool libraryTypes_;
  PgStatement& out_;
  int nextParam_ = 1;
  int subqueries_ = 0;
  bool ignoreConflicts_ = false;
};

bool ToPostgres::Statement(size_t b, size_t e) {
  size_t i = b;
  if (IsWord(At(i), "insert") && IsWord(At(i + 1), "or") && IsWord(At(i + 2), "ignore")) {
    Emit(toks_[i]);
    i += 3;
    ignoreConflicts_ = true;
  }
  if (IsWord(At(b), "create")) {
    // CREATE [TEMP|TEMPORARY] TABLE [IF NOT EXISTS] name (...)
    size_t j = b + 1;
    if (IsAnyWord(At(j), {"temp", "temporary"})) ++j;
    if (IsWord(At(j), "table")) {
      ++j;
      if (IsWord(At(j), "if")) j += 3;
      if (j + 1 < e && IsPunct(At(j + 1), "(")) {
        CreateTable(b, j + 1, e);
        return true;
      }
    }
  }
  if (IsWord(At(b), "alter") && IsWord(At(b + 1), "table") && IsWord(At(b + 3), "add")) {
    // ALTER TABLE t ADD [COLUMN] name type ...
    size_t j = b + 4;
    if (IsWord(At(j), "column")) ++j;
    if (j >= e) {   // no column: left for the server to refuse
      Range(b, e);
      return true;
    }
    for (size_t k = b; k <= j; ++k) Emit(toks_[k]);   // up to the column's name
    bool identity = false;
    Range(ColumnType(j + 1, e, identity), e);
    out_.params = nextParam_ - 1;
    return true;
  }
  if (ignoreConflicts_) {
    // ON CONFLICT goes before a RETURNING clause.
    size_t returning = e;
    for (size_t j = i; j < e; ++j) {
      if (IsPunct(toks_[j], "(")) j = match_[j];
      else if (IsWord(toks_[j], "returning")) returning = j;
    }
    Range(i, returning);
    out_.sql += " ON CONFLICT DO NOTHING";
    Range(returning, e);
  } else {
    Range(i, e);
  }
  out_.params = nextParam_ - 1;
  return true;
}

void ToPostgres::Range(size_t b, size_t e) {
  for (size_t i = b; i < e;) i = One(i, e);
}

size_t ToPostgres::One(size_t i, size_t e) {
  const Token& t = toks_[i];
  const Token& next = toks_[i + 1];
  if (IsPunct(t, "?")) {
    int n = 0;
    size_t after = i + 1;
    if (next.kind == TokenKind::Number && next.trivia.empty()) {
      n = std::atoi(std::string(next.text).c_str());
      after = i + 2;
    } else {
      n = nextParam_;
    }
    nextParam_ = std::max(nextParam_, n + 1);
    out_.sql += t.trivia;
    out_.sql += '$';
    out_.sql += std::to_string(n);
    return after;
  }
  if (IsPunct(t, "(")) {
    const size_t close = match_[i];
    Emit(t);
    Range(i + 1, close);
    Emit(toks_[close]);
    // A subquery in FROM needs a name here, even one nothing refers to.
    const bool derived = i > 0 && IsAnyWord(toks_[i - 1], {"from", "join"}) &&
                         IsAnyWord(toks_[i + 1], {"select", "values", "with"});
    const Token& after = toks_[close + 1];
    if (derived && (after.kind == TokenKind::End || IsPunct(after, ")") || IsPunct(after, ",") ||
                    IsPunct(after, ";") ||
                    IsAnyWord(after, {"where", "join", "inner", "left", "right", "full", "cross",
                                      "natural", "on", "using", "group", "order", "having",
                                      "union", "except", "intersect", "limit", "offset",
                                      "window", "for", "returning"})))
      out_.sql += " AS acq_sub" + std::to_string(++subqueries_);
    return close + 1;
  }
  if (t.kind == TokenKind::Word && IsPunct(next, "(")) {
    const size_t open = i + 1, close = match_[open];
    const size_t args = Commas(open, close).size() + 1;
    if ((IsWord(t, "max") || IsWord(t, "min")) && args >= 2) {
      out_.sql += t.trivia;
      out_.sql += IsWord(t, "max") ? "greatest" : "least";
      return open;
    }
    if (IsWord(t, "instr")) {
      out_.sql += t.trivia;
      out_.sql += "strpos";
      return open;
    }
    if (IsWord(t, "char")) {
      out_.sql += t.trivia;
      out_.sql += "chr";
      return open;
    }
    if (IsWord(t, "cast")) return Cast(i);
    if (IsWord(t, "group_concat")) {
      const std::vector<size_t> commas = Commas(open, close);
      const size_t valueEnd = commas.empty() ? close : commas[0];
      out_.sql += t.trivia;
      out_.sql += "string_agg(";
      size_t v = open + 1;
      if (IsWord(toks_[v], "distinct")) {
        out_.sql += "DISTINCT ";
        ++v;
      }
      out_.sql += "CAST(";
      Range(v, valueEnd);
      out_.sql += " AS TEXT),";
      if (commas.empty()) out_.sql += " ','";
      else Range(commas[0] + 1, close);
      out_.sql += ')';
      return close + 1;
    }
  }
  if (IsWord(t, "is")) {
    size_t j = i + 1;
    const bool negated = IsWord(toks_[j], "not");
    if (negated) ++j;
    if (!IsAnyWord(toks_[j], {"null", "true", "false", "unknown", "distinct"})) {
      out_.sql += t.trivia;
      out_.sql += negated ? "IS DISTINCT FROM" : "IS NOT DISTINCT FROM";
      return j;
    }
  }
  if (IsWord(t, "like")) {
    // The pattern runs to the next word that ends an operand; a backslash
    // in it is a character, as on SQLite, unless an ESCAPE says otherwise.
    const size_t j = Scan(i + 1, e, [](const Token& p) {
      return IsPunct(p, ")") || IsPunct(p, ",") ||
             IsAnyWord(p, {"and", "or", "then", "else", "end", "when", "escape", "order", "group",
                           "having", "limit", "offset", "union", "except", "intersect", "collate",
                           "is", "not", "in", "like", "between"});
    });
    out_.sql += t.trivia;
    out_.sql += "ILIKE";
    Range(i + 1, j);
    if (j >= e || !IsWord(toks_[j], "escape")) out_.sql += " ESCAPE ''";
    return j;
  }
  if (IsWord(t, "collate") && IsWord(next, "nocase")) {
    // Case-blind equality, as SQLite's NOCASE (a collation of the library's).
    out_.sql += t.trivia;
    out_.sql += "COLLATE nocase";
    return i + 2;
  }
  if (IsWord(t, "order") && IsWord(next, "by")) {
    Emit(t);
    Emit(next);
    return OrderBy(i + 2, e);
  }
  Emit(t);
  return i + 1;
}

// The items of an ORDER BY, each with SQLite's place for NULLs (first when
// ascending, last when descending) unless it says where they go.
size_t ToPostgres::OrderBy(size_t i, size_t e) {
  for (;;) {
    const size_t j = Scan(i, e, [](const Token& t) {
      return IsPunct(t, ",") || IsPunct(t, ")") ||
             IsAnyWord(t, {"limit", "offset", "union", "except", "intersect", "for", "returning"});
    });
    const bool descending = Scan(i, j, [](const Token& t) { return IsWord(t, "desc"); }) < j;
    const bool placed = Scan(i, j, [](const Token& t) { return IsWord(t, "nulls"); }) < j;
    Range(i, j);
    if (!placed) out_.sql += descending ? " NULLS LAST" : " NULLS FIRST";
    if (j < e && IsPunct(toks_[j], ",")) {
      Emit(toks_[j]);
      i = j + 1;
      continue;
    }
    return j;
  }
}

// CAST(value AS type) with the type spelled for PostgreSQL.
size_t ToPostgres::Cast(size_t i) {
  const size_t open = i + 1, close = match_[open];
  size_t as = close;
  for (size_t j = open + 1; j < close; ++j) {
    if (IsPunct(toks_[j], "(")) j = match_[j];
    else if (IsWord(toks_[j], "as")) as = j;
  }
  Emit(toks_[i]);
  Emit(toks_[open]);
  if (as == close || toks_[as + 1].kind != TokenKind::Word) {
    Range(open + 1, close);
  } else {
    Range(open + 1, as);
    Emit(toks_[as]);
    std::string_view size;
    size_t after = as + 2;
    if (IsPunct(toks_[after], "(")) {
      size = toks_[after + 1].text;
      after = match_[after] + 1;
    }
    bool text = false;
    const std::string type = MapType(toks_[as + 1].text, size, libraryTypes_, text);
    out_.sql += toks_[as + 1].trivia;
    out_.sql += type;
    Range(after, close);
  }
  Emit(toks_[close]);
  return close + 1;
}

// The type of one column declaration, from toks_[i] (its first word) up to
// the constraints; `identity` when it is an INTEGER PRIMARY KEY.
size_t ToPostgres::ColumnType(size_t i, size_t e, bool& identity) {
  identity = false;
  if (toks_[i].kind != TokenKind::Word || IsAnyWord(toks_[i], {"not", "null", "primary", "default",
                                                               "references", "unique", "check",
                                                               "generated", "collate"}))
    return i;
  std::string_view size;
  size_t after = i + 1;
  if (IsPunct(toks_[after], "(")) {
    size = toks_[after + 1].text;
    after = match_[after] + 1;
  }
  bool text = false;
  out_.sql += toks_[i].trivia;
  out_.sql += MapType(toks_[i].text, size, libraryTypes_, text);
  bool collated = false;
  for (size_t j = after; j < e; ++j) collated = collated || IsWord(toks_[j], "collate");
  if (text && !collated) out_.sql += " COLLATE \"C\"";
  if (IsWord(toks_[i], "integer")) {
    for (size_t j = after; j + 1 < e; ++j)
      if (IsWord(toks_[j], "primary") && IsWord(toks_[j + 1], "key")) identity = true;
  }
  return after;
}

void ToPostgres::CreateTable(size_t b, size_t open, size_t e) {
  for (size_t j = b; j < open; ++j) Emit(toks_[j]);
  const std::string_view table = toks_[open - 1].text;
  const size_t close = match_[open];
  Emit(toks_[open]);
  std::vector<size_t> bounds = Commas(open, close);
  bounds.push_back(close);
  std::string identityColumn;
  size_t from = open + 1;
  for (size_t end : bounds) {
    const Token& first = toks_[from];
    if (IsName(first) && !IsAnyWord(first, {"primary", "unique", "foreign", "check", "constraint"})) {
      Emit(first);
      bool identity = false;
      size_t j = ColumnType(from + 1, end, identity);
      if (identity) identityColumn = std::string(first.text);
      for (; j < end; ++j) {
        if (IsWord(toks_[j], "autoincrement")) continue;
        j = One(j, end) - 1;
      }
    } else {
      Range(from, end);
    }
    Emit(toks_[end]);
    from = end + 1;
  }
  // "WITHOUT ROWID" and the like have no meaning here.
  for (size_t j = close + 1; j < e; ++j)
    if (!IsAnyWord(toks_[j], {"without", "rowid", "strict"})) Emit(toks_[j]);
  if (!identityColumn.empty()) {
    std::string name(table);
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    std::string column = identityColumn;
    column.erase(std::remove(column.begin(), column.end(), '"'), column.end());
    std::string quoted = "'";
    for (char c : column) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    quoted += "'";
    out_.after = "CREATE TRIGGER \"" + name + "_key\" BEFORE INSERT ON \"" + name +
                 "\" FOR EACH ROW EXECUTE FUNCTION acq_assign_key(" + quoted + ")";
  }
  out_.params = 0;
}

}  // namespace

bool SqlPostgres_Translate(std::string_view sql, bool libraryTypes, PgStatement& out,
                           size_t& used, std::string& error) {
  out = PgStatement{};
  used = sql.size();
  std::vector<Token> toks;
  if (!Tokenize(sql, toks, error)) return false;
  size_t end = 0;
  while (toks[end].kind != TokenKind::End && !IsPunct(toks[end], ";")) ++end;
  if (toks[end].kind != TokenKind::End) used = toks[end].pos + 1;
  if (end == 0) return true;   // blanks and comments only
  if (IsWord(toks[0], "pragma")) {
    // A setting of SQLite's own connection: a statement that does nothing.
    out.text = std::string(sql.substr(0, toks[end].pos));
    out.sql = "SELECT 1 WHERE false";
    out.readOnly = true;
    return true;
  }
  // Parentheses are paired within the statement only.
  std::vector<Token> stmt(toks.begin(), toks.begin() + static_cast<std::ptrdiff_t>(end));
  stmt.push_back({TokenKind::End, {}, {}, toks[end].pos});
  std::vector<size_t> match;
  if (!MatchParens(sql, stmt, match, error)) return false;
  out.text = std::string(sql.substr(0, toks[end].pos));
  ToPostgres translator(sql, stmt, match, libraryTypes, out);
  out.readOnly = IsAnyWord(stmt[0], {"select", "values", "show", "explain"});
  out.control = IsAnyWord(stmt[0], {"begin", "commit", "end", "rollback", "savepoint", "release",
                                    "set"});
  out.schema = IsAnyWord(stmt[0], {"create", "alter", "drop"});
  if (IsWord(stmt[0], "with")) {
    out.readOnly = true;
    for (const Token& t : stmt)
      if (IsAnyWord(t, {"insert", "update", "delete"})) out.readOnly = false;
  }
  return translator.Statement(0, end);
}

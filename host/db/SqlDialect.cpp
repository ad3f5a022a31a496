// Translates the module's T-SQL flavoured statements into the backend's SQL.
// The text is cut into tokens that carry their leading blanks and comments
// ("trivia"), so whatever is not rewritten keeps its spacing and comments, and
// literals, quoted names and comments are never looked into. Rewrites work on
// token ranges: a parenthesised range is translated on its own, a select is
// split into its list items at nesting level 0.
//
// Known gaps: "+" is turned into "||" only between two string literals (the
// module concatenates nothing else in SQL); convert() knows the bit, integer,
// character and money types and refuses the rest; "top n" is not combined
// with union.
#include "host/db/SqlDialect.h"

#include "host/db/SqlTokens.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace sqltok;

// The name as the backend wants it: T-SQL names with '#' and [bracketed]
// names become "double-quoted"; everything else is kept as written.
void AppendName(std::string& out, const Token& t) {
  if (t.kind == TokenKind::QuotedName && t.text.front() == '[') {
    out += '"';
    const std::string_view inner = t.text.substr(1, t.text.size() - 2);
    for (size_t i = 0; i < inner.size(); ++i) {
      if (inner[i] == '"') out += '"';
      out += inner[i];
      if (inner[i] == ']') ++i;  // "]]" stands for one ']'
    }
    out += '"';
  } else if (t.kind == TokenKind::Word && t.text.find('#') != std::string_view::npos) {
    out += '"';
    out += t.text;
    out += '"';
  } else {
    out += t.text;
  }
}

bool IsSelectEnd(const Token& t) {
  return IsPunct(t, ";") || IsAnyWord(t, {"union", "except", "intersect", "else"});
}
bool IsItemEnd(const Token& t) {
  return IsPunct(t, ",") ||
         IsAnyWord(t, {"from", "into", "where", "group", "having", "order", "limit", "for", "window"});
}
bool IsComma(const Token& t) { return IsPunct(t, ","); }

// Words after a table name that are not its alias.
bool IsClauseAfterTable(const Token& t) {
  return IsAnyWord(
      t, {"where", "join",  "inner",  "left",  "right",  "full",      "cross", "natural", "on",     "using",
          "group", "order", "having", "union", "except", "intersect", "limit", "for",     "window", "else"});
}

// The catalogue view standing in for syscolumns: id is the table name (what
// object_id gives here), length the number in the declared type's
// parentheses (VARCHAR(20) gives 20), else 0.
constexpr std::string_view kSqliteSyscolumns =
    "(select m.name as id, p.name as name, case when instr(p.type,'(')>0 then "
    "cast(substr(p.type,instr(p.type,'(')+1) as integer) else 0 end as length, p.type as type "
    "from sqlite_schema m join pragma_table_info(m.name) p where m.type in ('table','view'))";
constexpr std::string_view kPostgresSyscolumns =
    "(select c.table_name::text as id, c.column_name::text as name, "
    "coalesce(c.character_maximum_length,0) as length, c.data_type::text as type "
    "from information_schema.columns c where c.table_schema=current_schema())";

class Translator {
 public:
  Translator(std::string_view sql, const std::vector<Token>& toks, const std::vector<size_t>& match,
             SqlBackend backend, std::string& out, std::string& error)
      : sql_(sql), toks_(toks), match_(match), backend_(backend), out_(out), error_(error) {}

  // Translates toks_[b, e); `statements` when the range is a whole command
  // (where "if" may start a statement).
  bool Range(size_t b, size_t e, bool statements);

 private:
  bool Fail(size_t tok, std::string_view what) {
    error_ = "SqlDialect: ";
    error_ += what;
    error_ += ' ';
    error_ += Near(sql_, toks_[tok].pos);
    return false;
  }
  void Emit(const Token& t) {
    out_ += t.trivia;
    AppendName(out_, t);
  }
  // Range() without the blanks in front, for text that moves.
  bool Trimmed(size_t b, size_t e);
  bool Select(size_t i, size_t e, size_t& next);
  bool Top(size_t& j, std::string_view& count);
  bool Item(size_t b, size_t e);
  bool IfExists(size_t i, size_t e, size_t& next);
  bool Branch(size_t b, size_t e, size_t& alias);
  bool Function(size_t i, size_t& next, bool& handled);
  bool Convert(size_t i, size_t open, size_t close);
  void Syscolumns(size_t i);

  // First index in [j, e) at this nesting level (parentheses skipped whole,
  // case...end counted) whose token satisfies `stop`; e when none.
  template <typename Stop>
  size_t Scan(size_t j, size_t e, Stop stop) const {
    int cases = 0;
    for (; j < e; ++j) {
      const Token& t = toks_[j];
      if (IsPunct(t, "(")) {
        j = match_[j];
      } else if (IsWord(t, "case")) {
        ++cases;
      } else if (IsWord(t, "end") && cases > 0) {
        --cases;
      } else if (cases == 0 && stop(t)) {
        return j;
      }
    }
    return e;
  }

  std::string_view sql_;
  const std::vector<Token>& toks_;  // ends with an End token, so toks_[i + 1] exists for i < End
  const std::vector<size_t>& match_;
  SqlBackend backend_;
  std::string& out_;
  std::string& error_;
};

bool Translator::Range(size_t b, size_t e, bool statements) {
  bool atStart = statements;
  for (size_t i = b; i < e;) {
    const Token& t = toks_[i];
    const bool start = atStart;
    atStart = statements && IsPunct(t, ";");
    if (start && IsWord(t, "if")) {
      if (!IfExists(i, e, i)) return false;
    } else if (IsWord(t, "select")) {
      if (!Select(i, e, i)) return false;
    } else if (IsWord(t, "for") && IsWord(toks_[i + 1], "browse")) {
      i += 2;  // browse mode: a locking hint the backends neither need nor know
    } else if (IsPunct(t, "(")) {
      const size_t close = match_[i];
      Emit(t);
      if (!Range(i + 1, close, false)) return false;
      Emit(toks_[close]);
      i = close + 1;
    } else if (IsWord(t, "syscolumns") && i > 0 && IsAnyWord(toks_[i - 1], {"from", "join"})) {
      Syscolumns(i);
      ++i;
    } else if (IsPunct(t, "+") && i > b && toks_[i - 1].kind == TokenKind::String &&
               toks_[i + 1].kind == TokenKind::String) {
      out_ += t.trivia;
      out_ += "||";
      ++i;
    } else {
      bool handled = false;
      if (t.kind == TokenKind::Word && IsPunct(toks_[i + 1], "(") && !Function(i, i, handled)) return false;
      if (!handled) Emit(toks_[i++]);
    }
  }
  return true;
}

bool Translator::Trimmed(size_t b, size_t e) {
  const size_t mark = out_.size();
  if (!Range(b, e, false)) return false;
  size_t k = mark;
  while (k < out_.size() && IsBlank(out_[k])) ++k;
  out_.erase(mark, k - mark);
  return true;
}

// select [distinct|all] [top n] items [clauses], up to the end of this select
// (a union, ";", the "else" of an if, or the end of the range).
bool Translator::Select(size_t i, size_t e, size_t& next) {
  Emit(toks_[i]);
  size_t j = i + 1;
  if (IsAnyWord(toks_[j], {"distinct", "all"})) Emit(toks_[j++]);
  std::string_view top;
  if (IsWord(toks_[j], "top") && !Top(j, top)) return false;
  const size_t end = Scan(j, e, IsSelectEnd);
  for (;;) {
    const size_t itemEnd = Scan(j, end, IsItemEnd);
    if (!Item(j, itemEnd)) return false;
    j = itemEnd;
    if (j == end || !IsComma(toks_[j])) break;
    Emit(toks_[j++]);
  }
  if (!Range(j, end, false)) return false;
  if (!top.empty()) {
    if (end < e && IsAnyWord(toks_[end], {"union", "except", "intersect"}))
      return Fail(end, "\"top\" in a compound select is not supported");
    out_ += " limit ";
    out_ += top;
  }
  next = end;
  return true;
}

// "top n" or "top (n)"; advances j past it.
bool Translator::Top(size_t& j, std::string_view& count) {
  const size_t at = j;
  if (toks_[j + 1].kind == TokenKind::Number) {
    count = toks_[j + 1].text;
    j += 2;
  } else if (IsPunct(toks_[j + 1], "(") && toks_[j + 2].kind == TokenKind::Number &&
             IsPunct(toks_[j + 3], ")")) {
    count = toks_[j + 2].text;
    j += 4;
  } else {
    return Fail(at, "\"top\" needs a number");
  }
  if (IsAnyWord(toks_[j], {"percent", "with"}))
    return Fail(j, "\"top ... percent|with ties\" is not supported");
  return true;
}

// One select-list item; T-SQL's "name = expr" becomes "expr AS name".
bool Translator::Item(size_t b, size_t e) {
  if (e - b >= 3 && IsName(toks_[b]) && IsPunct(toks_[b + 1], "=")) {
    out_ += toks_[b].trivia;
    if (!Trimmed(b + 2, e)) return false;
    out_ += " AS ";
    AppendName(out_, toks_[b]);
    return true;
  }
  return Range(b, e, false);
}

// "if [not] exists (q) select a else select b" becomes one select:
// "select case when [not] exists (q) then a else b end", so that a statement
// returning one value stays one statement on every backend.
bool Translator::IfExists(size_t i, size_t e, size_t& next) {
  size_t j = i + 1;
  const bool negated = IsWord(toks_[j], "not");
  if (negated) ++j;
  if (!IsWord(toks_[j], "exists") || !IsPunct(toks_[j + 1], "("))
    return Fail(i, "only \"if [not] exists (query) select ... else select ...\" is supported:");
  const size_t open = j + 1, close = match_[open];
  const size_t a = close + 1;
  if (a >= e || !IsWord(toks_[a], "select"))
    return Fail(a, "\"if exists (query)\" must be followed by a select");
  const size_t aEnd = Scan(a + 1, e, IsSelectEnd);
  if (aEnd == e || !IsWord(toks_[aEnd], "else") || !IsWord(toks_[aEnd + 1], "select"))
    return Fail(aEnd, "\"if exists\" needs \"else select ...\"");
  const size_t b = aEnd + 1;
  const size_t bEnd = Scan(b + 1, e, IsSelectEnd);

  out_ += toks_[i].trivia;
  out_ += negated ? "select case when not exists (" : "select case when exists (";
  if (!Trimmed(open + 1, close)) return false;
  out_ += ") then ";
  size_t alias = 0, ignored = 0;
  if (!Branch(a, aEnd, alias)) return false;
  out_ += " else ";
  if (!Branch(b, bEnd, ignored)) return false;
  out_ += " end";
  if (alias != 0) {
    out_ += " AS ";
    AppendName(out_, toks_[alias]);
  }
  next = bEnd;
  return true;
}

// A branch of an if: a lone "select expr" is inlined as expr (alias: the index
// of its "name =" name, else 0); anything longer becomes a scalar subquery.
bool Translator::Branch(size_t b, size_t e, size_t& alias) {
  const size_t j = b + 1;
  if (j == e) return Fail(b, "\"if exists\" needs a value after select");
  const bool plain = !IsAnyWord(toks_[j], {"distinct", "all", "top"});
  if (plain && Scan(j, e, IsItemEnd) == e) {
    if (e - j >= 3 && IsName(toks_[j]) && IsPunct(toks_[j + 1], "=")) {
      alias = j;
      return Trimmed(j + 2, e);
    }
    return Trimmed(j, e);
  }
  out_ += '(';
  const size_t mark = out_.size();
  size_t next = 0;
  if (!Select(b, e, next)) return false;
  size_t k = mark;
  while (k < out_.size() && IsBlank(out_[k])) ++k;
  out_.erase(mark, k - mark);
  out_ += ')';
  return true;
}

// Rewrites the T-SQL functions the backends lack; `handled` stays false for
// every other function, which then passes through.
bool Translator::Function(size_t i, size_t& next, bool& handled) {
  const std::string_view name = toks_[i].text;
  const size_t open = i + 1, close = match_[open];
  handled = true;
  if (EqualsNoCase(name, "convert")) {
    if (!Convert(i, open, close)) return false;
  } else if (EqualsNoCase(name, "isnull")) {
    out_ += toks_[i].trivia;
    out_ += "coalesce";
    next = i + 1;  // the arguments pass through
    return true;
  } else if (EqualsNoCase(name, "getdate")) {
    if (close != open + 1) return Fail(i, "getdate() takes no arguments");
    out_ += toks_[i].trivia;
    out_ += "CURRENT_TIMESTAMP";
  } else if (EqualsNoCase(name, "len")) {
    // T-SQL's len() does not count trailing blanks.
    out_ += toks_[i].trivia;
    out_ += "length(rtrim(";
    if (!Trimmed(open + 1, close)) return false;
    out_ += "))";
  } else if (EqualsNoCase(name, "object_id")) {
    // A table is known by its name here: object_id('t') is 't'.
    const size_t argEnd = Scan(open + 1, close, IsComma);
    if (argEnd == open + 1) return Fail(i, "object_id() needs a name");
    const bool single = argEnd == open + 2;
    out_ += toks_[i].trivia;
    if (!single) out_ += '(';
    if (!Trimmed(open + 1, argEnd)) return false;
    if (!single) out_ += ')';
  } else {
    handled = false;
    return true;
  }
  next = close + 1;
  return true;
}

// convert(type, value[, style]) as a cast; the style is dropped.
bool Translator::Convert(size_t i, size_t open, size_t close) {
  const size_t comma = Scan(open + 1, close, IsComma);
  const size_t valueEnd = comma == close ? close : Scan(comma + 1, close, IsComma);
  if (comma == close || comma + 1 == valueEnd) return Fail(i, "convert() needs a type and a value");
  const Token& type = toks_[open + 1];
  size_t typeEnd = open + 2;
  std::string_view size;  // "255" of varchar(255), empty when none
  if (IsPunct(toks_[typeEnd], "(")) {
    const size_t sizeClose = match_[typeEnd];
    if (sizeClose == typeEnd + 2) size = toks_[typeEnd + 1].text;
    typeEnd = sizeClose + 1;
  }
  if (type.kind != TokenKind::Word || typeEnd != comma) return Fail(open + 1, "convert() needs a type name");
  const bool postgres = backend_ == SqlBackend::Postgres;
  const bool sized = !size.empty() && !EqualsNoCase(size, "max");
  std::string target;
  if (IsAnyWord(type, {"bit", "tinyint", "smallint", "int", "integer"})) {
    target = "INTEGER";  // bit columns hold 0 or 1 already, so no <> 0 test
  } else if (IsWord(type, "bigint")) {
    target = postgres ? "BIGINT" : "INTEGER";
  } else if (IsAnyWord(type, {"varchar", "nvarchar", "char", "nchar", "text", "ntext", "sysname"})) {
    target = "TEXT";
    if (postgres && sized) {
      target = IsAnyWord(type, {"char", "nchar"}) ? "CHAR(" : "VARCHAR(";
      target += size;
      target += ')';
    }
  } else if (IsAnyWord(type, {"money", "smallmoney"})) {
    // Money is stored as a scaled integer already: no cast, only grouping.
    out_ += toks_[i].trivia;
    out_ += '(';
    if (!Trimmed(comma + 1, valueEnd)) return false;
    out_ += ')';
    return true;
  } else {
    return Fail(open + 1, "convert() to this type is not supported:");
  }
  out_ += toks_[i].trivia;
  out_ += "CAST(";
  if (!Trimmed(comma + 1, valueEnd)) return false;
  out_ += " AS ";
  out_ += target;
  out_ += ')';
  return true;
}

// syscolumns used as a table: the catalogue view under the same name, unless
// the statement gives it an alias of its own.
void Translator::Syscolumns(size_t i) {
  out_ += toks_[i].trivia;
  out_ += backend_ == SqlBackend::Postgres ? kPostgresSyscolumns : kSqliteSyscolumns;
  const Token& after = toks_[i + 1];
  const bool aliased =
      after.kind == TokenKind::QuotedName || (after.kind == TokenKind::Word && !IsClauseAfterTable(after));
  if (!aliased) out_ += " syscolumns";
}

// First words that make a text a statement rather than a procedure call.
bool IsStatementKeyword(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "select",  "insert",  "update",   "delete", "if",      "with",   "begin",   "commit",  "rollback",
      "create",  "drop",    "alter",    "pragma", "replace", "values", "explain", "vacuum",  "analyze",
      "set",     "declare", "truncate", "grant",  "revoke",  "attach", "detach",  "reindex", "savepoint",
      "release", "end",     "call",     "merge",  "while",   "return", "print",   "use",     "save"};
  for (std::string_view w : kWords)
    if (EqualsNoCase(word, w)) return true;
  return false;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Splits a leading procedure name (letters, digits, _ # @ $ and '.' for an
// owner prefix) off `s`; false when `s` does not start with one or the name
// is glued to something other than blanks.
bool TakeName(std::string_view& s, std::string_view& name) {
  if (s.empty() || !IsIdentStart(s.front())) return false;
  size_t k = 1;
  while (k < s.size() && (IsIdentChar(s[k]) || s[k] == '.')) ++k;
  if (k < s.size() && !IsBlank(s[k])) return false;
  name = s.substr(0, k);
  s = TrimBlanks(s.substr(k));
  return true;
}

}  // namespace

bool SqlDialect_Translate(std::string_view moduleSql, SqlBackend backend, std::string& out,
                          std::string& error) {
  out.clear();
  error.clear();
  std::vector<Token> toks;
  std::vector<size_t> match;
  toks.reserve(moduleSql.size() / 4 + 2);
  if (!Tokenize(moduleSql, toks, error) || !MatchParens(moduleSql, toks, match, error)) return false;
  out.reserve(moduleSql.size() + moduleSql.size() / 4);
  Translator translator(moduleSql, toks, match, backend, out, error);
  if (!translator.Range(0, toks.size() - 1, true)) {
    out.clear();
    return false;
  }
  out += toks.back().trivia;  // a trailing comment stays
  const std::string_view trimmed = TrimBlanks(out);
  if (trimmed.size() != out.size()) out = std::string(trimmed);
  return true;
}

bool SqlDialect_SplitProcedureCall(std::string_view text, std::string& name, std::string& params) {
  std::string_view rest = TrimBlanks(text);
  std::string_view first;
  if (!TakeName(rest, first)) return false;
  if (EqualsNoCase(first, "exec") || EqualsNoCase(first, "execute")) {
    if (!TakeName(rest, first) || IsStatementKeyword(first)) return false;
  } else if (IsStatementKeyword(first)) {
    return false;
  }
  name.assign(first);
  params.assign(rest);
  return true;
}

namespace {

// The code points of `text`; false when it is not valid UTF-8 (overlong
// forms, surrogates and values past U+10FFFF are refused) or holds NUL.
bool DecodeUtf8(std::string_view text, std::vector<char32_t>& out) {
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x06 ? 2
                          : (lead >> 4) == 0x0E ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return false;
      c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c == 0 || c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// `chars` as an SQL string literal.
std::string Literal(const std::vector<char32_t>& chars) {
  std::string out = "'";
  for (char32_t c : chars) {
    if (c == '\'') out += '\'';
    AppendUtf8(out, c);
  }
  return out + "'";
}

}  // namespace

bool SqlDialect_StartsWith(std::string_view column, std::string_view prefix, std::string& out) {
  std::vector<char32_t> low;
  if (prefix.empty() || !DecodeUtf8(prefix, low)) return false;
  for (char32_t& c : low)
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  // Every text that starts with `low` sorts before `high` (code point order
  // is UTF-8 byte order), and nothing else between them does.
  std::vector<char32_t> high = low;
  while (!high.empty() && high.back() == 0x10FFFF) high.pop_back();
  if (!high.empty()) high.back() = high.back() == 0xD7FF ? 0xE000 : high.back() + 1;
  const std::string folded = "lower(" + std::string(column) + ")";
  out = folded + ">=" + Literal(low);
  if (!high.empty()) out += " and " + folded + "<" + Literal(high);
  return true;
}

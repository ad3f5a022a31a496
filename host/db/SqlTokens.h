// The SQL tokenizer shared by the translators of host/db: tokens carry the
// blanks and comments before them ("trivia"), literals and quoted names are
// single tokens never looked into, and parentheses are paired.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace sqltok {

enum class TokenKind { Word, QuotedName, String, Number, Punct, End };

struct Token {
  TokenKind kind;
  std::string_view text;    // as written; a QuotedName keeps its delimiters
  std::string_view trivia;  // blanks and comments just before the token
  size_t pos;               // byte offset of `text` in the statement
};

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
// Bytes of UTF-8 sequences count as letters: names may hold any character.
inline bool IsIdentStart(char c) {
  return (Lower(c) >= 'a' && Lower(c) <= 'z') || c == '_' || c == '#' || c == '@' ||
         static_cast<unsigned char>(c) >= 0x80;
}
inline bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c) || c == '$'; }

inline bool EqualsNoCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != lower[i]) return false;
  return true;
}

inline bool IsWord(const Token& t, std::string_view lower) {
  return t.kind == TokenKind::Word && EqualsNoCase(t.text, lower);
}
inline bool IsPunct(const Token& t, std::string_view p) { return t.kind == TokenKind::Punct && t.text == p; }
inline bool IsName(const Token& t) { return t.kind == TokenKind::Word || t.kind == TokenKind::QuotedName; }

inline bool IsAnyWord(const Token& t, std::initializer_list<std::string_view> words) {
  if (t.kind != TokenKind::Word) return false;
  for (std::string_view w : words)
    if (EqualsNoCase(t.text, w)) return true;
  return false;
}

// "at position 24 near 'O''Brien 1..." (1-based byte position).
inline std::string Near(std::string_view sql, size_t pos) {
  std::string s = "at position " + std::to_string(pos + 1);
  if (pos < sql.size()) {
    std::string_view snippet = sql.substr(pos, 20);
    s += " near \"";
    s += snippet;
    if (pos + snippet.size() < sql.size()) s += "...";
    s += '"';
  }
  return s;
}

// Finds the end of a delimited token starting at `i` (the opening delimiter);
// a doubled closing delimiter stands for itself. npos when unterminated.
inline size_t DelimitedEnd(std::string_view sql, size_t i, char close) {
  for (size_t j = i + 1; j < sql.size(); ++j) {
    if (sql[j] != close) continue;
    if (j + 1 < sql.size() && sql[j + 1] == close) {
      ++j;
      continue;
    }
    return j + 1;
  }
  return std::string_view::npos;
}

inline bool Tokenize(std::string_view sql, std::vector<Token>& toks, std::string& error) {
  constexpr auto npos = std::string_view::npos;
  static constexpr std::string_view kTwoCharOps[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||", "::", "=="};
  const size_t n = sql.size();
  size_t i = 0;
  for (;;) {
    const size_t triviaStart = i;
    for (;;) {
      if (i < n && IsBlank(sql[i])) {
        ++i;
      } else if (sql.compare(i, 2, "--") == 0) {
        const size_t nl = sql.find('\n', i);
        i = nl == npos ? n : nl + 1;
      } else if (sql.compare(i, 2, "/*") == 0) {
        const size_t close = sql.find("*/", i + 2);
        if (close == npos) {
          error = "SqlDialect: unterminated comment " + Near(sql, i);
          return false;
        }
        i = close + 2;
      } else {
        break;
      }
    }
    const std::string_view trivia = sql.substr(triviaStart, i - triviaStart);
    if (i == n) {
      toks.push_back({TokenKind::End, {}, trivia, n});
      return true;
    }
    // N'...' is a Unicode literal in T-SQL; every literal is Unicode here.
    if ((sql[i] == 'N' || sql[i] == 'n') && i + 1 < n && sql[i + 1] == '\'') ++i;
    const size_t start = i;
    const char c = sql[i];
    TokenKind kind;
    if (c == '\'' || c == '"' || c == '[') {
      kind = c == '\'' ? TokenKind::String : TokenKind::QuotedName;
      i = DelimitedEnd(sql, i, c == '[' ? ']' : c);
      if (i == npos) {
        error = std::string("SqlDialect: unterminated ") + (c == '\'' ? "string literal " : "quoted name ") +
                Near(sql, start);
        return false;
      }
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      kind = TokenKind::Number;
      while (i < n && (IsDigit(sql[i]) || sql[i] == '.')) ++i;
      if (i < n && (sql[i] == 'e' || sql[i] == 'E') && i + 1 < n &&
          (IsDigit(sql[i + 1]) ||
           ((sql[i + 1] == '+' || sql[i + 1] == '-') && i + 2 < n && IsDigit(sql[i + 2]))))
        i += 2;
      while (i < n && IsIdentChar(sql[i])) ++i;  // exponent digits, 0x1F
    } else if (IsIdentStart(c)) {
      kind = TokenKind::Word;
      while (i < n && IsIdentChar(sql[i])) ++i;
    } else {
      kind = TokenKind::Punct;
      ++i;
      for (std::string_view op : kTwoCharOps)
        if (sql.compare(start, 2, op) == 0) {
          i = start + 2;
          break;
        }
    }
    toks.push_back({kind, sql.substr(start, i - start), trivia, start});
  }
}

// match[i] is the index of the parenthesis paired with the one at i.
inline bool MatchParens(std::string_view sql, const std::vector<Token>& toks, std::vector<size_t>& match,
                 std::string& error) {
  match.assign(toks.size(), 0);
  std::vector<size_t> open;
  for (size_t i = 0; i < toks.size(); ++i) {
    if (IsPunct(toks[i], "(")) {
      open.push_back(i);
    } else if (IsPunct(toks[i], ")")) {
      if (open.empty()) {
        error = "SqlDialect: \")\" without \"(\" " + Near(sql, toks[i].pos);
        return false;
      }
      match[i] = open.back();
      match[open.back()] = i;
      open.pop_back();
    }
  }
  if (!open.empty()) {
    error = "SqlDialect: \"(\" is never closed " + Near(sql, toks[open.back()].pos);
    return false;
  }
  return true;
}

}  // namespace sqltok

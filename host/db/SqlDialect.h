// Translates the module's SQL (T-SQL flavoured) into the backend's dialect.
// A real tokenizer, not text substitution: string literals, quoted names and
// comments are never rewritten.
//
// What it handles: names with '#' (po#, statement#) quoted; " for browse"
// dropped; convert(bit,x), convert(varchar(n),x), convert(int,x),
// convert(money,x) as casts; "if exists (q) select a else select b" as one
// select; "name=expr" select aliases as "expr AS name"; syscolumns and
// object_id('t') through the catalogue; "+" between string literals kept as
// concatenation only where both sides are literals; getdate(); isnull(a,b)
// as coalesce; "select top n" as "limit n".
#pragma once

#include <string>
#include <string_view>

enum class SqlBackend { Sqlite, Postgres };

// False with a message naming the offending token when the text cannot be
// translated (an unterminated literal, unbalanced parentheses).
bool SqlDialect_Translate(std::string_view moduleSql, SqlBackend backend,
                          std::string& out, std::string& error);

// Recognises a stored-procedure call: "<name> <arguments>" whose first word is
// not an SQL keyword (select, insert, update, delete, if, with, begin, commit,
// rollback, create, drop, alter, pragma, ...), or "exec|execute <name>
// <arguments>". On true: `name` is the procedure name as written and `params`
// the raw argument text after it (blanks around it trimmed, may be empty).
// On false the text is a statement for SqlDialect_Translate; the outputs are
// then unspecified. Never translates or checks the arguments.
bool SqlDialect_SplitProcedureCall(std::string_view text, std::string& name,
                                   std::string& params);

// The condition "`column` starts with `prefix`", ignoring the case of ASCII
// letters, in the module's dialect, as a range that an index on
// lower(column) answers: "lower(column)>='abc' and lower(column)<'abd'".
// The prefix is data: apostrophes are doubled, and % and _ stand for
// themselves. The low bound is the prefix with A-Z folded to a-z (as the
// backends' lower() folds; other letters keep their case, as with LIKE);
// the high bound is the low one with its last character moved on by one
// code point, a last U+10FFFF dropped and the one before moved on instead
// (U+D7FF moves to U+E000: surrogates are no characters). A prefix of
// nothing but U+10FFFF has only the low bound. Returns false, `out`
// unchanged, when the prefix is empty (no condition) or not valid UTF-8
// (or holds NUL).
bool SqlDialect_StartsWith(std::string_view column, std::string_view prefix, std::string& out);

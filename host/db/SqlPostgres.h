// The session's own SQL (the form SQLite runs as written) rewritten for
// PostgreSQL, one statement at a time (SqlPostgres.cpp says what changes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct PgStatement {
  std::string text;    // the statement as given (without its ';')
  std::string sql;     // as PostgreSQL runs it; empty for blanks and comments only
  std::string after;   // a statement to run once `sql` has succeeded ("" for none)
  int params = 0;      // the highest parameter number used
  bool readOnly = false;
  bool control = false;   // begins or ends a transaction or a savepoint
  bool schema = false;    // changes the schema (CREATE, ALTER, DROP)
};

// Translates the first statement of `sql`; `used` gets how many bytes it
// took (its ';' included). `libraryTypes`: the database has the library's
// domains (INTEGER becomes INT64, a cast to DEC64 keeps the domain); else
// INTEGER is a plain bigint, as in a database of another program. False
// with `error` for text that cannot be cut into tokens (an unterminated
// literal, unpaired parentheses).
bool SqlPostgres_Translate(std::string_view sql, bool libraryTypes, PgStatement& out,
                           size_t& used, std::string& error);

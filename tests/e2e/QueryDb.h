// Reads a test database directly, outside the client, to check what a run
// left in it.
#pragma once

#include <sqlite3.h>

#include <string>

namespace e2e {

// The first row of `sql` on the database file `path`, its columns joined by
// "|" (NULL as ""); "(no row)" when there is none, or the error.
inline std::string QueryRow(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "(cannot open " + path + ")";
  }
  sqlite3_stmt* stmt = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    out = std::string("(error: ") + sqlite3_errmsg(db) + ")";
  } else if (sqlite3_step(stmt) != SQLITE_ROW) {
    out = "(no row)";
  } else {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      out += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return out;
}

}  // namespace e2e

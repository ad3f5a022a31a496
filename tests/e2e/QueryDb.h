// Reads a test database directly, outside the client, to check what a run
// left in it.
#pragma once

#include <string>

#include "support/TestLibrary.h"

namespace e2e {

// The first row of `sql` on the database `target` (a file or a server URI),
// its columns joined by "|" (NULL as ""); "(no row)" when there is none, or
// "(error: ...)".
inline std::string QueryRow(const std::string& target, const std::string& sql) {
  const std::vector<std::string> rows = testlib::detail::Rows(target, sql, "");
  if (rows.empty()) return "(no row)";
  if (rows.front().rfind("error: ", 0) == 0) return "(" + rows.front() + ")";
  return rows.front();
}

}  // namespace e2e

// The page of the browser client: the files of serve/www, compiled in.
#pragma once

#include <string_view>
#include <vector>

struct WwwFile {
  std::string_view name;    // "index.html", "app.js" (no folders)
  std::string_view bytes;
};
const std::vector<WwwFile>& Www_Files();

// The box for choosing several files to read, over the UI driver's
// question for files: a browser uploads them first, a terminal takes
// typed paths, a script answers with paths.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "host/muc/MucFilet.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace {

// Why `path` is not a file this program can read ("" when it is).
std::string Unreadable(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return "does not exist.";
  if (std::filesystem::is_directory(status)) return "is a folder, not a file.";
  if (!std::filesystem::is_regular_file(status)) return "is not a file.";
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "cannot be read.";
  std::fclose(f);
  return {};
}

}  // namespace

bool MucFilet_MultiFileOpenBox(std::string_view title, std::string_view filter,
                               std::string& directory, std::vector<std::string>& paths) {
  UiDriver* driver = Ui_Driver();
  if (!driver) return false;
  for (;;) {
    std::optional<std::vector<std::string>> answer = driver->AskFiles(title, filter, directory);
    if (!answer || answer->empty()) return false;
    std::vector<std::string> chosen;
    std::string refused;
    for (const std::string& given : *answer) {
      std::error_code ec;
      std::filesystem::path full = std::filesystem::absolute(given, ec);
      if (ec) full = given;
      full = full.lexically_normal();
      if (std::string why = Unreadable(full); !why.empty()) {
        refused = "\"" + Lb_CutForMessage(given) + "\" " + why;
        break;
      }
      chosen.push_back(full.string());
    }
    if (!refused.empty()) {
      // Nothing is taken from an answer with a bad path: the person chooses again.
      MucTools_MsgBox(nullptr, title, refused, MB_OK | MB_ICONWARNING);
      continue;
    }
    directory = std::filesystem::path(chosen.front()).parent_path().string();
    paths = std::move(chosen);
    return true;
  }
}

// The save-as box over the UI driver's text question: a browser or a
// terminal asks for a line, a script answers it.
#include "host/muc/MucFilet.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string MucFilet_BadFileName(std::string_view name) {
  if (name.empty()) return "Enter a file name.";
  if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos ||
      name.find("..") != std::string_view::npos || name == ".")
    return "Enter a file name only, without a folder: the file goes into the folder "
           "your files are kept in.";
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return "A file name cannot hold control characters.";
  if (!Lb_IsValidUtf8(name)) return "The file name is not valid text.";
  return {};
}

bool MucFilet_FileSaveAsBox(std::string_view title, std::string_view offeredName,
                            std::string& path) {
  UiDriver* driver = Ui_Driver();
  if (!driver) return false;
  std::string offer(offeredName);
  for (;;) {
    std::optional<std::string> answer = driver->AskText(title, offer, false);
    if (!answer) return false;
    std::string name(TrimBlanks(*answer));
    if (!name.empty()) offer = name;   // asked again, the person corrects their answer
    if (std::string why = MucFilet_BadFileName(name); !why.empty()) {
      MucTools_MsgBox(nullptr, title,
                      name.empty() ? why : "\"" + Lb_CutForMessage(name) + "\": " + why,
                      MB_OK | MB_ICONWARNING);
      continue;
    }
    std::string full = MucTools_OutputFolder() + "/" + name;
    const std::string quoted = "\"" + Lb_CutForMessage(name) + "\"";
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(full, ec);
    if (std::filesystem::is_directory(status)) {
      MucTools_MsgBox(nullptr, title, quoted + " is a folder. Enter a file name.",
                      MB_OK | MB_ICONWARNING);
      continue;
    }
    if (std::filesystem::exists(status) &&
        MucTools_MsgBox(nullptr, title, quoted + " already exists. Replace it?",
                        MB_YESNO | MB_ICONQUESTION) != IDYES)
      continue;
    path = std::move(full);
    return true;
  }
}

void MucFilet_FileWritten(const std::string& path) {
  // The title is the name the browser saves the download under.
  MucTools_FileWritten(path, path.substr(path.rfind('/') + 1));
}

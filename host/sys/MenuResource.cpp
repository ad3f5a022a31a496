// Menu files of a language library ("<module>.<lang>.mnu", UTF-8), read
// beside its string table. One statement a line; blank lines and lines
// whose first word starts with '#' are skipped; indentation is only for
// the reader; words are runs of non-blanks or "double-quoted" text (\", \\,
// \n, \r and \t the only escapes):
//
//   menu ID                  a menu (1 to 65535); the statements below are its own
//   popup "Text"             a popup of the menu bar, in order
//   item "Text" COMMAND      a command of the popup (1 to 65535); "&" marks
//                            the key letter
//   separator                a line between items
//
// A command appears once in a menu: its state (enabled or not) is kept per
// command, so a second item with it could never differ from the first.
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

namespace {

// A whole number in [1, 65535] written in decimal.
bool ParseId(const LbWord& word, int& out) {
  if (word.quoted || word.text.empty() || word.text.size() > 5) return false;
  int value = 0;
  for (char c : word.text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  out = value;
  return true;
}

// One statement into `menus`; false with `why`.
bool ParseStatement(const std::vector<LbWord>& w, std::vector<LbMenu>& menus,
                    std::set<int>& commandsOfMenu, std::string& why) {
  const std::string& verb = w[0].text;
  if (verb == "menu") {
    int id = 0;
    if (w.size() != 2 || !ParseId(w[1], id)) {
      why = "'menu' needs one ID (1 to 65535)";
      return false;
    }
    for (const LbMenu& m : menus)
      if (m.id == id) {
        why = "a second menu " + std::to_string(id);
        return false;
      }
    menus.push_back(LbMenu{id, {}});
    commandsOfMenu.clear();
    return true;
  }
  if (menus.empty()) {
    why = "'" + Lb_CutForMessage(verb) + "' before the first 'menu'";
    return false;
  }
  LbMenu& menu = menus.back();
  if (verb == "popup") {
    if (w.size() != 2 || w[1].text.empty()) {
      why = "'popup' needs one \"Text\"";
      return false;
    }
    menu.popups.push_back(LbMenuPopup{w[1].text, {}});
    return true;
  }
  if (verb != "item" && verb != "separator") {
    why = "unknown statement '" + Lb_CutForMessage(verb) + "' (menu, popup, item or separator)";
    return false;
  }
  if (menu.popups.empty()) {
    why = "'" + verb + "' before the menu's first 'popup'";
    return false;
  }
  if (verb == "separator") {
    if (w.size() != 1) {
      why = "'separator' takes no arguments";
      return false;
    }
    menu.popups.back().items.push_back(LbMenuItem{});
    return true;
  }
  int command = 0;
  if (w.size() != 3 || w[1].text.empty() || !ParseId(w[2], command)) {
    why = "'item' needs \"Text\" and a COMMAND (1 to 65535)";
    return false;
  }
  if (!commandsOfMenu.insert(command).second) {
    why = "command " + std::to_string(command) + " is in menu " + std::to_string(menu.id) +
          " already";
    return false;
  }
  menu.popups.back().items.push_back(LbMenuItem{w[1].text, static_cast<uint16_t>(command)});
  return true;
}

}  // namespace

bool LbUtil_ParseMenus(std::string_view text, std::vector<LbMenu>& out, std::string& error) {
  std::vector<LbMenu> menus;
  std::set<int> commandsOfMenu;
  int lineNo = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    if (lineNo == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<LbWord> words;
    std::string why;
    if (!Lb_SplitWords(line, words, why, true) ||
        (!words.empty() && !ParseStatement(words, menus, commandsOfMenu, why))) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
  }
  out = std::move(menus);
  return true;
}

bool LbUtil_LoadMenu(HINSTANCE resInstance, int id, LbMenu& out, std::string& error) {
  const std::string path = LbUtil_ResourceFilePath(resInstance, "mnu");
  if (path.empty()) {
    error = "no language library is loaded";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "no menu file " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  std::vector<LbMenu> menus;
  std::string why;
  if (!LbUtil_ParseMenus(text.str(), menus, why)) {
    error = path + ": " + why;
    return false;
  }
  for (LbMenu& menu : menus)
    if (menu.id == id) {
      out = std::move(menu);
      Lib_Trace("LbUtil_LoadMenu: " + path + ", menu " + std::to_string(id) + ", " +
                std::to_string(out.popups.size()) + " popups");
      return true;
    }
  error = path + ": no menu " + std::to_string(id);
  return false;
}

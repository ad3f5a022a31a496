// The frame's menu bar from the module's menu resource, and menu texts as
// a person types them.
#include "host/frame/FrameMenu.h"

#include <cctype>
#include <vector>

#include "host/sys/LbStr.h"

namespace {

constexpr int kFrameMenuId = 1;

// The text compared: plain, trimmed, lower case (ASCII).
std::string Key(std::string_view text) {
  std::string plain = FrameMenu_PlainText(text);
  size_t first = plain.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  size_t last = plain.find_last_not_of(" \t");
  std::string key = plain.substr(first, last - first + 1);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

struct Match {
  const LbMenuPopup* popup;
  const LbMenuItem* item;
};

}  // namespace

std::string FrameMenu_PlainText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out.push_back(text[i]);
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      out.push_back('&');
      ++i;
    }
  }
  if (out.size() > 3 && out.compare(out.size() - 3, 3, "...") == 0) out.resize(out.size() - 3);
  return out;
}

bool FrameMenu_SameText(std::string_view a, std::string_view b) { return Key(a) == Key(b); }

bool FrameMenu::Load(HINSTANCE res, std::string& error) {
  loaded_ = LbUtil_LoadMenu(res, kFrameMenuId, menu_, error);
  if (!loaded_) menu_ = LbMenu{};
  return loaded_;
}

HMENU FrameMenu::Build() const {
  if (!loaded_) return nullptr;
  HMENU bar = CreateMenu();
  for (const LbMenuPopup& popup : menu_.popups) {
    HMENU sub = CreateMenu();
    for (const LbMenuItem& item : popup.items)
      if (item.command != 0) AppendMenuW(sub, item.text, item.command);
    AppendMenuW(bar, popup.text, 0, sub);
  }
  return bar;
}

std::string FrameMenu::Text(UINT id) const {
  for (const LbMenuPopup& popup : menu_.popups)
    for (const LbMenuItem& item : popup.items)
      if (item.command != 0 && item.command == id) return FrameMenu_PlainText(item.text);
  return {};
}

bool FrameMenu::Resolve(std::string_view text, UINT& id, std::string& error) const {
  const std::string wanted = Key(text);
  std::vector<Match> matches;
  auto collect = [&](const LbMenuPopup& popup, const std::string& itemKey) {
    for (const LbMenuItem& item : popup.items)
      if (item.command != 0 && Key(item.text) == itemKey) matches.push_back({&popup, &item});
  };
  // "Popup/Item" when the part before a slash names a popup; otherwise the
  // whole text is an item's (an item's text may hold a slash itself).
  if (size_t slash = text.find('/'); slash != std::string_view::npos) {
    const std::string popupKey = Key(text.substr(0, slash));
    const std::string itemKey = Key(text.substr(slash + 1));
    for (const LbMenuPopup& popup : menu_.popups)
      if (Key(popup.text) == popupKey) collect(popup, itemKey);
  }
  if (matches.empty() && !wanted.empty())
    for (const LbMenuPopup& popup : menu_.popups) collect(popup, wanted);

  if (matches.empty()) {
    const std::string shown = "\"" + Lb_CutForMessage(text) + "\"";
    error = loaded_ ? "no menu item " + shown + " (the action 'menu' lists them)"
                    : "no menu item " + shown + ": the module has no menu";
    return false;
  }
  bool same = true;
  for (const Match& m : matches) same = same && m.item->command == matches[0].item->command;
  if (!same) {
    error = "the menu item \"" + Lb_CutForMessage(text) + "\" is ambiguous:";
    for (const Match& m : matches)
      error += " \"" + FrameMenu_PlainText(m.popup->text) + "/" +
               FrameMenu_PlainText(m.item->text) + "\" (" + std::to_string(m.item->command) + ")";
    return false;
  }
  id = matches[0].item->command;
  return true;
}

// The frame's menu bar: menu 1 of the module's menu file (a resource of its
// language library, "<module>.<lang>.mnu"), whose items send the module's
// command numbers. The popups' positions are the module's to count on (it
// gives each popup the context-help id of its position).
#pragma once

#include <string>
#include <string_view>

#include "host/sys/RunTime.h"
#include "host/win32/Win32.h"

class FrameMenu {
 public:
  // Reads the menu bar from the language library `res`. False with `error`
  // when the module has none (the frame then runs without a menu bar and
  // takes commands by number only).
  bool Load(HINSTANCE res, std::string& error);
  bool loaded() const { return loaded_; }
  const LbMenu& menu() const { return menu_; }

  // A new menu bar for the frame window (which owns it); nullptr when none
  // was loaded.
  HMENU Build() const;
  // The text of command `id` as a person reads it ("New PO"); "" when the
  // menu has no such item.
  std::string Text(UINT id) const;
  // The command of a menu text: "Item" or "Popup/Item", compared as a
  // person reads them ("&" and a trailing "..." ignored, any case). False
  // with `error` when no item or more than one command has that text.
  bool Resolve(std::string_view text, UINT& id, std::string& error) const;

 private:
  bool loaded_ = false;
  LbMenu menu_;
};

// A menu text as a person reads it: without the "&" key marks ("&&" is a
// literal "&") and a trailing "...".
std::string FrameMenu_PlainText(std::string_view text);
// Whether two menu texts read the same: plain, blanks around them ignored,
// any case (ASCII).
bool FrameMenu_SameText(std::string_view a, std::string_view b);

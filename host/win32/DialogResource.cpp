// Dialog templates and accelerator tables of a module's resources: the file
// "<module>.<lang>.dlg" beside the language library's string table, read
// once per process and kept (handles stay valid to the end).
//
// The file (UTF-8), one statement a line; blank lines and lines whose first
// word starts with '#' are skipped; words are runs of non-blanks or
// "double-quoted" text with \", \\, \n, \r and \t as the only escapes:
//
//   dialog ID "Caption"                      a template; its controls follow,
//     control ID KIND NAME "Text" [FLAG...]  indented (blank or tab first)
//   accelerators ID                          an accelerator table; its keys
//     KEY COMMAND                            follow, indented
//
// KIND is button, edit, static, check, radio, list, progress (a progress
// bar: the program sets how much of it is filled; "Text" is unused, give
// ""), choice (a drop-down of the program's options; "Text" is its
// label and it starts with none chosen) or tree (items in a hierarchy that
// the program fills; "Text" is its label and it starts empty). NAME is the
// column the control shows ("-" for none; a tree: the name a script knows
// it by). FLAGs: default
// (a button: the default button, one per template), disabled, checked (a
// check box or radio), group (a radio starting a group), hidden (any
// control: not shown and taking no action until the program shows it). KEY is a key
// name with optional modifiers: "Ctrl+F", "Shift+F5", "Ctrl+Alt+Del", "Enter";
// keys are A-Z, 0-9, F1-F24, Enter, Escape, Tab, Space, Backspace, Delete,
// Insert, Home, End, PageUp, PageDown, Up, Down, Left, Right (case does not
// matter; Esc, Return, Del, Ins, PgUp, PgDn are accepted too). COMMAND is a
// number 1 to 65535. Ids are 1 to 65535, unique per kind (templates, tables)
// and per template (controls).
//
// A file with an error is a programming error: it is reported once
// (KtSystem_Error, "file:line: reason") and none of its resources load.
#include <cctype>
#include <cstdlib>
#include <utility>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/win32/Dialog.h"
#include "host/sys/LbStr.h"

struct AcceleratorImpl {
  int id = 0;
  std::map<std::string, UINT> commands;  // canonical key name -> command
};

namespace {

struct ResourceFile {
  std::map<int, DialogTemplate> dialogs;
  std::map<int, std::unique_ptr<AcceleratorImpl>> tables;
};

struct ResourceCache {
  std::mutex mutex;
  // By path; an entry is never removed, so table handles stay valid.
  std::map<std::string, std::unique_ptr<ResourceFile>> files;
  // The table attached to each window (entries of destroyed windows are
  // dropped when met; a destroyed handle never comes back as a new window).
  std::map<HWND, HACCEL> attached;
};

ResourceCache& Cache() {
  static ResourceCache* cache = new ResourceCache;  // outlives static destructors
  return *cache;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// ---- key names --------------------------------------------------------------------

struct NamedKey {
  const char* spelled;    // lower case
  const char* canonical;
};
constexpr NamedKey kNamedKeys[] = {
    {"enter", "Enter"},       {"return", "Enter"},       {"escape", "Escape"},
    {"esc", "Escape"},        {"tab", "Tab"},            {"space", "Space"},
    {"backspace", "Backspace"}, {"delete", "Delete"},    {"del", "Delete"},
    {"insert", "Insert"},     {"ins", "Insert"},         {"home", "Home"},
    {"end", "End"},           {"pageup", "PageUp"},      {"pgup", "PageUp"},
    {"pagedown", "PageDown"}, {"pgdn", "PageDown"},      {"up", "Up"},
    {"down", "Down"},         {"left", "Left"},          {"right", "Right"},
};

// The key itself (no modifiers) in canonical spelling; "" when unknown.
std::string CanonicalKey(std::string_view key) {
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0])))
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))));
  std::string lower = Lower(key);
  if (lower.size() >= 2 && lower.size() <= 3 && lower[0] == 'f') {
    int n = 0;
    for (size_t i = 1; i < lower.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(lower[i]))) return {};
      n = n * 10 + (lower[i] - '0');
    }
    return n >= 1 && n <= 24 && lower[1] != '0' ? "F" + std::to_string(n) : std::string();
  }
  for (const NamedKey& k : kNamedKeys)
    if (lower == k.spelled) return k.canonical;
  return {};
}

// "Ctrl+Alt+Shift+Key" with the modifiers in that order; "" when `name` is
// not a key.
std::string CanonicalKeyName(std::string_view name) {
  bool ctrl = false, alt = false, shift = false;
  std::string_view rest = name;
  for (;;) {
    size_t plus = rest.find('+');
    if (plus == std::string_view::npos || plus + 1 == rest.size()) break;
    std::string modifier = Lower(rest.substr(0, plus));
    bool* flag = modifier == "ctrl" || modifier == "control" ? &ctrl
                 : modifier == "alt"                         ? &alt
                 : modifier == "shift"                       ? &shift
                                                             : nullptr;
    if (flag == nullptr || *flag) return {};
    *flag = true;
    rest.remove_prefix(plus + 1);
  }
  std::string key = CanonicalKey(rest);
  if (key.empty()) return {};
  return std::string(ctrl ? "Ctrl+" : "") + (alt ? "Alt+" : "") + (shift ? "Shift+" : "") + key;
}

// ---- parsing ------------------------------------------------------------------------

// Words of a line; false with `error` for an unterminated quote or a bad escape.
bool SplitLine(std::string_view line, std::vector<std::string>& words, std::string& error) {
  std::vector<LbWord> split;
  if (!Lb_SplitWords(line, split, error, false)) return false;
  words.clear();
  for (LbWord& w : split) words.push_back(std::move(w.text));
  return true;
}

bool ParseId(const std::string& text, int& out) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  out = std::atoi(text.c_str());
  return out >= 1 && out <= 0xFFFF;
}

bool ParseKind(const std::string& word, ControlKind& kind) {
  static const std::pair<const char*, ControlKind> kinds[] = {
      {"button", ControlKind::Button}, {"edit", ControlKind::Edit},
      {"static", ControlKind::Static}, {"check", ControlKind::Check},
      {"radio", ControlKind::Radio},
      {"list", ControlKind::List},     {"progress", ControlKind::Progress},
      {"choice", ControlKind::Choice}, {"tree", ControlKind::Tree},
  };
  for (const auto& [name, k] : kinds)
    if (word == name) {
      kind = k;
      return true;
    }
  return false;
}

// "control ID KIND NAME "Text" [FLAG...]" into `tmpl`.
bool ParseControl(const std::vector<std::string>& w, DialogTemplate& tmpl, std::string& error) {
  DialogControl c;
  if (w[0] != "control" || w.size() < 5) {
    error = "expected: control ID KIND NAME \"Text\" [default|disabled|checked|group|hidden ...]";
    return false;
  }
  if (!ParseId(w[1], c.id)) {
    error = "control id '" + w[1] + "' is not a number from 1 to 65535";
    return false;
  }
  if (!ParseKind(w[2], c.kind)) {
    error = "unknown control kind '" + w[2] + "' (button, edit, static, check, radio, list, progress, choice, tree)";
    return false;
  }
  c.name = w[3] == "-" ? std::string() : w[3];
  c.text = w[4];
  if (c.kind == ControlKind::Choice || c.kind == ControlKind::Tree) c.label = std::exchange(c.text, std::string());
  for (size_t i = 5; i < w.size(); ++i) {
    if (w[i] == "default" && c.kind == ControlKind::Button) {
      c.isDefault = true;
    } else if (w[i] == "disabled") {
      c.enabled = false;
    } else if (w[i] == "hidden") {
      c.visible = false;
    } else if (w[i] == "checked" &&
               (c.kind == ControlKind::Check || c.kind == ControlKind::Radio)) {
      c.checked = true;
    } else if (w[i] == "group" && c.kind == ControlKind::Radio) {
      c.groupStart = true;
    } else {
      error = "flag '" + w[i] + "' does not fit a " + w[2] + " control";
      return false;
    }
  }
  for (const DialogControl& other : tmpl.controls) {
    if (other.id == c.id) {
      error = "control id " + w[1] + " used twice in dialog " + std::to_string(tmpl.id);
      return false;
    }
    if (other.isDefault && c.isDefault) {
      error = "a second default button in dialog " + std::to_string(tmpl.id);
      return false;
    }
  }
  if (c.kind == ControlKind::Radio) {
    if (tmpl.controls.empty() || tmpl.controls.back().kind != ControlKind::Radio) c.groupStart = true;
    // At most one radio of a group starts checked.
    for (auto it = tmpl.controls.rbegin(); c.checked && it != tmpl.controls.rend() &&
                                           it->kind == ControlKind::Radio && !c.groupStart;
         ++it) {
      if (it->checked) {
        error = "a second checked radio in a group of dialog " + std::to_string(tmpl.id);
        return false;
      }
      if (it->groupStart) break;
    }
  }
  tmpl.controls.push_back(std::move(c));
  return true;
}

bool ParseKey(const std::vector<std::string>& w, AcceleratorImpl& table, std::string& error) {
  int command = 0;
  if (w.size() != 2) {
    error = "expected: KEY COMMAND";
    return false;
  }
  std::string key = CanonicalKeyName(w[0]);
  if (key.empty()) {
    error = "unknown key '" + w[0] + "'";
    return false;
  }
  if (!ParseId(w[1], command)) {
    error = "command '" + w[1] + "' is not a number from 1 to 65535";
    return false;
  }
  if (!table.commands.emplace(key, static_cast<UINT>(command)).second) {
    error = "key " + key + " used twice in table " + std::to_string(table.id);
    return false;
  }
  return true;
}

// The whole file; false with "line N: reason" in `error`.
bool ParseResources(std::istream& in, ResourceFile& out, std::string& error) {
  enum class Block { None, Dialog, Accelerators } block = Block::None;
  DialogTemplate* dialog = nullptr;
  AcceleratorImpl* table = nullptr;
  std::string line;
  int lineNo = 0;
  std::vector<std::string> w;
  while (std::getline(in, line)) {
    ++lineNo;
    if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    std::string why;
    if (!SplitLine(line, w, why)) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
    if (w.empty() || w[0][0] == '#') continue;
    const bool indented = line[0] == ' ' || line[0] == '\t';
    bool ok = true;
    int id = 0;
    if (indented && block == Block::Dialog) {
      ok = ParseControl(w, *dialog, why);
    } else if (indented && block == Block::Accelerators) {
      ok = ParseKey(w, *table, why);
    } else if (indented) {
      ok = false;
      why = "an indented line outside a dialog or accelerator table";
    } else if (w[0] == "dialog") {
      ok = w.size() == 3 && ParseId(w[1], id);
      if (!ok) {
        why = "expected: dialog ID \"Caption\" (ID from 1 to 65535)";
      } else if (out.dialogs.count(id)) {
        ok = false;
        why = "dialog " + w[1] + " defined twice";
      } else {
        dialog = &out.dialogs[id];
        dialog->id = id;
        dialog->caption = w[2];
        block = Block::Dialog;
      }
    } else if (w[0] == "accelerators") {
      ok = w.size() == 2 && ParseId(w[1], id);
      if (!ok) {
        why = "expected: accelerators ID (ID from 1 to 65535)";
      } else if (out.tables.count(id)) {
        ok = false;
        why = "accelerator table " + w[1] + " defined twice";
      } else {
        auto created = std::make_unique<AcceleratorImpl>();
        created->id = id;
        table = created.get();
        out.tables.emplace(id, std::move(created));
        block = Block::Accelerators;
      }
    } else {
      ok = false;
      why = "unknown statement '" + w[0] + "' (dialog or accelerators)";
    }
    if (!ok) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
  }
  return true;
}

// The resources of `res`, read on first use; nullptr when it has no
// resource file or the file is broken (reported once).
const ResourceFile* ResourcesOf(HINSTANCE res) {
  std::string path = LbUtil_ResourceFilePath(res, "dlg");
  if (path.empty()) return nullptr;
  ResourceCache& cache = Cache();
  std::string broken;
  const ResourceFile* found = nullptr;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.files.find(path);
    if (it == cache.files.end()) {
      auto file = std::make_unique<ResourceFile>();
      std::ifstream in(path, std::ios::binary);
      std::string error;
      if (!in) {
        Lib_Trace("Dialog: no resource file " + path);
      } else if (!ParseResources(in, *file, error)) {
        broken = path + ": " + error;
        *file = ResourceFile{};
      } else {
        Lib_Trace("Dialog: " + path + ", " + std::to_string(file->dialogs.size()) +
                  " dialogs, " + std::to_string(file->tables.size()) + " accelerator tables");
      }
      it = cache.files.emplace(path, std::move(file)).first;
    }
    found = it->second.get();
  }
  // Outside the lock: the error sink may show a dialog of its own.
  if (!broken.empty()) KtSystem_Error("Dialog resources: " + broken);
  return found;
}

}  // namespace

std::optional<DialogTemplate> LoadDialogTemplate(HINSTANCE res, int id) {
  const ResourceFile* file = ResourcesOf(res);
  if (file == nullptr) return std::nullopt;
  auto it = file->dialogs.find(id);
  if (it == file->dialogs.end()) return std::nullopt;
  return it->second;
}

HWND CreateDialogParamW(HINSTANCE res, int templateId, HWND parent, DLGPROC proc,
                        LPARAM param) {
  std::optional<DialogTemplate> tmpl = LoadDialogTemplate(res, templateId);
  if (!tmpl) return nullptr;
  return CreateDialogIndirectParamW(*tmpl, parent, proc, param);
}

HACCEL LoadAcceleratorsW(HINSTANCE res, int tableId) {
  const ResourceFile* file = ResourcesOf(res);
  if (file == nullptr) return nullptr;
  auto it = file->tables.find(tableId);
  return it == file->tables.end() ? nullptr : it->second.get();
}

std::string GetAcceleratorKey(HACCEL table, UINT command) {
  if (table == nullptr) return {};
  for (const auto& [key, sent] : table->commands)
    if (sent == command) return key;
  return {};
}

bool _Win32_SetAccelTable(HWND hwnd, HACCEL table) {
  if (!IsWindow(hwnd)) return false;
  ResourceCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  std::erase_if(cache.attached, [](const auto& entry) { return !IsWindow(entry.first); });
  if (table)
    cache.attached[hwnd] = table;
  else
    cache.attached.erase(hwnd);
  return true;
}

UINT TranslateAcceleratorKey(HWND hwnd, std::string_view key) {
  std::string canonical = CanonicalKeyName(key);
  if (canonical.empty() || !IsWindow(hwnd)) return 0;
  ResourceCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto it = cache.attached.find(hwnd);
  if (it == cache.attached.end()) return 0;
  auto command = it->second->commands.find(canonical);
  return command == it->second->commands.end() ? 0 : command->second;
}

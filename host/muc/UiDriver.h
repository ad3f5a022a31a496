// The one seam between the program and a person. Every question the module
// asks and every window it shows goes through the installed driver: the
// scripted driver (answers from a script, writes a transcript) or the
// terminal driver (asks a person at a terminal). Later drivers render
// dialogs, listers and editors from their templates and definitions.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Message-box answers, numbered as Win32's IDOK .. IDNO.
enum class MsgAnswer : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
enum class MsgButtons : int { Ok = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
enum class MsgIcon : int { None = 0, Error = 0x10, Question = 0x20, Warning = 0x30, Information = 0x40 };

// A person's credentials given at a security prompt.
struct Credentials { std::string user; std::string password; };

// What a person sees of a window: caption, fields, buttons and labels in
// template order, and its lists (a lister's rows, an editor's child rows, a
// dialog's list controls): column headings and rows with the selection and
// marks. Built by the framework (MrUi.h), shown by the driver.
struct UiWindowView {
  std::string caption;
  std::string kind;   // "dialog 100", "lister vendor_find", "editor vendor, changed"
  struct Item {
    enum class Kind { Field, Button, Label } kind = Kind::Field;
    int id = 0;
    std::string name;    // Field: the name a script gives it (column, or the id)
    std::string text;    // Field: its value; Button, Label: the text
    bool enabled = true;
    bool isDefault = false;
    bool isCheck = false;   // Field: a check box ("Yes" or "No")
    int radioGroup = 0;     // Field: a radio button of this group (isCheck too)
    std::string label{};    // Field: the heading its column has in the view, "" none
    // Field: a progress bar; `text` is the filled percentage ("45%"), the
    // bar `done` of `total` in colour `fill` over `background` (0xRRGGBB).
    bool isProgress = false;
    int64_t done = 0;
    int64_t total = 0;
    uint32_t fill = 0;
    uint32_t background = 0;
    // Field: a drop-down choice; `text` is the option chosen ("" none).
    bool isChoice = false;
    std::vector<std::string> options{};
  };
  std::vector<Item> items;
  std::vector<std::string> headings;   // empty: no list
  std::vector<bool> searchable{};      // a lister's: which headings a search can use
  struct Row {
    std::vector<std::string> cells;
    bool selected = false;
    std::string mark{};   // "" unmarked; else what the mark says ("marked", "deleted")
  };
  std::vector<Row> rows;
  // The window's further lists (a dialog with several), after the one above.
  struct List {
    std::string name;
    std::vector<std::string> headings;
    std::vector<Row> rows;
  };
  std::vector<List> lists;
  // The window's trees (a dialog's tree controls), after its fields: the
  // items shown, in display order.
  struct TreeNode {
    int depth = 0;          // 0 for a top item
    std::string label;
    int image = 0;          // what kind of item, as the program numbers them
    bool selected = false;
    bool collapsed = false; // has items under it that are not shown
  };
  struct Tree {
    std::string name;       // the control's name, or its id
    std::string label;      // its template text
    bool enabled = true;
    std::vector<TreeNode> nodes;
  };
  std::vector<Tree> trees{};
};
// The view as transcript lines: `window "Caption" (kind)`, then indented
// `field name = value` (read-only ones marked; a progress bar is a
// read-only field whose value is its percentage; a drop-down choice is a
// field followed by its options, `field name = value (choice: a | b)`),
// `radio name (*) "Text"`
// for a radio button (`( )` for those of its group not chosen), `button ID "Text"`
// [default] [disabled], `label "Text"`, `columns | heading | ...` and
// `row N | cell | ...` with `*` after N for a selected row and the mark
// in parentheses after that (`row 2* (deleted) | ...`); further lists
// follow, each after a `list NAME` line. Each tree comes after the fields
// as `tree NAME` and a line per item shown, `node N "Label"` (N from 1 in
// display order, `*` after N for the selected one, two blanks of indent
// per level before the label). Control
// characters in values are escaped, so each line stays one line.
std::vector<std::string> Ui_WindowViewLines(const UiWindowView& view);

class UiDriver {
 public:
  virtual ~UiDriver() = default;
  // Shows a message box and returns the button chosen (one of `buttons`).
  virtual MsgAnswer MessageBox(std::string_view caption, std::string_view text,
                               MsgButtons buttons, MsgIcon icon) = 0;
  // Asks for a user name and password for `reason` ("Authorise: poEdit");
  // nullopt when the person cancels.
  virtual std::optional<Credentials> AskCredentials(std::string_view reason) = 0;
  // Asks for one line of text (a file name, a value); nullopt on cancel.
  virtual std::optional<std::string> AskText(std::string_view prompt,
                                             std::string_view initial, bool secret) = 0;
  // Asks for a file to read (an interchange to upload): the path where the
  // program can read it; nullopt on cancel. Default: its name as text.
  virtual std::optional<std::string> AskFile(std::string_view prompt, std::string_view initial) {
    return AskText(prompt, initial, false);
  }
  // Asks for one or more files to read (interchanges to upload), showing
  // those that match `filter` ("*.*") in `directory` ("" the person's
  // own): their paths where the program can read them, at least one;
  // nullopt on cancel. Default: one AskFile.
  virtual std::optional<std::vector<std::string>> AskFiles(std::string_view prompt,
                                                           std::string_view filter,
                                                           std::string_view directory) {
    (void)filter;
    std::optional<std::string> one = AskFile(prompt, directory);
    if (!one || one->empty()) return std::nullopt;
    return std::vector<std::string>{*one};
  }
  // Asks the person to choose one of `options` (a printer, say), `initial`
  // offered first: the index chosen; nullopt on cancel. Default: a text
  // prompt that lists them, answered by one of them (any case).
  virtual std::optional<size_t> AskChoice(std::string_view prompt,
                                          const std::vector<std::string>& options, size_t initial);
  // Shows a pop-up menu of `items` (texts as read, no "&") where the person
  // points: the index picked; nullopt when dismissed. Default: AskChoice
  // with the prompt "Menu".
  virtual std::optional<size_t> AskMenu(const std::vector<std::string>& items) {
    return AskChoice("Menu", items, 0);
  }
  // A file the program wrote for the person (a printed form, an order
  // file): `path` is where it is, `title` what it is. Default: a notice.
  virtual void FileWritten(std::string_view path, std::string_view title) {
    Notice("file", std::string(title) + ": " + std::string(path));
  }
  // Long work going on: `done` of `total` steps (total 0: it ended).
  // Default: a notice "done/total text".
  virtual void Progress(std::string_view text, int64_t done, int64_t total) {
    Notice("progress", std::to_string(done) + "/" + std::to_string(total) + " " + std::string(text));
  }
  // Something a person would have seen without answering: a window opened
  // or closed, the hourglass, a status line. `kind` is one word.
  virtual void Notice(std::string_view kind, std::string_view text) = 0;
  // Shows a window's content (the `show` action). Default: each line of
  // Ui_WindowViewLines as a notice of kind "show".
  virtual void ShowWindow(const UiWindowView& view);
  // An action that could not be done as given (no such row, button or
  // window): a script fails the run; a person is told. Default: a notice.
  virtual void ActionFailed(std::string_view reason) { Notice("error", reason); }
  // Whether a script or person still has actions for the frame; the next
  // one. Terminal: reads a command line; script: the next action line.
  virtual std::optional<std::string> NextAction() = 0;
  // True once the run must end unsuccessfully (an unanswered question, a
  // failed expectation); the reason for the transcript.
  virtual bool Failed(std::string* reason = nullptr) const = 0;
  // Log-in texts given in advance (a script's `login` line); nullopt when
  // the frame must ask.
  virtual std::optional<Credentials> StartupLogin() const { return std::nullopt; }
  // The frame is about to shut down. A script checks what is left: answers
  // not used, expectations after the last action, actions never run.
  virtual void Finish() {}
};

// An action for the frame as NextAction spells it. Numbers are decimal
// (LPARAM may be negative) or hexadecimal "0x..".
//   command N | command "Menu text" | send MSG WPARAM LPARAM |
//   post MSG WPARAM LPARAM | close | menu ["Popup"]
// `command` takes a command number or the text of a menu item, "Item" or
// "Popup/Item" ("&" ignored, any case). `menu` lists the frame's menus (or
// the one popup named) with each item's command number and state, as
// notices of kind "menu", one line each (Ui_MenuViewLines), which the
// drivers show as they are.
// and the actions on the top window (the current view):
//   window "caption substring"   make the first window whose caption has it current
//   select N [N ...] | select "text" | select none
//                                lister rows by number (1 first), or every row
//                                with a column that contains the text; also
//                                the rows of an editor's child list or of a
//                                dialog's list
//   sort COLUMN [asc|desc]       sort the lister's rows
//   search COLUMN "value"        set a search criterion and run the search
//   field NAME "value"           type into a field (name, heading or control
//                                id), or into the cell of the one selected
//                                child or dialog-list row (column name or heading)
//   press ID                     click a button (id, or its name)
//   key "KEY"                    a key: "Ctrl+F", "F5", "Enter", "Escape"
//   framework CODE               a framework code (MrFramework.h)
//   show                         show the window's content
//   wait [SECONDS]               wait until a message is posted to the
//                                program (a worker thread's news) or SECONDS
//                                (default 60) pass; the loop then handles it
//   node N | node "text"         select item N of the window's (first) tree,
//                                in display order from 1, or the first item
//                                whose label contains the text (any case)
//   rename N "text"              type a new label for item N (the window
//                                decides whether it takes it)
//   drag N M                     drag item N and drop it onto item M
//   wait until enabled BUTTON [SECONDS]
//                                handle posted messages until the current
//                                window's button is enabled; fails after
//                                SECONDS (default 60) or when the window closes
struct UiAction {
  enum class Kind {
    Command, Send, Post, Close, Menu,
    Window, Select, Sort, Search, Field, Press, Key, Framework, Show, Wait,
    Node, Rename, Drag,
  };
  Kind kind = Kind::Close;
  uint32_t message = 0;   // Command: the command id (text empty); Framework: the code
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::string name;       // Sort, Search: the column; Field: the field; Press: the button
  std::string text;       // Command: menu text; Menu: popup ("" all); Window: caption part;
                          // Select: text; Search, Field: value; Key: key
                          // Node: label text ("" by number); Rename: the new label
  std::vector<int> rows;  // Select by numbers; empty with `text` empty: none;
                          // Node, Rename: the item; Drag: the item and its target
  bool descending = false;  // Sort
  int seconds = 60;         // Wait: the longest wait; `name` the button ("" none)
  bool IsWindowAction() const { return kind >= Kind::Window; }
};
// False with `error` set when `text` is not an action.
bool Ui_ParseAction(std::string_view text, UiAction& out, std::string* error);
// The normalized text of an action ("send 0x0BD0 0 0"), parsed back to
// the same action.
std::string Ui_ActionText(const UiAction& action);

// The frame's menus as the `menu` action shows them: item texts as a person
// reads them (without "&"), separators left out.
struct UiMenuView {
  struct Item {
    std::string text;
    uint32_t command = 0;
    bool enabled = true;
    std::string label{};   // as the menu table spells it: "&" marks the key letter
    std::string keys{};    // the frame's key for it ("Ctrl+S"), "" none
    bool separator = false;  // a line between items (no text, no command)
  };
  struct Popup {
    std::string text;
    std::vector<Item> items;
    std::string label{};
  };
  std::vector<Popup> popups;
};
// `menu "Popup"` for each popup, then its items indented, one a line:
// `item N "Text"`, with ` disabled` after a disabled one; separators left out.
std::vector<std::string> Ui_MenuViewLines(const UiMenuView& view);

// Everything on the screen at once, for a driver that draws it all (the
// browser): the open windows with ids that stay the same while a window
// lives, the current one and the one waiting for an answer (0: none), and
// the menu bar with each item's state now.
struct UiScreen {
  struct Window {
    int id = 0;
    UiWindowView view;
  };
  std::vector<Window> windows;   // oldest first
  int current = 0;
  int modal = 0;
  UiMenuView menu;
};
// The frame's side of a screen-drawing driver.
class UiScreenSource {
 public:
  virtual ~UiScreenSource() = default;
  virtual UiScreen Screen() = 0;
  // Makes window `id` (of the last Screen()) the current one. False with
  // the reason when no such window is open, or another waits for an answer.
  virtual bool MakeCurrent(int id, std::string& error) = 0;
};

// The driver the host uses; the frame installs one before loading the
// module. With none installed, a message box is written to stderr and
// answered with its first button.
void Ui_SetDriver(UiDriver* driver);
UiDriver* Ui_Driver();

// Drivers.
// Script: see ScriptDriver.cpp for the language. `transcriptPath` "-" is
// stdout, "" none.
std::unique_ptr<UiDriver> Ui_MakeScriptDriver(std::string_view scriptText,
                                              std::string_view scriptName,
                                              std::string_view transcriptPath,
                                              std::string* error);
// Terminal: questions on stdout/stdin (no echo for secrets).
std::unique_ptr<UiDriver> Ui_MakeTerminalDriver();
// Remote: a browser session of `acq serve`, spoken to as JSON lines over
// the socket `fd` (docs/browser.md). Reads the log-in line first; nullptr
// with `error` when it is not one.
class UiRemoteDriver : public UiDriver {
 public:
  // Where the screen comes from, once the frame's windows exist.
  virtual void SetScreenSource(UiScreenSource* source) = 0;
};
std::unique_ptr<UiRemoteDriver> Ui_MakeRemoteDriver(int fd, std::string* error);

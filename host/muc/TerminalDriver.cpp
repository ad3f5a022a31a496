// The terminal UI driver: a person at a terminal answers message boxes by
// the letter of a button, gives credentials (the password without echo) and
// types the frame's actions at an "acq> " prompt, in the action syntax of
// the script language. End of input answers the safest button, cancels a
// question, and ends the actions (the frame closes).
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <iostream>
#include <optional>
#include <string>

#include "host/muc/UiDriver.h"
#include "host/muc/UiWords.h"
#include "host/win32/Win32.h"

namespace {

struct Button {
  MsgAnswer answer;
  char letter;
  const char* label;  // the letter in brackets
};

// The buttons of each set, in the order Win32 shows them.
std::vector<Button> ButtonsOf(MsgButtons buttons) {
  const Button ok{MsgAnswer::Ok, 'o', "[O]K"}, cancel{MsgAnswer::Cancel, 'c', "[C]ancel"},
      abort{MsgAnswer::Abort, 'a', "[A]bort"}, retry{MsgAnswer::Retry, 'r', "[R]etry"},
      ignore{MsgAnswer::Ignore, 'i', "[I]gnore"}, yes{MsgAnswer::Yes, 'y', "[Y]es"},
      no{MsgAnswer::No, 'n', "[N]o"};
  switch (buttons) {
    case MsgButtons::Ok: return {ok};
    case MsgButtons::OkCancel: return {ok, cancel};
    case MsgButtons::AbortRetryIgnore: return {abort, retry, ignore};
    case MsgButtons::YesNoCancel: return {yes, no, cancel};
    case MsgButtons::YesNo: return {yes, no};
    case MsgButtons::RetryCancel: return {retry, cancel};
  }
  return {ok};
}

// Echo off on the terminal for the scope (nothing when stdin is no terminal).
class EchoOff {
 public:
  EchoOff() {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
      termios quiet = saved_;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
  }
  ~EchoOff() {
    if (!active_) return;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    std::cout << '\n';
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

std::optional<std::string> ReadLine(std::string_view prompt, bool secret) {
  std::cout << prompt << std::flush;
  std::string line;
  bool got;
  if (secret) {
    EchoOff quiet;
    got = static_cast<bool>(std::getline(std::cin, line));
  } else {
    got = static_cast<bool>(std::getline(std::cin, line));
  }
  if (!got) {
    std::cout << '\n';
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

constexpr const char* kHelp =
    "Actions:\n"
    "  menu [\"popup\"]            list the menus: each item's command number and text,\n"
    "                            and whether it is available on the top window\n"
    "  command N                 menu command N (WM_COMMAND) to the client window\n"
    "  command \"text\"            the menu item with this text: \"New PO\", or with its\n"
    "                            menu: \"Purchase Orders/Receive\" (any case)\n"
    "  send MSG WPARAM LPARAM    send a message to the client window (decimal or 0x..)\n"
    "  post MSG WPARAM LPARAM    post a message to the client window\n"
    "  close, quit               close the frame\n"
    "On the top window (the one opened or made current last):\n"
    "  show                      show its fields, buttons and rows\n"
    "  window \"caption\"          make the window whose caption has this text current\n"
    "  select N [N ...]          select rows by number; select \"text\": rows containing it;\n"
    "                            select none\n"
    "  sort COLUMN [asc|desc]    sort the rows on a column\n"
    "  search COLUMN \"value\"     search for rows whose column starts with (or is) value\n"
    "  field NAME \"value\"        type a value into a field; field NAME yes|no checks or\n"
    "                            clears a check box\n"
    "  field NAME yes            choose a radio button: of the lines\n"
    "                            radio NAME (*) \"Text\"  and  radio NAME ( ) \"Text\"\n"
    "                            (*) marks the chosen one of each group\n"
    "  field NAME \"option\"       pick an option of a drop-down choice (its options follow\n"
    "                            (choice: ...) in show); \"(none)\" picks none\n"
    "  press ID                  click a button (its id or name)\n"
    "  key \"KEY\"                 press a key: \"Enter\", \"Escape\", \"Ctrl+F\", \"F5\"\n"
    "  framework CODE            framework code: 4 delete, 5 next, 6 previous, 8 edit,\n"
    "                            10 first, 11 last, 12 new, 13 copy, 14 save,\n"
    "                            15 cancel changes, 17 search, 24 refresh\n"
    "  node N | node \"text\"      select item N of the tree (the numbers of its\n"
    "                            node lines in show), or the first whose label has the text\n"
    "  rename N \"text\"          give item N of the tree a new label\n"
    "  drag N M                  drag tree item N and drop it onto item M (a menu may ask\n"
    "                            what to do: type one of its items; other text dismisses it)\n"
    "  wait until enabled BUTTON [SECONDS]\n"
    "                            let the program work until the button is enabled\n"
    "  help                      this text\n";

// True once standard input has a line (or its end) to read; false when a
// message was posted to this thread first (the frame then handles it).
// Only a terminal is watched: it hands over a line per read, so nothing
// typed sits unseen in a buffer; piped input is read as it comes.
bool AwaitInputOrPosted() {
  constexpr int kSliceMs = 50;
  if (!isatty(STDIN_FILENO)) return true;
  for (;;) {
    if (std::cin.rdbuf()->in_avail() != 0) return true;   // buffered, or its end known
    if (QueuedMessageCount() > 0) return false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int n = poll(&p, 1, kSliceMs);
    if (n < 0 && errno == EINTR) continue;
    if (n != 0) return true;   // input, its end, or an error the read reports
  }
}

class TerminalDriver final : public UiDriver {
 public:
  MsgAnswer MessageBox(std::string_view caption, std::string_view text, MsgButtons buttons,
                       MsgIcon) override {
    std::vector<Button> choices = ButtonsOf(buttons);
    std::string prompt;
    for (const Button& b : choices) prompt += std::string(prompt.empty() ? "" : "  ") + b.label;
    prompt += "? ";
    std::cout << "\n-- " << caption << " --\n" << text << '\n';
    for (;;) {
      std::optional<std::string> line = ReadLine(prompt, false);
      if (!line) return SafeAnswer(choices);
      size_t first = line->find_first_not_of(" \t");
      if (first == std::string::npos) {
        if (choices.size() == 1) return choices.front().answer;  // Enter confirms a lone OK
        continue;
      }
      char letter = static_cast<char>(std::tolower(static_cast<unsigned char>((*line)[first])));
      for (const Button& b : choices)
        if (b.letter == letter) return b.answer;
    }
  }

  std::optional<Credentials> AskCredentials(std::string_view reason) override {
    std::cout << '\n' << reason << '\n';
    std::optional<std::string> user = ReadLine("User name (empty to cancel): ", false);
    if (!user || user->empty()) return std::nullopt;
    std::optional<std::string> password = ReadLine("Password: ", true);
    if (!password) return std::nullopt;
    return Credentials{*user, *password};
  }

  std::optional<std::string> AskText(std::string_view prompt, std::string_view initial,
                                     bool secret) override {
    std::string shown(prompt);
    if (!initial.empty() && !secret) shown += " [" + std::string(initial) + "]";
    std::optional<std::string> line = ReadLine(shown + ": ", secret);
    if (line && line->empty()) return std::string(initial);
    return line;
  }

  // Paths on one line, blanks between them ("quoted" when a path has
  // blanks); relative ones from the working folder. Empty cancels.
  std::optional<std::vector<std::string>> AskFiles(std::string_view prompt, std::string_view filter,
                                                   std::string_view directory) override {
    std::cout << '\n' << prompt;
    if (!filter.empty()) std::cout << " (" << filter << ")";
    if (!directory.empty()) std::cout << " in " << directory;
    std::cout << '\n';
    for (;;) {
      std::optional<std::string> line = ReadLine("Files (empty to cancel): ", false);
      if (!line) return std::nullopt;
      std::vector<UiWord> words;
      std::string error;
      if (!Ui_SplitWords(*line, words, error)) {
        std::cout << error << '\n';
        continue;
      }
      if (words.empty()) return std::nullopt;
      std::vector<std::string> paths;
      for (const UiWord& w : words) paths.push_back(w.text);
      return paths;
    }
  }

  void Notice(std::string_view kind, std::string_view text) override {
    if (kind == "hourglass") return;  // a person sees the cursor, not a message
    if (kind == "menu") {
      std::cout << text << '\n' << std::flush;   // a line of the menu listing
      return;
    }
    std::cout << "(" << kind << ") " << text << '\n' << std::flush;
  }

  void ShowWindow(const UiWindowView& view) override {
    for (const std::string& line : Ui_WindowViewLines(view)) std::cout << line << '\n';
    std::cout << std::flush;
  }

  void ActionFailed(std::string_view reason) override {
    std::cout << "(not done) " << reason << '\n' << std::flush;
  }

  std::optional<std::string> NextAction() override {
    for (;;) {
      // A worker thread's news while the person has not typed: the frame
      // handles it (its windows change), then the prompt comes again.
      if (!promptShown_) std::cout << "acq> " << std::flush;
      promptShown_ = true;
      if (!AwaitInputOrPosted()) return std::string("wait 0");
      promptShown_ = false;
      // End of input: no more actions, so the frame closes.
      std::optional<std::string> line = ReadLine("", false);
      if (!line) return std::nullopt;
      std::vector<UiWord> words;
      std::string error;
      if (!Ui_SplitWords(*line, words, error)) {
        std::cout << error << '\n';
        continue;
      }
      if (words.empty()) continue;
      if (words[0].text == "help") {
        std::cout << kHelp;
        continue;
      }
      if (words[0].text == "quit" || words[0].text == "exit") return std::string("close");
      UiAction action;
      if (!Ui_ParseActionWords(words, action, error)) {
        std::cout << error << " (type help)\n";
        continue;
      }
      return Ui_ActionText(action);
    }
  }

  bool Failed(std::string*) const override { return false; }

 private:
  bool promptShown_ = false;   // "acq> " is out and no line read since
  static MsgAnswer SafeAnswer(const std::vector<Button>& choices) {
    for (MsgAnswer preferred : {MsgAnswer::Cancel, MsgAnswer::No})
      for (const Button& b : choices)
        if (b.answer == preferred) return preferred;
    return choices.front().answer;
  }
};

}  // namespace

std::unique_ptr<UiDriver> Ui_MakeTerminalDriver() { return std::make_unique<TerminalDriver>(); }

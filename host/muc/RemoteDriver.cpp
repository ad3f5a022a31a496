// The remote UI driver: the frame of one browser session of `acq serve`.
// It speaks JSON lines over an inherited socket (docs/browser.md): the
// server's log-in line first; then, each time the frame waits for an action,
// the whole screen goes out and an action (or the end) comes back. A
// question blocks the user-interface thread until its answer arrives, as a
// modal dialog does. The server checks what the page sends; this side
// checks again, because a forged line must never reach the module: what is
// not an answer to the open question, or an action on a window that is not
// open, is refused with a notice and logged, and the frame waits on. While
// the frame waits, a message posted to it (a worker thread's news) wakes
// it: it handles the message and the page gets the screen that follows.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "host/muc/UiDriver.h"
#include "host/win32/Win32.h"

namespace {

using Json = nlohmann::json;

// A line from the server is an action or an answer: far below this.
constexpr size_t kMaxLine = 1 << 20;

const char* ButtonWord(MsgAnswer a) {
  switch (a) {
    case MsgAnswer::Ok: return "ok";
    case MsgAnswer::Cancel: return "cancel";
    case MsgAnswer::Abort: return "abort";
    case MsgAnswer::Retry: return "retry";
    case MsgAnswer::Ignore: return "ignore";
    case MsgAnswer::Yes: return "yes";
    case MsgAnswer::No: return "no";
  }
  return "ok";
}

std::vector<MsgAnswer> ButtonsOf(MsgButtons buttons) {
  using A = MsgAnswer;
  switch (buttons) {
    case MsgButtons::Ok: return {A::Ok};
    case MsgButtons::OkCancel: return {A::Ok, A::Cancel};
    case MsgButtons::AbortRetryIgnore: return {A::Abort, A::Retry, A::Ignore};
    case MsgButtons::YesNoCancel: return {A::Yes, A::No, A::Cancel};
    case MsgButtons::YesNo: return {A::Yes, A::No};
    case MsgButtons::RetryCancel: return {A::Retry, A::Cancel};
  }
  return {A::Ok};
}

// The answer of a box nobody is left to answer: the one that changes least.
MsgAnswer SafeAnswer(const std::vector<MsgAnswer>& choices) {
  for (MsgAnswer preferred : {MsgAnswer::Cancel, MsgAnswer::No})
    for (MsgAnswer a : choices)
      if (a == preferred) return a;
  return choices.front();
}

const char* IconWord(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Error: return "error";
    case MsgIcon::Question: return "question";
    case MsgIcon::Warning: return "warning";
    case MsgIcon::Information: return "information";
    case MsgIcon::None: break;
  }
  return "none";
}

// "lister po_find_head" -> "lister"; an editor's ", changed" tells `changed`.
std::string WindowType(const std::string& kind) {
  const std::string first = kind.substr(0, kind.find(' '));
  return first == "lister" || first == "editor" || first == "dialog" ? first : "window";
}

Json RowsJson(const std::vector<UiWindowView::Row>& rows) {
  Json out = Json::array();
  for (const UiWindowView::Row& r : rows)
    out.push_back({{"cells", r.cells}, {"selected", r.selected}, {"mark", r.mark}});
  return out;
}

Json WindowJson(int id, const UiWindowView& v) {
  Json items = Json::array();
  for (const UiWindowView::Item& item : v.items) {
    const char* k = item.kind == UiWindowView::Item::Kind::Button  ? "button"
                    : item.kind == UiWindowView::Item::Kind::Label ? "label"
                    : item.isProgress                              ? "progress"
                    : item.isChoice                                ? "choice"
                    : item.radioGroup != 0                         ? "radio"
                    : item.isCheck                                 ? "check"
                                                                   : "field";
    Json j{{"k", k}, {"id", item.id}, {"name", item.name}, {"label", item.label},
           {"text", item.text}, {"enabled", item.enabled}, {"default", item.isDefault}};
    if (item.radioGroup != 0) j["group"] = item.radioGroup;
    if (item.isChoice) j["options"] = item.options;
    if (item.isProgress) {
      j["done"] = item.done;
      j["total"] = item.total;
      j["fill"] = item.fill;
      j["background"] = item.background;
    }
    items.push_back(std::move(j));
  }
  Json lists = Json::array();
  for (const UiWindowView::List& l : v.lists)
    lists.push_back({{"name", l.name}, {"headings", l.headings}, {"rows", RowsJson(l.rows)}});
  Json trees = Json::array();
  for (const UiWindowView::Tree& t : v.trees) {
    Json nodes = Json::array();
    for (const UiWindowView::TreeNode& n : t.nodes)
      nodes.push_back({{"depth", n.depth}, {"label", n.label}, {"image", n.image},
                       {"selected", n.selected}, {"collapsed", n.collapsed}});
    trees.push_back({{"name", t.name}, {"label", t.label}, {"enabled", t.enabled},
                     {"nodes", std::move(nodes)}});
  }
  return {{"id", id},
          {"caption", v.caption},
          {"trees", std::move(trees)},
          {"kind", v.kind},
          {"type", WindowType(v.kind)},
          {"changed", v.kind.find(", changed") != std::string::npos},
          {"items", std::move(items)},
          {"headings", v.headings},
          {"searchable", v.searchable},
          {"rows", RowsJson(v.rows)},
          {"lists", std::move(lists)}};
}

Json MenuJson(const UiMenuView& menu) {
  Json popups = Json::array();
  for (const UiMenuView::Popup& p : menu.popups) {
    Json items = Json::array();
    for (const UiMenuView::Item& i : p.items) {
      if (i.separator) {
        items.push_back({{"separator", true}});
        continue;
      }
      items.push_back({{"text", i.label.empty() ? i.text : i.label},
                       {"command", i.command},
                       {"enabled", i.enabled},
                       {"keys", i.keys}});
    }
    popups.push_back({{"text", p.label.empty() ? p.text : p.label}, {"items", std::move(items)}});
  }
  return popups;
}

// A true boolean member of `j` (any other type reads false).
bool Flag(const Json& j, const char* name) {
  auto it = j.find(name);
  return it != j.end() && it->is_boolean() && it->get<bool>();
}

Json IdOrNull(int id) { return id ? Json(id) : Json(nullptr); }

// A string member of `j`, or nullopt.
std::optional<std::string> Text(const Json& j, const char* name) {
  auto it = j.find(name);
  if (it == j.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

class RemoteDriver final : public UiRemoteDriver {
 public:
  explicit RemoteDriver(int fd) : fd_(fd) {}

  // The log-in line, read before anything else.
  bool ReadLogin(std::string& error) {
    std::optional<Json> j = ReadMessage();
    if (!j || Text(*j, "t") != "login" || !Text(*j, "user") || !Text(*j, "password")) {
      error = "the first line on the session socket is not a log-in";
      return false;
    }
    login_ = Credentials{*Text(*j, "user"), *Text(*j, "password")};
    return true;
  }

  void SetScreenSource(UiScreenSource* source) override { source_ = source; }

  std::optional<Credentials> StartupLogin() const override { return login_; }

  MsgAnswer MessageBox(std::string_view caption, std::string_view text, MsgButtons buttons,
                       MsgIcon icon) override {
    const std::vector<MsgAnswer> choices = ButtonsOf(buttons);
    Json words = Json::array();
    for (MsgAnswer a : choices) words.push_back(ButtonWord(a));
    std::optional<Json> answer = Ask({{"kind", "message"},
                                      {"caption", caption},
                                      {"text", text},
                                      {"buttons", words},
                                      {"icon", IconWord(icon)}});
    if (!answer) return SafeAnswer(choices);
    if (std::optional<std::string> button = Text(*answer, "button"))
      for (MsgAnswer a : choices)
        if (*button == ButtonWord(a)) return a;
    if (Flag(*answer, "cancel")) return SafeAnswer(choices);
    Refuse("the answer names no button of the box");
    return SafeAnswer(choices);
  }

  std::optional<Credentials> AskCredentials(std::string_view reason) override {
    std::optional<Json> answer = Ask({{"kind", "credentials"}, {"reason", reason}});
    if (!answer) return std::nullopt;
    std::optional<std::string> user = Text(*answer, "user"), password = Text(*answer, "password");
    if (!user || !password) return std::nullopt;
    return Credentials{*user, *password};
  }

  std::optional<std::string> AskText(std::string_view prompt, std::string_view initial,
                                     bool secret) override {
    std::optional<Json> answer = Ask(
        {{"kind", "text"}, {"prompt", prompt}, {"initial", initial}, {"secret", secret}});
    return answer ? Text(*answer, "text") : std::nullopt;
  }

  std::optional<size_t> AskChoice(std::string_view prompt, const std::vector<std::string>& options,
                                  size_t initial) override {
    if (options.empty()) return std::nullopt;
    std::optional<Json> answer = Ask({{"kind", "choice"},
                                      {"prompt", prompt},
                                      {"options", options},
                                      {"initial", initial < options.size() ? initial : 0}});
    if (!answer) return std::nullopt;
    auto choice = answer->find("choice");
    if (choice == answer->end() || !choice->is_number_unsigned() ||
        choice->get<size_t>() >= options.size()) {
      Refuse("the answer chooses none of the options");
      return std::nullopt;
    }
    return choice->get<size_t>();
  }

  // A pop-up menu: the page shows it where the person dropped or pointed.
  std::optional<size_t> AskMenu(const std::vector<std::string>& items) override {
    if (items.empty()) return std::nullopt;
    std::optional<Json> answer = Ask({{"kind", "menu"}, {"options", items}});
    if (!answer) return std::nullopt;
    auto choice = answer->find("choice");
    if (choice == answer->end() || !choice->is_number_unsigned() ||
        choice->get<size_t>() >= items.size()) {
      Refuse("the answer picks none of the menu's items");
      return std::nullopt;
    }
    return choice->get<size_t>();
  }

  std::optional<std::string> AskFile(std::string_view prompt, std::string_view initial) override {
    std::optional<Json> answer = Ask({{"kind", "file"}, {"prompt", prompt}, {"initial", initial}});
    return answer ? Text(*answer, "text") : std::nullopt;
  }

  // The page uploads the chosen files into the session's folder; the
  // answer carries the paths the server stored them at.
  std::optional<std::vector<std::string>> AskFiles(std::string_view prompt, std::string_view filter,
                                                   std::string_view directory) override {
    std::optional<Json> answer = Ask(
        {{"kind", "files"}, {"prompt", prompt}, {"filter", filter}, {"initial", directory}});
    if (!answer) return std::nullopt;
    auto given = answer->find("paths");
    std::vector<std::string> paths;
    if (given != answer->end() && given->is_array())
      for (const Json& p : *given)
        if (p.is_string() && !p.get_ref<const std::string&>().empty()) paths.push_back(p.get<std::string>());
    if (paths.empty() || paths.size() != given->size()) {
      Refuse("the answer names no files");
      return std::nullopt;
    }
    return paths;
  }

  void Notice(std::string_view kind, std::string_view text) override {
    if (kind == "show" || kind == "menu") return;   // the screen carries them
    Send({{"t", "notice"}, {"kind", kind}, {"text", text}});
  }

  void ShowWindow(const UiWindowView&) override {}   // the screen that follows shows it

  void FileWritten(std::string_view path, std::string_view title) override {
    Send({{"t", "file"}, {"path", path}, {"name", title}});
  }

  void Progress(std::string_view text, int64_t done, int64_t total) override {
    Send({{"t", "progress"}, {"text", text}, {"done", done}, {"total", total}});
  }

  std::optional<std::string> NextAction() override {
    while (!ended_) {
      SendScreen();
      // A message posted to the program (a worker thread's news) while the
      // page is idle: a wait that returns at once lets the loop handle it,
      // and the page then gets the screen it changed.
      if (!AwaitLineOrPosted()) return std::string("wait 0");
      std::optional<Json> j = ReadMessage();
      if (!j) break;
      const std::optional<std::string> type = Text(*j, "t");
      if (type == "end") break;
      if (type != "action") {
        Refuse(type == "answer" ? "no question is open" : "not an action");
        continue;
      }
      std::optional<std::string> text = Text(*j, "text");
      if (!text) {
        Refuse("an action without its text");
        continue;
      }
      if (auto window = j->find("window"); window != j->end()) {
        std::string error;
        if (!window->is_number_integer()) {
          Refuse("a window id is a number");
          continue;
        }
        if (!source_ || !source_->MakeCurrent(window->get<int>(), error)) {
          Refuse(source_ ? error : "no window is open");
          continue;
        }
      }
      return text;
    }
    ended_ = true;
    return std::nullopt;
  }

  bool Failed(std::string*) const override { return false; }

 private:
  void SendScreen() {
    UiScreen screen = source_ ? source_->Screen() : UiScreen{};
    Json windows = Json::array();
    for (const UiScreen::Window& w : screen.windows) windows.push_back(WindowJson(w.id, w.view));
    Send({{"t", "screen"},
          {"current", IdOrNull(screen.current)},
          {"modal", IdOrNull(screen.modal)},
          {"windows", std::move(windows)},
          {"menu", MenuJson(screen.menu)}});
  }

  // Sends a question and waits for its answer: the answer's object, or
  // nullopt when it was cancelled or the session ended. Actions meanwhile
  // are refused: the question is modal.
  std::optional<Json> Ask(Json question) {
    if (ended_) return std::nullopt;
    const int id = ++lastAsk_;
    question["t"] = "ask";
    question["id"] = id;
    Send(question);
    for (;;) {
      std::optional<Json> j = ReadMessage();
      if (!j || Text(*j, "t") == "end") {
        ended_ = true;
        return std::nullopt;
      }
      if (Text(*j, "t") != "answer") {
        Refuse("answer the open question first");
        continue;
      }
      auto given = j->find("id");
      if (given == j->end() || !given->is_number_integer() || given->get<int>() != id) {
        Refuse("the answer is not to the open question");
        continue;
      }
      if (Flag(*j, "cancel")) return std::nullopt;
      return j;
    }
  }

  void Refuse(const std::string& reason) {
    std::fprintf(stderr, "acq: refused from the session socket: %s\n", reason.c_str());
    Send({{"t", "notice"}, {"kind", "error"}, {"text", reason}});
  }

  // The next JSON object from the server; nullopt at the end of the
  // stream. A line that is not a JSON object is refused and skipped.
  std::optional<Json> ReadMessage() {
    for (;;) {
      std::optional<std::string> line = ReadLine();
      if (!line) return std::nullopt;
      Json j = Json::parse(*line, nullptr, false);
      if (j.is_object()) return j;
      Refuse("not a JSON object");
    }
  }

  // True once a line (or the end of the stream) can be read; false when a
  // message waits in this thread's queue first. Polls the socket in short
  // slices to look at the queue between them.
  bool AwaitLineOrPosted() {
    constexpr int kSliceMs = 50;
    for (;;) {
      if (eof_ || buffer_.find('\n') != std::string::npos) return true;
      if (QueuedMessageCount() > 0) return false;
      pollfd p{fd_, POLLIN, 0};
      const int n = poll(&p, 1, kSliceMs);
      if (n < 0 && errno == EINTR) continue;
      if (n != 0) return true;   // data, hang-up or an error: the read tells which
    }
  }

  std::optional<std::string> ReadLine() {
    for (;;) {
      const size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        if (line.size() <= kMaxLine) return line;
        Refuse("a line longer than 1 MiB");
        continue;
      }
      if (eof_) return std::nullopt;
      if (buffer_.size() > kMaxLine) {
        // Skip the rest of an overlong line: only its end is looked for.
        skipping_ = true;
        buffer_.clear();
      }
      char chunk[65536];
      const ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        eof_ = true;
        continue;
      }
      buffer_.append(chunk, static_cast<size_t>(n));
      if (skipping_) {
        const size_t end = buffer_.find('\n');
        if (end == std::string::npos) {
          buffer_.clear();
          continue;
        }
        buffer_.erase(0, end + 1);
        skipping_ = false;
        Refuse("a line longer than 1 MiB");
      }
    }
  }

  // One line out; a server that is gone ends the session (the reads say so).
  void Send(const Json& message) {
    if (broken_) return;
    std::string line = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    line.push_back('\n');
    size_t sent = 0;
    while (sent < line.size()) {
      const ssize_t n = send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        broken_ = true;
        return;
      }
      sent += static_cast<size_t>(n);
    }
  }

  int fd_;
  UiScreenSource* source_ = nullptr;
  std::optional<Credentials> login_;
  std::string buffer_;
  bool eof_ = false;
  bool skipping_ = false;
  bool broken_ = false;
  bool ended_ = false;
  int lastAsk_ = 0;
};

}  // namespace

std::unique_ptr<UiRemoteDriver> Ui_MakeRemoteDriver(int fd, std::string* error) {
  auto driver = std::make_unique<RemoteDriver>(fd);
  std::string why;
  if (!driver->ReadLogin(why)) {
    if (error) *error = why;
    return nullptr;
  }
  return driver;
}

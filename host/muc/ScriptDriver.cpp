// The scripted UI driver: answers every question from a script and writes a
// transcript of everything a person would have seen.
//
// The script language, one statement a line:
//
//   # comment; blank lines ignored; arguments are words or "double-quoted"
//   # text (with \" and \\ escapes); a word starting with # ends the line
//   login USER PASSWORD        log-in texts for start-up (optional, before
//                              the first action; the frame asks otherwise)
//   command N                  action: WM_COMMAND with id N to the client
//   command "Menu text"        action: the command of a menu item, "Item" or
//                              "Popup/Item" ("&" ignored, any case); text
//                              that names no item, or items of different
//                              commands, fails the run
//   menu ["Popup"]             action: lists the frame's menus (or one),
//                              each item with its command number and
//                              whether the top window offers it
//   send MSG WPARAM LPARAM     action: SendMessageW to the client; numbers
//                              decimal or 0x..; the result is transcribed
//   post MSG WPARAM LPARAM     action: PostMessageW to the client
//   close                      action: the frame's close (WM_CLOSE)
//   window, select, sort, search, field, press, key, framework, show, wait,
//   node, rename, drag         actions on the top window (UiDriver.h)
//   answer msgbox yes|no|ok|cancel|retry|abort|ignore ["substring"]
//                              answers a message box; with a substring the
//                              box text must contain it
//   answer credentials USER PASSWORD | answer credentials cancel
//   answer text "value" | answer text cancel    (quoted "cancel" is a value)
//                              also answers a choice and a pop-up menu:
//                              the text of the option or item (any case,
//                              no "&"); cancel dismisses a menu
//   answer files "path" ["path" ...] | answer files cancel
//                              answers a question for files to read; a
//                              relative path is taken from the script's folder
//   expect "substring"         the transcript so far contains it
//   expect-not "substring"     the transcript so far does not contain it
//
// Grouping: answer lines belong to the action line before them; answers
// before the first action serve start-up. Questions raised while an action
// runs take its answers in order. A message box with only an OK button that
// the next answer does not fit is answered OK by itself ("(auto)"). Any
// other question without a fitting answer fails the run and gets Cancel (No,
// or the first button) or nothing. When the frame asks for the next action,
// the group just run is closed: an answer it did not use fails the run, and
// its expect lines are checked, in that order. After a failure no further
// action is handed out, so the frame closes.
//
// A window action that cannot be done as written (no such row, button or
// window) fails the run.
//
// Transcript lines, one per event, flushed as written: `msgbox "Caption"
// "Text" -> Yes`, `credentials "reason" -> alice`, `text "prompt" ->
// "value"`, `files "prompt" -> "a.edi" "b.edi"`, `notice kind text`, `action command 161`, `result 0x0BD0 -> -1`,
// `fail <reason>`, for `show` the window's lines (Ui_WindowViewLines) and
// for `menu` the menu's lines (`menu "File"`, then `  item 291
// "Acquisitions Parameters"` or `  item 57603 "Save" disabled`).
// Passwords are never written: credentials show the user only, and secret
// text answers show as (secret). A transcript that cannot be written (a full
// disk) fails the run: its record is lost.
//
// Errors quote script text only as far as Lb_CutForMessage keeps it: a line
// can be of any length.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/muc/UiDriver.h"
#include "host/muc/UiWords.h"
#include "host/sys/LbStr.h"

namespace {

enum class AnswerKind { MsgBox, Credentials, Text, Files };

struct Answer {
  int line = 0;
  AnswerKind kind = AnswerKind::MsgBox;
  MsgAnswer button = MsgAnswer::Ok;  // MsgBox
  std::string substring;             // MsgBox: "" fits any text
  bool cancel = false;               // Credentials and Text
  Credentials credentials;
  std::string value;                 // Text
  std::vector<std::string> files;    // Files: as written
};

struct Expectation {
  int line = 0;
  bool present = true;  // expect, or expect-not
  std::string text;
};

// An action and the lines that follow it up to the next action; group 0 is
// start-up (the lines before the first action).
struct Group {
  int actionLine = 0;
  std::string action;
  std::vector<Answer> answers;
  std::vector<Expectation> expectations;
  size_t next = 0;  // answers before `next` are used
  bool closed = false;
};

struct ButtonName {
  MsgAnswer answer;
  const char* word;   // script spelling
  const char* shown;  // transcript spelling
};
constexpr ButtonName kButtons[] = {
    {MsgAnswer::Ok, "ok", "OK"},           {MsgAnswer::Cancel, "cancel", "Cancel"},
    {MsgAnswer::Abort, "abort", "Abort"},  {MsgAnswer::Retry, "retry", "Retry"},
    {MsgAnswer::Ignore, "ignore", "Ignore"}, {MsgAnswer::Yes, "yes", "Yes"},
    {MsgAnswer::No, "no", "No"},
};

const char* Shown(MsgAnswer answer) {
  for (const ButtonName& b : kButtons)
    if (b.answer == answer) return b.shown;
  return "?";
}

bool HasButton(MsgButtons buttons, MsgAnswer answer) {
  using A = MsgAnswer;
  switch (buttons) {
    case MsgButtons::Ok: return answer == A::Ok;
    case MsgButtons::OkCancel: return answer == A::Ok || answer == A::Cancel;
    case MsgButtons::AbortRetryIgnore:
      return answer == A::Abort || answer == A::Retry || answer == A::Ignore;
    case MsgButtons::YesNoCancel: return answer == A::Yes || answer == A::No || answer == A::Cancel;
    case MsgButtons::YesNo: return answer == A::Yes || answer == A::No;
    case MsgButtons::RetryCancel: return answer == A::Retry || answer == A::Cancel;
  }
  return false;
}

// What an unanswered box gets: the choice that changes the least.
MsgAnswer SafeAnswer(MsgButtons buttons) {
  if (HasButton(buttons, MsgAnswer::Cancel)) return MsgAnswer::Cancel;
  if (HasButton(buttons, MsgAnswer::No)) return MsgAnswer::No;
  if (HasButton(buttons, MsgAnswer::Abort)) return MsgAnswer::Abort;
  return MsgAnswer::Ok;
}

// An answer for failure reasons; never shows a password or a text value
// (a text answer may be one).
std::string Describe(const Answer& a) {
  std::string out = "line " + std::to_string(a.line) + ": ";
  switch (a.kind) {
    case AnswerKind::MsgBox:
      out += "answer msgbox " + std::string(Shown(a.button));
      if (!a.substring.empty()) out += " " + Ui_Quote(Lb_CutForMessage(a.substring));
      break;
    case AnswerKind::Credentials:
      out += "answer credentials " + (a.cancel ? std::string("cancel") : a.credentials.user);
      break;
    case AnswerKind::Text:
      out += a.cancel ? "answer text cancel" : "answer text";
      break;
    case AnswerKind::Files:
      out += a.cancel ? "answer files cancel" : "answer files";
      break;
  }
  return out;
}

// ---- parsing ------------------------------------------------------------------------

struct ParsedScript {
  std::vector<Group> groups{Group{}};
  std::optional<Credentials> login;
};

bool ParseAnswer(const std::vector<UiWord>& w, int line, Answer& out, std::string& error) {
  out = Answer{};
  out.line = line;
  const std::string kind = w.size() > 1 ? w[1].text : "";
  if (kind == "msgbox") {
    if (w.size() < 3 || w.size() > 4) {
      error = "'answer msgbox' needs a button and at most one \"substring\"";
      return false;
    }
    bool known = false;
    for (const ButtonName& b : kButtons)
      if (w[2].text == b.word) {
        out.button = b.answer;
        known = true;
      }
    if (!known) {
      error = "unknown button '" + Lb_CutForMessage(w[2].text) +
              "' (yes, no, ok, cancel, retry, abort, ignore)";
      return false;
    }
    out.kind = AnswerKind::MsgBox;
    if (w.size() == 4) out.substring = w[3].text;
    return true;
  }
  if (kind == "credentials") {
    out.kind = AnswerKind::Credentials;
    if (w.size() == 3 && w[2].text == "cancel" && !w[2].quoted) {
      out.cancel = true;
      return true;
    }
    if (w.size() != 4) {
      error = "'answer credentials' needs USER PASSWORD, or cancel";
      return false;
    }
    out.credentials = Credentials{w[2].text, w[3].text};
    return true;
  }
  if (kind == "text") {
    out.kind = AnswerKind::Text;
    if (w.size() != 3) {
      error = "'answer text' needs one \"value\", or cancel";
      return false;
    }
    out.cancel = w[2].text == "cancel" && !w[2].quoted;
    out.value = w[2].text;
    return true;
  }
  if (kind == "files") {
    out.kind = AnswerKind::Files;
    if (w.size() == 3 && w[2].text == "cancel" && !w[2].quoted) {
      out.cancel = true;
      return true;
    }
    for (size_t i = 2; i < w.size(); ++i) {
      if (w[i].text.empty()) {
        error = "'answer files' takes no empty \"path\"";
        return false;
      }
      out.files.push_back(w[i].text);
    }
    if (out.files.empty()) {
      error = "'answer files' needs one \"path\" or more, or cancel";
      return false;
    }
    return true;
  }
  error = "'answer' needs msgbox, credentials, text or files";
  return false;
}

// One line into `script`; false with `error` (without the position).
bool ParseLine(const std::vector<UiWord>& w, int line, ParsedScript& script, std::string& error) {
  const std::string& verb = w[0].text;
  Group& group = script.groups.back();
  if (verb == "login") {
    if (w.size() != 3) {
      error = "'login' needs USER PASSWORD";
      return false;
    }
    if (script.login) {
      error = "a second 'login' line";
      return false;
    }
    if (script.groups.size() > 1) {
      error = "'login' must come before the first action";
      return false;
    }
    script.login = Credentials{w[1].text, w[2].text};
    return true;
  }
  if (verb == "answer") {
    Answer answer;
    if (!ParseAnswer(w, line, answer, error)) return false;
    group.answers.push_back(std::move(answer));
    return true;
  }
  if (verb == "expect" || verb == "expect-not") {
    if (w.size() != 2 || w[1].text.empty()) {
      error = "'" + verb + "' needs one non-empty \"substring\"";
      return false;
    }
    group.expectations.push_back(Expectation{line, verb == "expect", w[1].text});
    return true;
  }
  UiAction action;
  if (!Ui_ParseActionWords(w, action, error)) {
    if (error.rfind("unknown action", 0) == 0)
      error = "unknown statement '" + Lb_CutForMessage(verb) + "'";
    return false;
  }
  Group next;
  next.actionLine = line;
  next.action = Ui_ActionText(action);
  script.groups.push_back(std::move(next));
  return true;
}

bool ParseScript(std::string_view text, std::string_view name, ParsedScript& script,
                 std::string& error) {
  int line = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(start, end - start);
    start = end + 1;
    ++line;
    std::vector<UiWord> words;
    std::string why;
    if (!Ui_SplitWords(raw, words, why) || (!words.empty() && !ParseLine(words, line, script, why))) {
      error = std::string(name) + ":" + std::to_string(line) + ": " + why;
      return false;
    }
    if (end == text.size()) break;
  }
  return true;
}

// ---- the driver --------------------------------------------------------------------

class ScriptDriver final : public UiDriver {
 public:
  ScriptDriver(std::string name, ParsedScript script, FILE* out, bool ownsOut,
               std::string outName)
      : name_(std::move(name)), groups_(std::move(script.groups)),
        login_(std::move(script.login)), out_(out), ownsOut_(ownsOut),
        outName_(std::move(outName)) {}
  ~ScriptDriver() override {
    if (ownsOut_) std::fclose(out_);
  }
  ScriptDriver(const ScriptDriver&) = delete;
  ScriptDriver& operator=(const ScriptDriver&) = delete;

  MsgAnswer MessageBox(std::string_view caption, std::string_view text, MsgButtons buttons,
                       MsgIcon) override {
    std::string event = "msgbox " + Ui_Quote(caption) + " " + Ui_Quote(text) + " -> ";
    Answer* next = NextAnswer();
    if (next && next->kind == AnswerKind::MsgBox && HasButton(buttons, next->button) &&
        text.find(next->substring) != std::string_view::npos) {
      Consume();
      Write(event + Shown(next->button));
      return next->button;
    }
    if (buttons == MsgButtons::Ok) {
      Write(event + "OK (auto)");
      return MsgAnswer::Ok;
    }
    MsgAnswer safe = SafeAnswer(buttons);
    Write(event + Shown(safe) + " (unanswered)");
    Unanswered(next, "msgbox " + Ui_Quote(caption) + " " + Ui_Quote(text));
    return safe;
  }

  std::optional<Credentials> AskCredentials(std::string_view reason) override {
    std::string event = "credentials " + Ui_Quote(reason) + " -> ";
    Answer* next = NextAnswer();
    if (next && next->kind == AnswerKind::Credentials) {
      Consume();
      Write(event + (next->cancel ? std::string("cancel") : next->credentials.user));
      if (next->cancel) return std::nullopt;
      return next->credentials;
    }
    Write(event + "cancel (unanswered)");
    Unanswered(next, "credentials " + Ui_Quote(reason));
    return std::nullopt;
  }

  std::optional<std::string> AskText(std::string_view prompt, std::string_view,
                                     bool secret) override {
    std::string event = "text " + Ui_Quote(prompt) + " -> ";
    Answer* next = NextAnswer();
    if (next && next->kind == AnswerKind::Text) {
      Consume();
      if (next->cancel) {
        Write(event + "cancel");
        return std::nullopt;
      }
      Write(event + (secret ? std::string("(secret)") : Ui_Quote(next->value)));
      return next->value;
    }
    Write(event + "cancel (unanswered)");
    Unanswered(next, "text " + Ui_Quote(prompt));
    return std::nullopt;
  }

  std::optional<std::vector<std::string>> AskFiles(std::string_view prompt, std::string_view,
                                                   std::string_view) override {
    std::string event = "files " + Ui_Quote(prompt) + " -> ";
    Answer* next = NextAnswer();
    if (next && next->kind == AnswerKind::Files) {
      Consume();
      if (next->cancel) {
        Write(event + "cancel");
        return std::nullopt;
      }
      std::vector<std::string> paths;
      for (const std::string& file : next->files) {
        event += Ui_Quote(file) + (&file == &next->files.back() ? "" : " ");
        paths.push_back(FromScriptFolder(file));
      }
      Write(event);
      return paths;
    }
    Write(event + "cancel (unanswered)");
    Unanswered(next, "files " + Ui_Quote(prompt));
    return std::nullopt;
  }

  void Notice(std::string_view kind, std::string_view text) override {
    if (kind == "result")
      Write("result " + std::string(text));
    else if (kind == "menu")
      Write(std::string(text));   // a line of the menu listing, as it is
    else
      Write("notice " + std::string(kind) + " " + std::string(text));
  }

  void ShowWindow(const UiWindowView& view) override {
    for (const std::string& line : Ui_WindowViewLines(view)) Write(line);
  }

  void ActionFailed(std::string_view reason) override {
    Fail(Where() + ": " + std::string(reason));
  }

  std::optional<std::string> NextAction() override {
    CloseGroup(groups_[current_]);
    if (failed_ || current_ + 1 >= groups_.size()) {
      ended_ = true;
      return std::nullopt;
    }
    ++current_;
    Write("action " + groups_[current_].action);
    return groups_[current_].action;
  }

  bool Failed(std::string* reason) const override {
    if (failed_ && reason) *reason = reason_;
    return failed_;
  }

  std::optional<Credentials> StartupLogin() const override { return login_; }

  void Finish() override {
    CloseGroup(groups_[current_]);
    if (!failed_ && current_ + 1 < groups_.size())
      Fail(name_ + ":" + std::to_string(groups_[current_ + 1].actionLine) +
           ": the frame shut down before this action ran");
    ended_ = true;
  }

 private:
  // "name:line (action)" of the group now running, for failure reasons.
  std::string Where() const {
    if (ended_ || groups_[current_].closed) return name_ + ": after the last action";
    if (current_ == 0) return name_ + ": start-up";
    const Group& g = groups_[current_];
    return name_ + ":" + std::to_string(g.actionLine) + " (" + Lb_CutForMessage(g.action, 80) +
           ")";
  }

  // A relative path of an answer is taken from the script's folder, so a
  // script finds its files wherever it is run from.
  std::string FromScriptFolder(const std::string& file) const {
    const std::filesystem::path given(file);
    if (given.is_absolute()) return file;
    const std::filesystem::path folder = std::filesystem::path(name_).parent_path();
    return folder.empty() ? file : (folder / given).lexically_normal().string();
  }

  Answer* NextAnswer() {
    Group& g = groups_[current_];
    if (g.closed || g.next >= g.answers.size()) return nullptr;
    return &g.answers[g.next];
  }
  void Consume() { ++groups_[current_].next; }

  void Unanswered(const Answer* next, const std::string& question) {
    if (next)
      Fail(Where() + ": the next answer (" + Describe(*next) + ") does not fit " + question);
    else
      Fail(Where() + ": no answer left for " + question);
  }

  void CloseGroup(Group& g) {
    if (g.closed) return;
    for (size_t i = g.next; i < g.answers.size(); ++i)
      Fail(name_ + ":" + std::to_string(g.answers[i].line) + ": answer not used (" +
           Describe(g.answers[i]) + ")");
    for (const Expectation& e : g.expectations) {
      bool found = transcript_.find(e.text) != std::string::npos;
      if (found != e.present)
        Fail(name_ + ":" + std::to_string(e.line) + ": " + Ui_Quote(Lb_CutForMessage(e.text)) +
             (e.present ? " is not in the transcript" : " is in the transcript"));
    }
    g.closed = true;
  }

  void Fail(const std::string& reason) {
    if (!failed_) {
      failed_ = true;
      reason_ = reason;
    }
    Write("fail " + reason);
  }

  void Write(const std::string& line) {
    transcript_ += line;
    transcript_ += '\n';
    if (out_ == nullptr || outLost_) return;
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    if (std::fflush(out_) != 0 || std::ferror(out_)) {
      const int error = errno;
      outLost_ = true;
      Fail("the transcript " + outName_ + " could not be written (" + std::strerror(error) +
           "); the run's record is lost");
    }
  }

  std::string name_;
  std::vector<Group> groups_;
  std::optional<Credentials> login_;
  size_t current_ = 0;  // the group whose questions are being answered
  bool ended_ = false;  // no more actions will be handed out
  bool failed_ = false;
  std::string reason_;  // the first failure
  std::string transcript_;
  FILE* out_;
  bool ownsOut_;
  std::string outName_;   // for messages: 'path' or standard output
  bool outLost_ = false;  // a write failed: nothing more goes to out_
};

}  // namespace

std::unique_ptr<UiDriver> Ui_MakeScriptDriver(std::string_view scriptText,
                                              std::string_view scriptName,
                                              std::string_view transcriptPath,
                                              std::string* error) {
  ParsedScript script;
  std::string why;
  if (!ParseScript(scriptText, scriptName, script, why)) {
    if (error) *error = why;
    return nullptr;
  }
  FILE* out = nullptr;
  bool owns = false;
  if (transcriptPath == "-") {
    out = stdout;
  } else if (!transcriptPath.empty()) {
    std::string path(transcriptPath);
    out = std::fopen(path.c_str(), "w");
    if (!out) {
      if (error)
        *error = "cannot write the transcript '" + Lb_CutForMessage(path, 200) +
                 "': " + std::strerror(errno);
      return nullptr;
    }
    owns = true;
  }
  const std::string outName = transcriptPath == "-"
                                  ? std::string("on standard output")
                                  : "'" + Lb_CutForMessage(transcriptPath, 200) + "'";
  return std::make_unique<ScriptDriver>(std::string(scriptName), std::move(script), out, owns,
                                        outName);
}

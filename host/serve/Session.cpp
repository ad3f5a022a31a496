// A session's frame process is driven over its socket one JSON line at a
// time. Until the first screen the server answers the frame's questions
// itself; after it, the page's checked messages go to the frame and the
// frame's messages to the page.
#include "host/serve/Session.h"

#include <signal.h>
#include <sodium.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <nlohmann/json.hpp>

#include "host/serve/Child.h"
#include "host/serve/Config.h"
#include "host/serve/Http.h"
#include "host/serve/Server.h"

namespace acqserve {
namespace {

namespace asio = boost::asio;
using nlohmann::json;

constexpr size_t kMaxFrameLine = 64u << 20;          // a big lister's screen
constexpr auto kLoginTimeout = std::chrono::seconds(120);
constexpr auto kKillAfter = std::chrono::seconds(10);
// A page must open its WebSocket this soon after the log-in, even with a
// shorter grace period (the page loads in between).
constexpr int kFirstConnectSeconds = 30;

std::string Ended(const std::string& text) { return json{{"t", "ended"}, {"text", text}}.dump(); }

}  // namespace

std::string Session_RandomToken() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[2 * sizeof bytes + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

bool Session_SameToken(std::string_view a, std::string_view b) {
  return a.size() == b.size() && !a.empty() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

Session::Session(asio::io_context& io, Server& server, int number, std::string user,
                 std::string address)
    : io_(io), server_(server), number_(number), user_(std::move(user)),
      address_(std::move(address)), token_(Session_RandomToken()), child_(io),
      in_(kMaxFrameLine + 1), loginTimer_(io), idleTimer_(io), graceTimer_(io), killTimer_(io) {}

Session::~Session() { Child_RemoveTree(folder_); }

bool Session::Start(const std::string& password, LoginDone done, std::string& error) {
  if (!Child_MakeSessionFolder(server_.RunFolder(), number_, folder_, error)) return false;
  int fd = -1;
  if (!Child_Spawn(server_.Config().frameArgs, folder_, pid_, fd, error)) return false;
  child_.assign(fd);
  loginDone_ = std::move(done);
  server_.ChildStarted(pid_, shared_from_this());
  Log("started (pid " + std::to_string(pid_) + ")");
  WriteChild(json{{"t", "login"}, {"user", user_}, {"password", password}}.dump());
  ReadChild();
  loginTimer_.expires_after(kLoginTimeout);
  loginTimer_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
    if (ec || self->state_ != State::Starting) return;
    self->Log("the log-in took too long");
    kill(self->pid_, SIGKILL);
  });
  return true;
}

// ---- the frame's side ---------------------------------------------------------------

void Session::ReadChild() {
  asio::async_read_until(
      child_, in_, '\n',
      [self = shared_from_this()](const boost::system::error_code& ec, size_t n) {
        if (self->state_ == State::Exited) return;
        if (ec) {
          // The frame closed its end or sent a line too long to be one: either
          // way nothing more can be read. Its exit (reaped) ends the session;
          // one that does not exit is killed.
          if (ec == asio::error::not_found) self->Log("the frame sent a line over 64 MiB");
          if (ec == asio::error::not_found) kill(self->pid_, SIGKILL);
          self->ArmKill();
          return;
        }
        const auto data = self->in_.data();
        std::string line(asio::buffers_begin(data), asio::buffers_begin(data) + std::ptrdiff_t(n) - 1);
        self->in_.consume(n);
        self->OnChildLine(std::move(line));
        self->ReadChild();
      });
}

void Session::OnChildLine(std::string line) {
  json message = json::parse(line, nullptr, /*allow_exceptions=*/false);
  auto t = message.is_object() ? message.find("t") : message.end();
  if (!message.is_object() || t == message.end() || !t->is_string()) {
    Log("the frame sent a line that is not a message");
    return;
  }
  const std::string type = t->get<std::string>();
  if (state_ == State::Starting) return OnLoginMessage(type, message);
  if (state_ != State::Running) return;   // `end` was sent: the frame answers its own questions
  if (!Serve_NoteFrameMessage(message, frame_)) {
    Log("the frame sent a malformed " + type);
    return;
  }
  if (type == "screen") {
    screenLine_ = std::move(line);
    askLine_.clear();
    SendPage(screenLine_);
  } else if (type == "ask") {
    askLine_ = std::move(line);
    SendPage(askLine_);
  } else if (type == "notice" || type == "progress") {
    SendPage(std::move(line));
  } else if (type == "file") {
    OnFile(message);
  } else {
    Log("the frame sent an unknown message \"" + type.substr(0, 40) + "\"");
  }
}

void Session::OnLoginMessage(const std::string& type, const json& message) {
  if (type == "screen") {
    Serve_NoteFrameMessage(message, frame_);
    screenLine_ = message.dump();
    return LoggedIn();
  }
  if (type != "ask") return;
  // Before the first screen no page is there to answer: a message box gets
  // its first button (and its text is kept: it says why the log-in failed),
  // any other question is cancelled.
  auto id = message.find("id");
  if (id == message.end() || !id->is_number_integer()) return;
  json answer = {{"t", "answer"}, {"id", *id}};
  auto kind = message.find("kind");
  auto buttons = message.find("buttons");
  if (kind != message.end() && *kind == "message") {
    auto text = message.find("text");
    if (text != message.end() && text->is_string() && !text->get_ref<const std::string&>().empty())
      loginTexts_.push_back(text->get<std::string>());
    if (buttons != message.end() && buttons->is_array() && !buttons->empty() &&
        buttons->front().is_string())
      answer["button"] = buttons->front();
    else
      answer["cancel"] = true;
  } else {
    answer["cancel"] = true;
  }
  WriteChild(answer.dump());
}

void Session::LoggedIn() {
  state_ = State::Running;
  loginTimer_.cancel();
  lastActivity_ = Clock::now();
  ArmIdle();
  ArmGrace(std::max(server_.Config().graceSeconds, kFirstConnectSeconds));
  LoginOutcome outcome;
  outcome.ok = true;
  if (LoginDone done = std::move(loginDone_)) done(outcome);
}

void Session::OnFile(const json& message) {
  auto path = message.find("path");
  auto name = message.find("name");
  if (path == message.end() || !path->is_string()) {
    Log("the frame announced a file without a path");
    return;
  }
  const std::string real = Child_FileInside(path->get<std::string>(), folder_);
  if (real.empty()) {
    Log("the frame announced a file outside the session folder");
    return;
  }
  std::string shown = name != message.end() && name->is_string() ? name->get<std::string>() : "";
  if (shown.empty()) shown = real.substr(real.rfind('/') + 1);
  OfferedFile d{Session_RandomToken(), real, shown};
  std::string out = json{{"t", "file"}, {"name", shown}, {"url", "/files/" + d.token}}.dump();
  downloads_.push_back(std::move(d));
  if (page_)
    page_->Send(std::move(out));
  else
    undelivered_.push_back(std::move(out));
}

void Session::WriteChild(std::string line) {
  if (state_ == State::Exited) return;
  line += '\n';
  out_.push_back(std::move(line));
  if (!writing_) WriteNextChild();
}

void Session::WriteNextChild() {
  if (out_.empty()) {
    writing_ = false;
    return;
  }
  writing_ = true;
  asio::async_write(child_, asio::buffer(out_.front()),
                    [self = shared_from_this()](const boost::system::error_code& ec, size_t) {
                      // The log-in line holds a password: not left in memory.
                      sodium_memzero(self->out_.front().data(), self->out_.front().size());
                      self->out_.pop_front();
                      if (ec) {
                        // The frame's end is gone; reading sees it too.
                        self->out_.clear();
                        self->writing_ = false;
                        return;
                      }
                      self->WriteNextChild();
                    });
}

void Session::ChildExited(int status) {
  const State was = state_;
  state_ = State::Exited;
  for (auto* timer : {&loginTimer_, &idleTimer_, &graceTimer_, &killTimer_}) timer->cancel();
  boost::system::error_code ignored;
  child_.close(ignored);
  const std::string how = Child_EndText(status);
  if (was == State::Starting) {
    Log("ended: the log-in failed (" + how + ")");
    LoginOutcome outcome;
    if (loginTexts_.empty()) {
      outcome.text = "The log-in failed.";
    } else {
      for (const std::string& text : loginTexts_)
        outcome.text += (outcome.text.empty() ? "" : "\n") + text;
    }
    if (LoginDone done = std::move(loginDone_)) done(outcome);
  } else if (was == State::Running) {
    // Exit status 0 is a frame that closed as asked (a log-out, or Exit from
    // its menu); anything else stopped it.
    const bool closed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    Log(closed ? "ended: logged out" : "ended: the program stopped: " + how);
    server_.Forget(*this);
    if (page_) {
      page_->Send(Ended(closed ? "You have logged out."
                               : "The session ended unexpectedly (the program stopped: " + how +
                                     "). Your unsaved changes are lost; log in again."));
      page_->Close();
      page_.reset();
    }
  }
  Child_RemoveTree(folder_);
  downloads_.clear();
}

void Session::Stop(const std::string& endedText, const std::string& reason) {
  if (state_ == State::Exited || state_ == State::Ending) return;
  const State was = state_;
  state_ = State::Ending;
  for (auto* timer : {&loginTimer_, &idleTimer_, &graceTimer_}) timer->cancel();
  Log("ended: " + reason);
  server_.Forget(*this);
  if (page_) {
    if (!endedText.empty()) page_->Send(Ended(endedText));
    page_->Close();
    page_.reset();
  }
  if (was == State::Starting) {
    LoginOutcome outcome;
    outcome.counts = false;
    outcome.text = endedText;
    if (LoginDone done = std::move(loginDone_)) done(outcome);
  }
  WriteChild(json{{"t", "end"}}.dump());
  ArmKill();
}

void Session::ArmKill() {
  if (state_ == State::Exited || killTimer_.expiry() > Clock::now()) return;
  killTimer_.expires_after(kKillAfter);
  killTimer_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
    if (ec || self->state_ == State::Exited) return;
    self->Log("the frame did not end: killed");
    kill(self->pid_, SIGKILL);
  });
}

// ---- the page's side ----------------------------------------------------------------

void Session::AttachPage(std::shared_ptr<PageLink> link) {
  if (state_ != State::Running) {
    link->Send(Ended("The session has ended."));
    link->Close();
    return;
  }
  if (page_) {
    page_->Send(Ended("The session goes on in another browser tab or window."));
    page_->Close();
  }
  page_ = std::move(link);
  graceTimer_.cancel();
  lastActivity_ = Clock::now();
  warned_ = false;
  page_->Send(json{{"t", "hello"}, {"user", user_}, {"location", server_.Config().location}}.dump());
  if (!screenLine_.empty()) page_->Send(screenLine_);
  if (!askLine_.empty()) page_->Send(askLine_);
  for (std::string& file : undelivered_) page_->Send(std::move(file));
  undelivered_.clear();
}

void Session::PageMessage(const PageLink* link, std::string_view text) {
  if (link != page_.get() || state_ != State::Running) return;
  lastActivity_ = Clock::now();
  warned_ = false;
  PageVerdict verdict = Serve_CheckPageMessage(text, frame_);
  switch (verdict.kind) {
    case PageVerdict::Kind::Refused:
      return Refuse(verdict.refusal);
    case PageVerdict::Kind::Action:
      return WriteChild(std::move(verdict.frameLine));
    case PageVerdict::Kind::Answer:
      frame_.ask.reset();
      frame_.uploaded.clear();
      askLine_.clear();
      return WriteChild(std::move(verdict.frameLine));
    case PageVerdict::Kind::Logout:
      if (frame_.ask) return Refuse("a question is open: answer it first");
      logoutAsked_ = true;
      return WriteChild(json{{"t", "action"}, {"text", "close"}}.dump());
  }
}

void Session::PageClosed(const PageLink* link) {
  if (link != page_.get()) return;
  page_.reset();
  if (state_ == State::Running) ArmGrace(server_.Config().graceSeconds);
}

void Session::RefusePage(const PageLink* link, const std::string& why) {
  if (link == page_.get() && state_ == State::Running) Refuse(why);
}

void Session::Refuse(const std::string& why) {
  Log("refused: " + why);
  SendPage(json{{"t", "refused"}, {"text", why}}.dump());
}

void Session::SendPage(std::string text) {
  if (page_) page_->Send(std::move(text));
}

void Session::ArmGrace(int seconds) {
  graceTimer_.expires_after(std::chrono::seconds(seconds));
  graceTimer_.async_wait([self = shared_from_this(), seconds](const boost::system::error_code& ec) {
    if (ec || self->page_ || self->state_ != State::Running) return;
    self->Stop("", "no page for " + Serve_Duration(seconds));
  });
}

// One timer serves the notice and the end: it is armed for the next of the
// two and, firing after an activity moved them, simply arms again.
void Session::ArmIdle() {
  const ServeConfig& c = server_.Config();
  const auto notice = lastActivity_ + std::chrono::seconds(c.idleSeconds - c.warnSeconds);
  const auto end = lastActivity_ + std::chrono::seconds(c.idleSeconds);
  idleTimer_.expires_at(warned_ ? end : notice);
  idleTimer_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
    if (!ec) self->OnIdleTimer();
  });
}

void Session::OnIdleTimer() {
  if (state_ != State::Running) return;
  const ServeConfig& c = server_.Config();
  const auto now = Clock::now();
  if (now >= lastActivity_ + std::chrono::seconds(c.idleSeconds)) {
    const std::string idle = Serve_Duration(c.idleSeconds);
    return Stop("The session ended after " + idle + " without activity.", "idle for " + idle);
  }
  if (!warned_ && now >= lastActivity_ + std::chrono::seconds(c.idleSeconds - c.warnSeconds)) {
    warned_ = true;
    SendPage(json{{"t", "notice"},
                  {"kind", "idle"},
                  {"text", "You have been idle for " + Serve_Duration(c.idleSeconds - c.warnSeconds) +
                               "; the session ends in " + Serve_Duration(c.warnSeconds) + "."}}
                 .dump());
  }
  ArmIdle();
}

// ---- files --------------------------------------------------------------------------

bool Session::Download(std::string_view token, std::string& path, std::string& name) const {
  for (const OfferedFile& d : downloads_) {
    if (!Session_SameToken(d.token, token)) continue;
    // Checked again: the frame may have replaced the file since.
    path = Child_FileInside(d.path, folder_);
    name = d.name;
    return !path.empty();
  }
  return false;
}

bool Session::UploadPath(long long askId, std::string_view givenName, std::string& path,
                         std::string& why) {
  if (state_ != State::Running || !frame_.ask || frame_.ask->id != askId ||
      (frame_.ask->kind != "file" && frame_.ask->kind != "files")) {
    why = "No file is asked for now.";
    return false;
  }
  if (frame_.uploaded.size() >= kMaxFilesPerAsk) {
    why = "At most " + std::to_string(kMaxFilesPerAsk) + " files at once.";
    return false;
  }
  const std::string name = Http_SafeFileName(givenName);
  path = folder_ + "/" + name;
  struct stat st;
  while (lstat(path.c_str(), &st) == 0) path = folder_ + "/" + std::to_string(++uploads_) + "-" + name;
  return true;
}

bool Session::FinishUpload(long long askId, const std::string& path, std::string& why) {
  if (state_ != State::Running || !frame_.ask || frame_.ask->id != askId) {
    why = "The question was answered or closed meanwhile.";
    return false;
  }
  lastActivity_ = Clock::now();
  warned_ = false;
  if (frame_.ask->kind == "files") {   // the page's answer says when all are there
    frame_.uploaded.push_back(path);
    return true;
  }
  frame_.ask.reset();
  askLine_.clear();
  WriteChild(json{{"t", "answer"}, {"id", askId}, {"text", path}}.dump());
  return true;
}

void Session::Log(const std::string& event) const { server_.Log(*this, event); }

}  // namespace acqserve

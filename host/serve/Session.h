// One person's session: the frame process started for the log-in, the
// page's WebSocket in front of it, and the timers of its life (log-in,
// grace after the page went away, idle, the kill after `end`).
#pragma once

#include <sys/types.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/streambuf.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/serve/Validate.h"

namespace acqserve {

class Server;

// The page's end of a session: a WebSocket, as the session sees it.
class PageLink {
 public:
  virtual ~PageLink() = default;
  // Queues one text frame.
  virtual void Send(std::string text) = 0;
  // Sends what is queued, then closes; later Sends are dropped.
  virtual void Close() = 0;
};

// How a log-in ended. `counts` is false when the person's credentials were
// never tried (the server stopped, no process could be started): such an
// end does not slow the next attempt.
struct LoginOutcome {
  bool ok = false;
  bool counts = true;
  std::string text;   // failed: what the person is told
};

// Random hex text (64 characters) for cookies and download links.
std::string Session_RandomToken();
// Whether `a` and `b` are equal, in time independent of where they differ.
bool Session_SameToken(std::string_view a, std::string_view b);

class Session : public std::enable_shared_from_this<Session> {
 public:
  using LoginDone = std::function<void(const LoginOutcome&)>;

  Session(boost::asio::io_context& io, Server& server, int number, std::string user,
          std::string address);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Makes the session's folder, starts the frame and sends it the log-in.
  // `done` is called once: when the first screen arrives (logged in) or the
  // frame ends before it. False with `error` when no frame was started
  // (`done` is then never called).
  bool Start(const std::string& password, LoginDone done, std::string& error);

  int Number() const { return number_; }
  pid_t Pid() const { return pid_; }
  const std::string& User() const { return user_; }
  const std::string& Address() const { return address_; }
  const std::string& Token() const { return token_; }

  // The page's WebSocket; a new one replaces the old.
  void AttachPage(std::shared_ptr<PageLink> link);
  void PageMessage(const PageLink* link, std::string_view text);
  void PageClosed(const PageLink* link);
  // A message of `link` refused before it could be read as text.
  void RefusePage(const PageLink* link, const std::string& why);

  // The frame process ended with wait status `status` (reaped by the server).
  void ChildExited(int status);
  // Ends a running session: `ended` (when `endedText` is not empty) to the
  // page, `end` to the frame, SIGKILL 10 s later. `reason` goes to the log.
  void Stop(const std::string& endedText, const std::string& reason);

  // The real path and name of the download `token`; false when the session
  // announced no such file.
  bool Download(std::string_view token, std::string& path, std::string& name) const;
  // A fresh path in the session's folder for the upload that answers the
  // open file question `askId` (one file, or one of several: at most
  // kMaxFilesPerAsk); false with `why` when no such question is open.
  bool UploadPath(long long askId, std::string_view givenName, std::string& path,
                  std::string& why);
  // Answers the file question `askId` with the uploaded `path`; for a
  // question for several files, keeps the path for the page's answer.
  bool FinishUpload(long long askId, const std::string& path, std::string& why);

 private:
  enum class State { Starting, Running, Ending, Exited };
  using Clock = std::chrono::steady_clock;

  void ReadChild();
  void OnChildLine(std::string line);
  void OnLoginMessage(const std::string& type, const nlohmann::json& message);
  void OnFile(const nlohmann::json& message);
  void WriteChild(std::string line);
  void WriteNextChild();
  void LoggedIn();
  void SendPage(std::string text);
  void Refuse(const std::string& why);
  void ArmIdle();
  void OnIdleTimer();
  void ArmGrace(int seconds);
  void ArmKill();
  void Log(const std::string& event) const;

  boost::asio::io_context& io_;
  Server& server_;
  const int number_;
  const std::string user_;
  const std::string address_;
  const std::string token_;
  std::string folder_;     // the session's folder (a real path); removed when the frame ended
  pid_t pid_ = -1;
  State state_ = State::Starting;

  boost::asio::posix::stream_descriptor child_;
  boost::asio::streambuf in_;
  std::deque<std::string> out_;   // lines for the frame; the front one is being written
  bool writing_ = false;

  LoginDone loginDone_;                  // set while Starting
  std::vector<std::string> loginTexts_;  // message boxes the frame showed before its first screen

  FrameState frame_;
  std::string screenLine_;   // the last screen, sent again to a new WebSocket
  std::string askLine_;      // the open question ("" none), likewise
  std::vector<std::string> undelivered_;   // file messages while no page was there
  struct OfferedFile {
    std::string token, path, name;
  };
  std::vector<OfferedFile> downloads_;   // the files announced; their links live as long as the frame
  int uploads_ = 0;

  std::shared_ptr<PageLink> page_;
  bool logoutAsked_ = false;
  Clock::time_point lastActivity_;
  bool warned_ = false;      // the idle notice was sent since the last activity
  boost::asio::steady_timer loginTimer_, idleTimer_, graceTimer_, killTimer_;
};

}  // namespace acqserve

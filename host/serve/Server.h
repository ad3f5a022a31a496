// The server of `acq serve`: the listening socket, the sessions by cookie,
// the frame processes by pid, log-in throttling, and the orderly stop on
// SIGINT or SIGTERM.
#pragma once

#include <sys/types.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/serve/Config.h"
#include "host/serve/Throttle.h"

namespace acqserve {

class Session;

// The answer to a log-in request.
struct LoginReply {
  int status = 200;
  std::string body;     // JSON
  std::string cookie;   // Set-Cookie value; "" none
};

class Server {
 public:
  Server(boost::asio::io_context& io, ServeConfig config, std::string runFolder);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Loads the certificate (under TLS), binds and listens. False with
  // `error` when the server cannot start.
  bool Open(std::string& error);
  // The port listened on (the real one when 0 was asked).
  int Port() const;
  // Accepts connections and handles signals until stopped.
  void Start();

  const ServeConfig& Config() const { return config_; }
  const std::string& RunFolder() const { return runFolder_; }
  boost::asio::ssl::context* Tls() { return tls_ ? &*tls_ : nullptr; }

  // The logged-in session whose token the Cookie header carries; null if none.
  std::shared_ptr<Session> SessionOfCookie(std::string_view cookieHeader) const;
  // Tries a log-in (after the delay the throttle asks for) and answers `reply` once.
  void Login(std::string user, std::string password, std::string address,
             std::function<void(const LoginReply&)> reply);

  // From sessions: the frame process `pid` was started; its cookie is no
  // longer valid; one line of the log.
  void ChildStarted(pid_t pid, std::shared_ptr<Session> session);
  void Forget(const Session& session);
  void Log(const Session& session, std::string_view event) const;

 private:
  void Accept();
  void WaitForChildren();
  void WaitForStop();
  void StartLogin(std::string user, std::string password, std::string address,
                  std::function<void(const LoginReply&)> reply);
  void Shutdown();
  void Finish();

  boost::asio::io_context& io_;
  ServeConfig config_;
  std::string runFolder_;
  std::optional<boost::asio::ssl::context> tls_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::signal_set childSignal_;
  boost::asio::signal_set stopSignals_;
  boost::asio::steady_timer stopTimer_;
  bool stopping_ = false;

  int nextNumber_ = 1;
  int pendingLogins_ = 0;   // log-ins waiting for their delay or their frame
  LoginThrottle throttle_;
  std::vector<std::shared_ptr<Session>> sessions_;          // logged in: their cookies are valid
  std::map<pid_t, std::shared_ptr<Session>> children_;      // frame processes not yet reaped
};

}  // namespace acqserve

#include "host/serve/Server.h"

#include <signal.h>
#include <sodium.h>
#include <sys/wait.h>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ssl/context.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "host/serve/Connection.h"
#include "host/serve/Http.h"
#include "host/serve/Session.h"

namespace acqserve {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using nlohmann::json;

constexpr int kMaxPendingLogins = 16;
constexpr auto kStopWait = std::chrono::seconds(10);

// One line of the log stays one line whatever a person typed as a name.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
  return out;
}

}  // namespace

Server::Server(asio::io_context& io, ServeConfig config, std::string runFolder)
    : io_(io), config_(std::move(config)), runFolder_(std::move(runFolder)), acceptor_(io),
      childSignal_(io, SIGCHLD), stopSignals_(io, SIGINT, SIGTERM), stopTimer_(io) {}

Server::~Server() = default;

bool Server::Open(std::string& error) {
  boost::system::error_code ec;
  if (config_.Tls()) {
    tls_.emplace(asio::ssl::context::tls_server);
    tls_->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                      asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                      asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
    if (tls_->use_certificate_chain_file(config_.tlsCert, ec); ec) {
      error = "cannot read the certificate " + config_.tlsCert + ": " + ec.message();
      return false;
    }
    if (tls_->use_private_key_file(config_.tlsKey, asio::ssl::context::pem, ec); ec) {
      error = "cannot read the key " + config_.tlsKey + ": " + ec.message();
      return false;
    }
  }
  asio::ip::address address = asio::ip::make_address(config_.listen, ec);
  if (ec) {
    tcp::resolver resolver(io_);
    auto found = resolver.resolve(config_.listen, std::to_string(config_.port), ec);
    if (ec || found.empty()) {
      error = "cannot listen on " + config_.listen + ": not an address of this machine";
      return false;
    }
    address = found.begin()->endpoint().address();
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(config_.port));
  const std::string shown = config_.listen + ":" + std::to_string(config_.port);
  if (acceptor_.open(endpoint.protocol(), ec); !ec)
    if (acceptor_.set_option(asio::socket_base::reuse_address(true), ec); !ec)
      if (acceptor_.bind(endpoint, ec); !ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = "cannot listen on " + shown + ": " + ec.message();
    return false;
  }
  return true;
}

int Server::Port() const {
  boost::system::error_code ec;
  const tcp::endpoint local = acceptor_.local_endpoint(ec);
  return ec ? config_.port : local.port();
}

void Server::Start() {
  Accept();
  WaitForChildren();
  WaitForStop();
}

void Server::Accept() {
  acceptor_.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
    if (stopping_ || ec == asio::error::operation_aborted) return;
    if (!ec) Serve_StartConnection(*this, std::move(socket));
    // Other accept errors (out of descriptors) are passing: keep accepting.
    Accept();
  });
}

// SIGCHLD may stand for several exits: every child that ended is reaped.
void Server::WaitForChildren() {
  childSignal_.async_wait([this](const boost::system::error_code& ec, int) {
    if (ec) return;
    int status = 0;
    pid_t pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
      auto it = children_.find(pid);
      if (it == children_.end()) continue;
      std::shared_ptr<Session> session = std::move(it->second);
      children_.erase(it);
      session->ChildExited(status);
    }
    if (stopping_ && children_.empty()) return Finish();
    WaitForChildren();
  });
}

void Server::WaitForStop() {
  stopSignals_.async_wait([this](const boost::system::error_code& ec, int) {
    if (!ec) Shutdown();
  });
}

void Server::Shutdown() {
  if (stopping_) return;
  stopping_ = true;
  boost::system::error_code ignored;
  acceptor_.close(ignored);
  std::vector<std::shared_ptr<Session>> live;
  for (auto& [pid, session] : children_) live.push_back(session);
  for (auto& session : live) session->Stop("The server was stopped; log in again later.", "the server stops");
  if (children_.empty()) return Finish();
  stopTimer_.expires_after(kStopWait);
  stopTimer_.async_wait([this](const boost::system::error_code& ec) {
    if (ec) return;
    for (auto& [pid, session] : children_) {
      kill(pid, SIGKILL);
      int status = 0;
      waitpid(pid, &status, 0);
    }
    children_.clear();
    Finish();
  });
}

void Server::Finish() {
  stopTimer_.cancel();
  sessions_.clear();
  io_.stop();
}

std::shared_ptr<Session> Server::SessionOfCookie(std::string_view cookieHeader) const {
  const std::string token = Http_CookieValue(cookieHeader, kCookieName);
  std::shared_ptr<Session> found;
  // Every session is compared, so the time taken says nothing of the token.
  for (const auto& session : sessions_)
    if (Session_SameToken(session->Token(), token)) found = session;
  return found;
}

void Server::Login(std::string user, std::string password, std::string address,
                   std::function<void(const LoginReply&)> reply) {
  if (stopping_) return reply({503, json{{"error", "The server is stopping."}}.dump(), ""});
  if (pendingLogins_ >= kMaxPendingLogins)
    return reply({429, json{{"error", "Too many log-ins at once; try again in a moment."}}.dump(), ""});
  ++pendingLogins_;
  const auto wait = throttle_.WaitBefore(user, address, LoginThrottle::Clock::now());
  if (wait <= LoginThrottle::Clock::duration::zero())
    return StartLogin(std::move(user), std::move(password), std::move(address), std::move(reply));
  // The delay of earlier failures holds this attempt back; other sessions go on.
  auto timer = std::make_shared<asio::steady_timer>(io_, wait);
  timer->async_wait([this, timer, user = std::move(user), password = std::move(password),
                     address = std::move(address),
                     reply = std::move(reply)](const boost::system::error_code&) mutable {
    StartLogin(std::move(user), std::move(password), std::move(address), std::move(reply));
  });
}

void Server::StartLogin(std::string user, std::string password, std::string address,
                        std::function<void(const LoginReply&)> reply) {
  if (stopping_) {
    --pendingLogins_;
    return reply({503, json{{"error", "The server is stopping."}}.dump(), ""});
  }
  auto session = std::make_shared<Session>(io_, *this, nextNumber_++, user, address);
  std::string error;
  auto done = [this, session, user, address, reply](const LoginOutcome& outcome) {
    --pendingLogins_;
    if (outcome.ok) {
      throttle_.Succeeded(user, address);
      sessions_.push_back(session);
      return reply({200, json{{"user", user}, {"location", config_.location}}.dump(),
                    Http_SessionCookie(session->Token(), config_.Tls())});
    }
    const std::string body = json{{"error", outcome.text}}.dump();
    if (!outcome.counts) return reply({503, body, ""});
    auto timer = std::make_shared<asio::steady_timer>(
        io_, throttle_.Failed(user, address, LoginThrottle::Clock::now()));
    timer->async_wait([timer, reply, body](const boost::system::error_code&) {
      reply({401, body, ""});
    });
  };
  const bool started = session->Start(password, std::move(done), error);
  sodium_memzero(password.data(), password.size());
  if (!started) {
    --pendingLogins_;
    std::fprintf(stderr, "acq serve: %s\n", error.c_str());
    reply({500, json{{"error", "The server could not start a session."}}.dump(), ""});
  }
}

void Server::ChildStarted(pid_t pid, std::shared_ptr<Session> session) {
  children_[pid] = std::move(session);
}

void Server::Forget(const Session& session) {
  std::erase_if(sessions_, [&](const std::shared_ptr<Session>& s) { return s.get() == &session; });
}

void Server::Log(const Session& session, std::string_view event) const {
  std::fprintf(stderr, "acq serve: session %d (%s from %s): %s\n", session.Number(),
               Printable(session.User()).c_str(), session.Address().c_str(),
               Printable(event).c_str());
  std::fflush(stderr);
}

}  // namespace acqserve

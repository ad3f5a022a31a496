// Each connection reads a request's header first and only then decides how
// to read its body: small bodies into memory, an upload straight into a file
// of the session's folder, a WebSocket upgrade handed to the session.
#include "host/serve/Connection.h"

#include <fcntl.h>
#include <unistd.h>

#include <boost/asio/ssl/stream.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cstdio>
#include <deque>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>

#include "host/serve/Http.h"
#include "host/serve/Server.h"
#include "host/serve/Session.h"
#include "host/serve/Validate.h"

namespace acqserve {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;
using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr auto kTransferTimeout = std::chrono::minutes(30);   // an upload or download
constexpr uint32_t kHeaderLimit = 16 * 1024;
constexpr uint64_t kSmallBodyLimit = 64 * 1024;
constexpr uint64_t kUploadLimit = 256ull << 20;
constexpr size_t kFrameLimit = 1u << 20;           // one WebSocket message from the page
constexpr size_t kPageQueueLimit = 512u << 20;     // unsent bytes to a page that reads nothing

template <class Fields>
void AddSecurityHeaders(Fields& fields) {
  fields.set(http::field::cache_control, "no-store");
  fields.set("X-Content-Type-Options", "nosniff");
  fields.set("Content-Security-Policy", kContentSecurityPolicy);
  fields.set("Referrer-Policy", "no-referrer");
  fields.set(http::field::server, "acq");
}

// ---- the page's WebSocket -------------------------------------------------------------

template <class Stream>
class WsLink : public PageLink, public std::enable_shared_from_this<WsLink<Stream>> {
 public:
  WsLink(Stream&& stream, std::shared_ptr<Session> session)
      : ws_(std::move(stream)), session_(std::move(session)) {}

  void Accept(http::request<http::empty_body> request) {
    beast::get_lowest_layer(ws_).expires_never();   // the WebSocket keeps its own time
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { AddSecurityHeaders(response); }));
    ws_.read_message_max(kFrameLimit);
    ws_.text(true);
    ws_.async_accept(request, [self = this->shared_from_this()](const beast::error_code& ec) {
      if (ec) return;
      auto session = self->session_.lock();
      if (!session) return;
      session->AttachPage(self);
      self->Read();
    });
  }

  void Send(std::string text) override {
    if (closing_ || done_) return;
    queued_ += text.size();
    if (queued_ > kPageQueueLimit) {
      // The page reads nothing: the session waits for a new one instead.
      done_ = true;
      beast::get_lowest_layer(ws_).close();
      return;
    }
    queue_.push_back(std::move(text));
    if (!writing_) WriteNext();
  }

  void Close() override {
    closing_ = true;
    if (!writing_) CloseNow();
  }

 private:
  void Read() {
    ws_.async_read(buffer_, [self = this->shared_from_this()](const beast::error_code& ec, size_t) {
      self->OnRead(ec);
    });
  }

  void OnRead(const beast::error_code& ec) {
    auto session = session_.lock();
    if (ec) {
      done_ = true;
      if (session && ec == websocket::error::message_too_big)
        session->RefusePage(this, "a message over 1 MiB (the connection was closed)");
      if (session) session->PageClosed(this);
      return;
    }
    if (session) {
      if (!ws_.got_text())
        session->RefusePage(this, "a binary message");
      else
        session->PageMessage(this, beast::buffers_to_string(buffer_.data()));
    }
    buffer_.consume(buffer_.size());
    Read();
  }

  void WriteNext() {
    if (queue_.empty() || done_) {
      writing_ = false;
      if (closing_ && !done_) CloseNow();
      return;
    }
    writing_ = true;
    ws_.async_write(asio::buffer(queue_.front()),
                    [self = this->shared_from_this()](const beast::error_code& ec, size_t) {
                      self->queued_ -= self->queue_.front().size();
                      self->queue_.pop_front();
                      if (ec) {
                        self->done_ = true;
                        self->writing_ = false;
                        return;
                      }
                      self->WriteNext();
                    });
  }

  void CloseNow() {
    if (done_) return;
    done_ = true;
    ws_.async_close(websocket::close_code::normal,
                    [self = this->shared_from_this()](const beast::error_code&) {});
  }

  websocket::stream<Stream> ws_;
  beast::flat_buffer buffer_;
  std::weak_ptr<Session> session_;
  std::deque<std::string> queue_;   // the front one is being written
  size_t queued_ = 0;
  bool writing_ = false;
  bool closing_ = false;   // Close() asked: close once the queue is empty
  bool done_ = false;      // closed or failed: nothing more is written
};

// ---- HTTP -----------------------------------------------------------------------------

template <class Stream>
class HttpConnection : public std::enable_shared_from_this<HttpConnection<Stream>> {
 public:
  HttpConnection(Server& server, Stream&& stream, std::string address)
      : server_(server), stream_(std::move(stream)), address_(std::move(address)),
        tls_(std::is_same_v<Stream, TlsStream>) {}

  void Start() {
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      beast::get_lowest_layer(stream_).expires_after(kRequestTimeout);
      stream_.async_handshake(asio::ssl::stream_base::server,
                              [self = this->shared_from_this()](const beast::error_code& ec) {
                                if (!ec) self->ReadHeader();
                              });
    } else {
      ReadHeader();
    }
  }

 private:
  using Response = http::response<http::string_body>;

  void ReadHeader() {
    header_.emplace();
    header_->header_limit(kHeaderLimit);
    // Each route sets the limit of its body; the header alone never fails on it.
    header_->body_limit(std::numeric_limits<std::uint64_t>::max());
    beast::get_lowest_layer(stream_).expires_after(kRequestTimeout);
    http::async_read_header(stream_, buffer_, *header_,
                            [self = this->shared_from_this()](const beast::error_code& ec, size_t) {
                              if (ec) return self->Shutdown();
                              self->OnHeader();
                            });
  }

  void OnHeader() {
    const auto& request = header_->get();
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = Http_Path(target);
    keepAlive_ = request.keep_alive();
    if (path == "/ws" && websocket::is_upgrade(request)) return Upgrade();
    if (path == "/api/upload" && request.method() == http::verb::post) return Upload();
    // Any other body is small: read it whole, then answer. (A parser checks a
    // declared length against its limit only while it reads the header.)
    if (auto length = header_->content_length(); length && *length > kSmallBodyLimit) {
      keepAlive_ = false;
      return Reply(Json(http::status::payload_too_large, {{"error", "The request is too large."}}));
    }
    small_.emplace(std::move(*header_));
    small_->body_limit(kSmallBodyLimit);
    http::async_read(stream_, buffer_, *small_,
                     [self = this->shared_from_this()](const beast::error_code& ec, size_t) {
                       if (ec == http::error::body_limit) {
                         self->keepAlive_ = false;
                         return self->Reply(self->Json(http::status::payload_too_large,
                                                       {{"error", "The request is too large."}}));
                       }
                       if (ec) return self->Shutdown();
                       self->Route(self->small_->get());
                     });
  }

  template <class Body>
  std::string Header(const http::request<Body>& r, http::field f) const {
    auto it = r.find(f);
    return it == r.end() ? std::string() : std::string(it->value());
  }

  template <class Body>
  bool SameOrigin(const http::request<Body>& r) const {
    return Http_SameOrigin(Header(r, http::field::origin), Header(r, http::field::host), tls_);
  }

  void Route(const http::request<http::string_body>& request) {
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = Http_Path(target);
    const bool get = request.method() == http::verb::get || request.method() == http::verb::head;
    if (path == "/api/login") {
      if (request.method() != http::verb::post) return Reply(MethodNotAllowed("POST"));
      return Login(request);
    }
    if (!get) return Reply(MethodNotAllowed("GET, HEAD"));
    if (path == "/api/session") {
      auto session = server_.SessionOfCookie(Header(request, http::field::cookie));
      if (!session) return Reply(Json(http::status::unauthorized, json::object()));
      return Reply(Json(http::status::ok,
                        {{"user", session->User()}, {"location", server_.Config().location}}));
    }
    if (path.rfind("/files/", 0) == 0) return Download(request, path.substr(7));
    if (path == "/ws") return Reply(Text(http::status::bad_request, "A WebSocket is expected here.\n"));
    const WwwFile* file = Http_PageFile(target);
    if (!file) return Reply(Text(http::status::not_found, "Not found.\n"));
    Response response{http::status::ok, 11};
    response.set(http::field::content_type, std::string(Http_ContentType(file->name)));
    if (request.method() == http::verb::get) response.body().assign(file->bytes);
    else response.content_length(file->bytes.size());
    Reply(std::move(response), request.method() == http::verb::head);
  }

  void Login(const http::request<http::string_body>& request) {
    if (!SameOrigin(request))
      return Reply(Json(http::status::forbidden, {{"error", "The request came from another site."}}));
    json body = json::parse(request.body(), nullptr, /*allow_exceptions=*/false);
    auto user = body.is_object() ? body.find("user") : body.end();
    auto password = body.is_object() ? body.find("password") : body.end();
    if (!body.is_object() || user == body.end() || !user->is_string() || password == body.end() ||
        !password->is_string())
      return Reply(Json(http::status::bad_request, {{"error", "A user name and a password are needed."}}));
    const std::string& name = user->get_ref<const std::string&>();
    if (name.empty() || name.size() > 128 || password->get_ref<const std::string&>().size() > 1024)
      return Reply(Json(http::status::unauthorized, {{"error", "The log-in failed."}}));
    server_.Login(name, password->get<std::string>(), address_,
                  [self = this->shared_from_this()](const LoginReply& reply) {
                    Response response{static_cast<http::status>(reply.status), 11};
                    response.set(http::field::content_type, "application/json");
                    if (!reply.cookie.empty()) response.set(http::field::set_cookie, reply.cookie);
                    response.body() = reply.body;
                    self->Reply(std::move(response));
                  });
  }

  void Download(const http::request<http::string_body>& request, std::string_view token) {
    auto session = server_.SessionOfCookie(Header(request, http::field::cookie));
    std::string path, name;
    if (!session || !session->Download(token, path, name))
      return Reply(Text(http::status::not_found, "Not found.\n"));
    http::response<http::file_body> response{http::status::ok, 11};
    beast::error_code ec;
    response.body().open(path.c_str(), beast::file_mode::scan, ec);
    if (ec) return Reply(Text(http::status::not_found, "Not found.\n"));
    response.set(http::field::content_type, std::string(Http_ContentType(name)));
    response.set(http::field::content_disposition, Http_ContentDisposition(name));
    Reply(std::move(response), request.method() == http::verb::head);
  }

  void Upgrade() {
    const auto& request = header_->get();
    auto session = server_.SessionOfCookie(Header(request, http::field::cookie));
    if (!session || !SameOrigin(request) || request.method() != http::verb::get) {
      keepAlive_ = false;
      return Reply(Text(http::status::forbidden, "Forbidden.\n"));
    }
    auto link = std::make_shared<WsLink<Stream>>(std::move(stream_), std::move(session));
    link->Accept(header_->release());
  }

  void Upload() {
    const auto& request = header_->get();
    // The body is not read unless it is wanted: the connection closes after
    // a refusal.
    keepAlive_ = false;
    if (!SameOrigin(request))
      return Reply(Json(http::status::forbidden, {{"error", "The request came from another site."}}));
    auto session = server_.SessionOfCookie(Header(request, http::field::cookie));
    if (!session) return Reply(Json(http::status::unauthorized, {{"error", "Log in first."}}));
    const std::string_view target(request.target().data(), request.target().size());
    const std::optional<long long> ask = Http_QueryNumber(target, "ask");
    if (!ask) return Reply(Json(http::status::bad_request, {{"error", "Which question does the file answer?"}}));
    if (auto length = header_->content_length(); length && *length > kUploadLimit)
      return Reply(Json(http::status::payload_too_large, {{"error", "The file is larger than 256 MiB."}}));
    std::string why;
    std::string file;
    auto name = request.find("X-File-Name");
    const std::string given = name == request.end() ? std::string() : std::string(name->value());
    if (!session->UploadPath(*ask, given, file, why))
      return Reply(Json(http::status::bad_request, {{"error", why}}));
    upload_.emplace(std::move(*header_));
    upload_->body_limit(kUploadLimit);
    beast::error_code ec;
    upload_->get().body().open(file.c_str(), beast::file_mode::write_new, ec);
    if (ec) return Reply(Json(http::status::internal_server_error, {{"error", "The file cannot be stored."}}));
    beast::get_lowest_layer(stream_).expires_after(kTransferTimeout);
    http::async_read(stream_, buffer_, *upload_,
                     [self = this->shared_from_this(), session, file, ask = *ask](
                         const beast::error_code& ec, size_t) {
                       self->upload_->get().body().close();
                       std::string why;
                       if (!ec && session->FinishUpload(ask, file, why))
                         return self->Reply(self->Json(http::status::ok, json::object()));
                       ::unlink(file.c_str());
                       if (ec == http::error::body_limit)
                         return self->Reply(self->Json(http::status::payload_too_large,
                                                       {{"error", "The file is larger than 256 MiB."}}));
                       if (ec) return self->Shutdown();
                       self->Reply(self->Json(http::status::bad_request, {{"error", why}}));
                     });
  }

  Response Json(http::status status, const json& body) const {
    Response response{status, 11};
    response.set(http::field::content_type, "application/json");
    response.body() = body.dump();
    return response;
  }
  Response Text(http::status status, std::string text) const {
    Response response{status, 11};
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = std::move(text);
    return response;
  }
  Response MethodNotAllowed(const char* allowed) const {
    Response response = Text(http::status::method_not_allowed, "Method not allowed.\n");
    response.set(http::field::allow, allowed);
    return response;
  }

  // Writes `response` with the headers every response carries; then the
  // next request, or the end of the connection.
  template <class Body>
  void Reply(http::response<Body>&& response, bool headOnly = false) {
    auto held = std::make_shared<http::response<Body>>(std::move(response));
    AddSecurityHeaders(*held);
    held->keep_alive(keepAlive_);
    if (!headOnly) held->prepare_payload();
    beast::get_lowest_layer(stream_).expires_after(kTransferTimeout);
    if (headOnly) {
      auto serializer = std::make_shared<http::response_serializer<Body>>(*held);
      http::async_write_header(stream_, *serializer,
                               [self = this->shared_from_this(), held, serializer](
                                   const beast::error_code& ec, size_t) { self->AfterReply(ec); });
      return;
    }
    http::async_write(stream_, *held,
                      [self = this->shared_from_this(), held](const beast::error_code& ec, size_t) {
                        self->AfterReply(ec);
                      });
  }

  void AfterReply(const beast::error_code& ec) {
    if (ec || !keepAlive_) return Shutdown();
    ReadHeader();
  }

  void Shutdown() {
    beast::error_code ignored;
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      beast::get_lowest_layer(stream_).expires_after(std::chrono::seconds(5));
      stream_.async_shutdown([self = this->shared_from_this()](const beast::error_code&) {
        beast::error_code ignored;
        beast::get_lowest_layer(self->stream_).socket().close(ignored);
      });
    } else {
      // Closing with unread bytes (a refused body) would reset the connection
      // and lose the answer: the rest is read and dropped for a few seconds.
      stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
      stream_.expires_after(std::chrono::seconds(5));
      Drain();
    }
  }

  void Drain() {
    if (!drain_) drain_ = std::make_unique<char[]>(kDrainChunk);
    stream_.async_read_some(asio::buffer(drain_.get(), kDrainChunk),
                            [self = this->shared_from_this()](const beast::error_code& ec, size_t) {
                              if (!ec) return self->Drain();
                              beast::error_code ignored;
                              self->stream_.socket().close(ignored);
                            });
  }

  Server& server_;
  Stream stream_;
  beast::flat_buffer buffer_;
  const std::string address_;
  const bool tls_;
  bool keepAlive_ = true;
  std::optional<http::request_parser<http::empty_body>> header_;
  std::optional<http::request_parser<http::string_body>> small_;
  std::optional<http::request_parser<http::file_body>> upload_;
  static constexpr size_t kDrainChunk = 16 * 1024;
  std::unique_ptr<char[]> drain_;
};

}  // namespace

void Serve_StartConnection(Server& server, tcp::socket socket) {
  boost::system::error_code ec;
  const auto remote = socket.remote_endpoint(ec);
  const std::string address = ec ? "?" : remote.address().to_string();
  if (asio::ssl::context* tls = server.Tls()) {
    std::make_shared<HttpConnection<TlsStream>>(server, TlsStream(std::move(socket), *tls), address)
        ->Start();
  } else {
    std::make_shared<HttpConnection<PlainStream>>(server, PlainStream(std::move(socket)), address)
        ->Start();
  }
}

}  // namespace acqserve

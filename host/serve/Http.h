// The small rules of the server's HTTP side, apart from the sockets: which
// page file a path names, content types, cookies, origins, file names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/serve/WwwFiles.h"

namespace acqserve {

constexpr const char* kCookieName = "acq_session";
// Sent with every response: nothing is cached, nothing sniffed, the page
// loads only its own files and is never framed.
constexpr const char* kContentSecurityPolicy =
    "default-src 'self'; connect-src 'self'; img-src 'self' data:; frame-ancestors 'none'";

// The page file a request target names ("/" is index.html; the query is
// ignored); null for anything else. Names are matched exactly, never decoded
// or joined to a folder.
const WwwFile* Http_PageFile(std::string_view target);

// "text/html; charset=utf-8" ... by the name's extension;
// application/octet-stream when unknown.
std::string_view Http_ContentType(std::string_view name);

// The value of cookie `name` in a Cookie header; "" when absent.
std::string Http_CookieValue(std::string_view header, std::string_view name);

// The Set-Cookie value of a session.
std::string Http_SessionCookie(std::string_view token, bool tls);

// Whether `origin` is this server as the browser reached it: the scheme of
// the connection and the request's Host header. An absent Origin never is.
bool Http_SameOrigin(std::string_view origin, std::string_view host, bool tls);

// The path part of a target, without the query.
std::string_view Http_Path(std::string_view target);

// The value of `key` in the target's query as a whole number; nullopt when
// absent or not a number.
std::optional<long long> Http_QueryNumber(std::string_view target, std::string_view key);

// A name for an uploaded file, from what the page sent (percent-encoded
// or not): its last path part, with only letters, digits, '.', '-', '_'
// kept (others become '_'), no leading dot, at most 100 bytes; "upload"
// when nothing is left.
std::string Http_SafeFileName(std::string_view given);

// The Content-Disposition of a download: inline for a PDF, else an
// attachment; the name both as a plain quoted ASCII fallback and UTF-8.
std::string Http_ContentDisposition(std::string_view name);

}  // namespace acqserve

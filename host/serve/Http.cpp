#include "host/serve/Http.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace acqserve {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Extension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string_view Http_Path(std::string_view target) {
  return target.substr(0, target.find_first_of("?#"));
}

const WwwFile* Http_PageFile(std::string_view target) {
  std::string_view path = Http_Path(target);
  if (path.empty() || path.front() != '/') return nullptr;
  path.remove_prefix(1);
  if (path.empty()) path = "index.html";
  for (const WwwFile& file : Www_Files())
    if (file.name == path) return &file;
  return nullptr;
}

std::string_view Http_ContentType(std::string_view name) {
  struct Type { const char* ext; const char* type; };
  static const Type types[] = {
      {"html", "text/html; charset=utf-8"},       {"js", "text/javascript; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},         {"svg", "image/svg+xml"},
      {"png", "image/png"},                       {"ico", "image/x-icon"},
      {"json", "application/json"},               {"pdf", "application/pdf"},
      {"txt", "text/plain; charset=utf-8"},       {"csv", "text/csv; charset=utf-8"},
  };
  const std::string_view ext = Extension(name);
  for (const Type& t : types)
    if (EqualNoCase(ext, t.ext)) return t.type;
  return "application/octet-stream";
}

std::string Http_CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const size_t semi = header.find(';');
    std::string_view pair = Trimmed(header.substr(0, semi));
    header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && Trimmed(pair.substr(0, eq)) == name)
      return std::string(Trimmed(pair.substr(eq + 1)));
  }
  return {};
}

std::string Http_SessionCookie(std::string_view token, bool tls) {
  std::string cookie = std::string(kCookieName) + "=" + std::string(token) +
                       "; Path=/; HttpOnly; SameSite=Strict";
  if (tls) cookie += "; Secure";
  return cookie;
}

bool Http_SameOrigin(std::string_view origin, std::string_view host, bool tls) {
  if (origin.empty() || host.empty()) return false;
  const std::string expected = std::string(tls ? "https://" : "http://") + std::string(host);
  return EqualNoCase(origin, expected);
}

std::optional<long long> Http_QueryNumber(std::string_view target, std::string_view key) {
  const size_t q = target.find('?');
  if (q == std::string_view::npos) return std::nullopt;
  std::string_view query = target.substr(q + 1);
  while (!query.empty()) {
    const size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos || pair.substr(0, eq) != key) continue;
    const std::string_view value = pair.substr(eq + 1);
    long long n = 0;
    auto [at, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (value.empty() || ec != std::errc() || at != value.data() + value.size()) return std::nullopt;
    return n;
  }
  return std::nullopt;
}

std::string Http_SafeFileName(std::string_view given) {
  std::string name = PercentDecoded(given);
  if (const size_t slash = name.find_last_of("/\\"); slash != std::string::npos)
    name.erase(0, slash + 1);
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) || u >= 0x80) {
      if (c != '.' && c != '-' && c != '_') c = '_';
    }
  }
  name.erase(0, name.find_first_not_of('.'));
  if (name.size() > 100) name.erase(0, name.size() - 100);   // keeps the extension
  name.erase(0, name.find_first_not_of('.'));
  return name.empty() ? "upload" : name;
}

std::string Http_ContentDisposition(std::string_view name) {
  std::string ascii, encoded;
  static const char* hex = "0123456789ABCDEF";
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    const bool plain = u < 0x80 && (std::isalnum(u) || c == '.' || c == '-' || c == '_');
    ascii += (u >= 0x20 && u < 0x7f && c != '"' && c != '\\') ? c : '_';
    if (plain) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += hex[u >> 4];
      encoded += hex[u & 15];
    }
  }
  const bool pdf = EqualNoCase(Extension(name), "pdf");
  return std::string(pdf ? "inline" : "attachment") + "; filename=\"" + ascii +
         "\"; filename*=UTF-8''" + encoded;
}

}  // namespace acqserve

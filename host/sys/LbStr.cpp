// Host string helpers and the workstation's INI file.
//
// INI writes are read-modify-write under an exclusive flock on the file's
// folder, and the new text replaces the file by rename, so two processes
// writing at once neither lose an entry nor leave a torn file.
#include "host/sys/LbStr.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One parsed line of an INI file.
struct IniLine {
  enum class Kind { Other, Section, Entry } kind = Kind::Other;
  std::string text;     // the line as read
  std::string name;     // section or key name, trimmed
  std::string value;    // entry value, trimmed
};

IniLine ParseIniLine(std::string text) {
  IniLine line;
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '[' && t.back() == ']') {
    line.kind = IniLine::Kind::Section;
    line.name = Trim(t.substr(1, t.size() - 2));
  } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
    size_t eq = t.find('=');
    if (eq != std::string_view::npos) {
      line.kind = IniLine::Kind::Entry;
      line.name = Trim(t.substr(0, eq));
      line.value = Trim(t.substr(eq + 1));
    }
  }
  line.text = std::move(text);
  return line;
}

// Lines of the file; empty when it does not exist. False on a read error.
bool ReadIniLines(const std::string& path, std::vector<IniLine>& lines, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = path + ": cannot open" + (ec ? ": " + ec.message() : std::string());
    return false;
  }
  std::string text;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    lines.push_back(ParseIniLine(std::move(text)));
  }
  if (in.bad()) {
    if (error) *error = path + ": read failed";
    return false;
  }
  return true;
}

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}

// Holds an exclusive flock on a folder for the scope.
class FolderLock {
 public:
  explicit FolderLock(const std::string& dir)
      : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Writes `text` to a temporary file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& text, std::string* error) {
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Fail(error, tmp);
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      bool r = Fail(error, tmp);
      ::close(fd);
      ::unlink(tmp.c_str());
      return r;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    bool r = Fail(error, tmp);
    ::unlink(tmp.c_str());
    return r;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    bool r = Fail(error, path);
    ::unlink(tmp.c_str());
    return r;
  }
  return true;
}

}  // namespace

std::string Lb_Int32ToStr(int32_t value) { return std::to_string(value); }
std::string Lb_Int16ToStr(int16_t value) { return std::to_string(value); }

std::string Lb_GetPathFromEnv(std::string_view var, std::string_view file, int maxChars) {
  std::string path;
  const char* dir = std::getenv(std::string(var).c_str());
  if (dir != nullptr && *dir != 0) {
    path = dir;
    if (path.back() != '/') path.push_back('/');
  }
  path += file;
  return Lb_CutChars(path, maxChars < 0 ? 0 : static_cast<size_t>(maxChars));
}

std::string Lb_FormatMessage(std::string_view text, std::string_view a1, std::string_view a2,
                             std::string_view a3, std::string_view a4) {
  const std::string_view args[] = {a1, a2, a3, a4};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '4') {
      out += args[text[i + 1] - '1'];
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

size_t Lb_CharCount(std::string_view utf8) {
  size_t n = 0;
  for (char c : utf8) n += IsContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
  return n;
}

std::string Lb_CutChars(std::string_view utf8, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (!IsContinuation(static_cast<unsigned char>(utf8[i])) && chars++ == maxChars) {
      return std::string(utf8.substr(0, i));
    }
  }
  return std::string(utf8);
}

void Lb_SplitCaption(std::string_view message, std::string& caption, std::string& text) {
  size_t bar = message.find('|');
  if (bar == std::string_view::npos) {
    caption.clear();
    text = message;
  } else {
    caption = message.substr(0, bar);
    text = message.substr(bar + 1);
  }
}

std::string Lb_WorkstationIniPath() {
  if (const char* p = std::getenv("ACQ_WORKSTATION"); p != nullptr && *p != 0) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x != nullptr && *x != 0) {
    return std::string(x) + "/acq/workstation.ini";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != 0 ? home : ".") + "/.config/acq/workstation.ini";
}

std::string Lb_IniRead(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view fallback) {
  std::vector<IniLine> lines;
  if (!ReadIniLines(path, lines, nullptr)) return std::string(fallback);
  bool inSection = section.empty();  // entries before any header form section ""
  for (const IniLine& line : lines) {
    if (line.kind == IniLine::Kind::Section) {
      inSection = EqualNoCase(line.name, section);
    } else if (inSection && line.kind == IniLine::Kind::Entry && EqualNoCase(line.name, key)) {
      return line.value;
    }
  }
  return std::string(fallback);
}

bool Lb_IniWrite(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value, std::string* error) {
  auto badText = [](std::string_view s) { return s.find_first_of("\r\n") != s.npos; };
  if (key.empty() || badText(section) || badText(key) || badText(value) ||
      key.find('=') != key.npos || section.find(']') != section.npos) {
    if (error) *error = "Lb_IniWrite: section, key or value not storable";
    return false;
  }

  namespace fs = std::filesystem;
  fs::path file(path);
  fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    if (error) *error = dir.string() + ": " + ec.message();
    return false;
  }
  FolderLock lock(dir.string());
  if (!lock.ok()) return Fail(error, dir.string());

  std::vector<IniLine> lines;
  if (!ReadIniLines(path, lines, error)) return false;

  std::string entry = std::string(key) + "=" + std::string(value);
  bool inSection = section.empty();
  bool sectionFound = section.empty();
  size_t insertAt = 0;  // after the last entry of the section
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    IniLine& line = lines[i];
    if (line.kind == IniLine::Kind::Section) {
      inSection = EqualNoCase(line.name, section);
      if (inSection) {
        sectionFound = true;
        insertAt = i + 1;
      }
    } else if (inSection && line.kind == IniLine::Kind::Entry) {
      if (EqualNoCase(line.name, key)) {
        line.text = entry;
        done = true;
      }
      insertAt = i + 1;
    }
  }
  if (!done) {
    if (sectionFound) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), IniLine{});
      lines[insertAt].text = entry;
    } else {
      if (!lines.empty() && !Trim(lines.back().text).empty()) lines.emplace_back();
      lines.push_back(IniLine{IniLine::Kind::Section, "[" + std::string(section) + "]", {}, {}});
      lines.push_back(IniLine{IniLine::Kind::Entry, entry, {}, {}});
    }
  }

  std::string text;
  for (const IniLine& line : lines) text += line.text + "\n";
  return ReplaceFile(path, text, error);
}

bool Lb_SplitWords(std::string_view line, std::vector<LbWord>& out, std::string& error,
                   bool hashComments) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '#' && hashComments) break;
    LbWord word;
    if (c == '"') {
      word.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char q = line[i++];
        if (q == '"') {
          closed = true;
          break;
        }
        if (q == '\\') {
          // \n, \r and \t keep a value of several lines on one line.
          const char escaped = i < line.size() ? line[i] : '\0';
          switch (escaped) {
            case '"': case '\\': q = escaped; break;
            case 'n': q = '\n'; break;
            case 'r': q = '\r'; break;
            case 't': q = '\t'; break;
            default:
              error = "unknown escape in quoted text (only \\\", \\\\, \\n, \\r and \\t)";
              return false;
          }
          ++i;
        }
        word.text.push_back(q);
      }
      if (!closed) {
        error = "missing closing quote";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
             line[i] != '\n')
        word.text.push_back(line[i++]);
    }
    out.push_back(std::move(word));
  }
  return true;
}

std::string Lb_CutForMessage(std::string_view text, size_t maxChars) {
  std::string cut = Lb_CutChars(text, maxChars);
  if (cut.size() < text.size()) cut += "...";
  return cut;
}

namespace {

// Decodes the code point at `i` and moves past it; false (with `i` past
// one byte) for a malformed sequence.
bool NextCodePoint(std::string_view text, size_t& i, char32_t& out) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                  : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return false;
  }
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += length;
  out = cp;
  return true;
}

}  // namespace

bool Lb_IsValidUtf8(std::string_view text) {
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();)
    if (!NextCodePoint(text, i, cp)) return false;
  return true;
}

std::vector<char32_t> Lb_CodePoints(std::string_view text) {
  std::vector<char32_t> out;
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();) out.push_back(NextCodePoint(text, i, cp) ? cp : U'\uFFFD');
  return out;
}

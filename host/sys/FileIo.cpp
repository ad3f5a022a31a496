// Text files in the workstation's code page: a POSIX file descriptor, an
// iconv converter from UTF-8 and a write buffer per handle.
#include "host/sys/FileIo.h"

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "host/sys/LbStr.h"

namespace {

constexpr const char* kProfileSection = "ACQ";
constexpr const char* kCodePageKey = "CodePage";
constexpr const char* kDefaultCodePage = "CP1252";
// Converted text is written once this much is waiting (bytes).
constexpr size_t kFlushAt = 64 * 1024;

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string ErrnoText(int err) { return std::strerror(err); }

// "850" -> "CP850": the profile may give a code page by number only.
std::string IconvName(std::string_view codePage) {
  bool digits = !codePage.empty();
  for (char c : codePage) digits = digits && c >= '0' && c <= '9';
  return digits ? "CP" + std::string(codePage) : std::string(codePage);
}

// Bytes of the well-formed UTF-8 character at the start of `s`, or 1 when
// it does not start one (the byte is then replaced on its own).
size_t Utf8CharLength(const unsigned char* s, size_t n) {
  unsigned char lead = s[0];
  size_t len = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) len = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
    if (lead == 0xE0) low = 0xA0;         // no overlong forms
    if (lead == 0xED) high = 0x9F;        // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;        // nothing above U+10FFFF
  } else {
    return 1;
  }
  if (n < len || s[1] < low || s[1] > high) return 1;
  for (size_t i = 2; i < len; ++i)
    if ((s[i] & 0xC0) != 0x80) return 1;
  return len;
}

}  // namespace

struct FioaFile {
  int fd = -1;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  std::string path;
  std::string codePage;
  std::string pending;        // converted bytes not yet written
  std::string failure;        // first write failure; sticky until close
  std::string replacement;    // UTF-8 replacement last converted ...
  std::string replacementOut; // ... and its bytes in the code page
  bool replacementOk = false;

  ~FioaFile() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    if (fd >= 0) ::close(fd);
  }
};

namespace {

// Converts `text`; with `replacement` null, any character that cannot be
// converted fails the call (false), else it becomes `*replacement`.
bool Convert(FioaFile& file, std::string_view text, const std::string* replacement,
             std::string& out) {
  iconv(file.cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[1024];
  for (;;) {
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    size_t rc = inLeft > 0 ? iconv(file.cd, &in, &inLeft, &o, &oLeft)
                           : iconv(file.cd, nullptr, nullptr, &o, &oLeft);
    int err = errno;
    out.append(buffer, static_cast<size_t>(o - buffer));
    if (rc != static_cast<size_t>(-1)) {
      if (inLeft == 0 && o == buffer) return true;   // shift state flushed too
      continue;
    }
    if (err == E2BIG) continue;
    if (err != EILSEQ && err != EINVAL) return false;
    if (!replacement) return false;
    size_t skip = Utf8CharLength(reinterpret_cast<const unsigned char*>(in), inLeft);
    in += skip;
    inLeft -= skip;
    out += *replacement;
  }
}

bool WriteAll(int fd, std::string_view bytes, int& err) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));   // a short write: the rest again
  }
  return true;
}

bool Flush(FioaFile& file, std::string* error) {
  if (file.failure.empty() && !file.pending.empty()) {
    int err = 0;
    if (!WriteAll(file.fd, file.pending, err))
      file.failure = "Can't write " + file.path + ": " + ErrnoText(err);
    file.pending.clear();
  }
  if (!file.failure.empty()) {
    SetError(error, file.failure);
    return false;
  }
  return true;
}

bool Append(FioaFile& file, std::string_view text, std::string_view replacement,
            std::string* error) {
  if (!file.failure.empty()) {
    SetError(error, file.failure);
    return false;
  }
  if (!file.replacementOk || file.replacement != replacement) {
    file.replacement.assign(replacement);
    file.replacementOut.clear();
    file.replacementOk = Convert(file, replacement, nullptr, file.replacementOut);
  }
  if (!file.replacementOk) {
    SetError(error, "The replacement \"" + Lb_CutForMessage(replacement) +
                        "\" cannot be written in code page " + file.codePage);
    return false;
  }
  if (!Convert(file, text, &file.replacementOut, file.pending)) {
    SetError(error, "Can't convert text to code page " + file.codePage + ": " +
                        ErrnoText(errno));
    return false;
  }
  return file.pending.size() < kFlushAt || Flush(file, error);
}

}  // namespace

std::string FIOA_WorkstationCodePage() {
  std::string codePage = Lb_IniRead(Lb_WorkstationIniPath(), kProfileSection, kCodePageKey);
  return codePage.empty() ? kDefaultCodePage : codePage;
}

bool FIOA_Create(std::string_view path, HFIOA* out, std::string* error,
                 std::string_view codePage) {
  *out = nullptr;
  if (path.empty()) {
    SetError(error, "Can't create a file without a name");
    return false;
  }
  auto file = std::make_unique<FioaFile>();
  file->path.assign(path);
  file->codePage = codePage.empty() ? FIOA_WorkstationCodePage() : std::string(codePage);
  // The converter first: a wrong code page must not leave an empty file.
  file->cd = iconv_open(IconvName(file->codePage).c_str(), "UTF-8");
  if (file->cd == reinterpret_cast<iconv_t>(-1)) {
    SetError(error, "Can't write files in code page \"" + file->codePage + "\" (" +
                        kCodePageKey + " in [" + kProfileSection + "] of " +
                        Lb_WorkstationIniPath() + "): " + ErrnoText(errno));
    return false;
  }
  file->fd = ::open(file->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file->fd < 0) {
    SetError(error, "Can't create " + file->path + ": " + ErrnoText(errno));
    return false;
  }
  *out = file.release();
  return true;
}

bool FIOA_WrStr(HFIOA file, std::string_view text, std::string* error,
                std::string_view replacement) {
  if (!file) {
    SetError(error, "No file is open");
    return false;
  }
  return Append(*file, text, replacement, error);
}

bool FIOA_WrLn(HFIOA file, std::string* error) {
  if (!file) {
    SetError(error, "No file is open");
    return false;
  }
  return Append(*file, "\r\n", "*", error);
}

bool FIOA_Close(HFIOA* file, std::string* error) {
  if (!file || !*file) return true;
  std::unique_ptr<FioaFile> owned(*file);
  *file = nullptr;
  bool ok = Flush(*owned, error);
  int fd = owned->fd;
  owned->fd = -1;
  // Some file systems (NFS, a full quota) report a lost write only here.
  if (::close(fd) != 0 && ok) {
    SetError(error, "Can't write " + owned->path + ": " + ErrnoText(errno));
    ok = false;
  }
  return ok;
}

bool FIOA_Erase(std::string_view path, std::string* error) {
  std::string name(path);
  if (::unlink(name.c_str()) == 0 || errno == ENOENT) return true;
  SetError(error, "Can't erase " + name + ": " + ErrnoText(errno));
  return false;
}

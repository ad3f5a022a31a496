// Port printers: the port map, the port files and the job writer.
#include "host/print/PortPrint.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/sys/LbStr.h"

namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> Port_DevicePath(std::string_view name) {
  static constexpr std::string_view kPorts[] = {"COM1", "COM2", "COM3", "LPT1", "LPT2", "LPT3"};
  for (std::string_view port : kPorts) {
    if (!EqualNoCase(name, port)) continue;
    char n = static_cast<char>(port[3] - 1);
    std::string fallback = port[0] == 'L' ? std::string("/dev/usb/lp") + n
                                          : std::string("/dev/ttyS") + n;
    return Lb_IniRead(Lb_WorkstationIniPath(), "Ports", port, fallback);
  }
  return std::nullopt;
}

std::optional<PortFile> PortFile::Open(const std::string& path, std::string* error) {
  // O_NONBLOCK only for the open: a FIFO without a reader then fails at once
  // instead of hanging the workstation. No O_CREAT: ports are never created.
  int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = ErrnoText(path);
    return std::nullopt;
  }
  PortFile file(fd);
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    if (error) *error = ErrnoText(path);
    return std::nullopt;
  }
  return file;
}

PortFile::PortFile(PortFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

PortFile& PortFile::operator=(PortFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

PortFile::~PortFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool PortFile::Write(std::string_view bytes, std::string* error) {
  if (fd_ < 0) {
    if (error) *error = "port is closed";
    return false;
  }
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = ErrnoText("write");
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool PortFile::Close(std::string* error) {
  if (fd_ < 0) return true;
  // The descriptor is gone after close() whatever it returns: never retry it.
  int rc = ::close(std::exchange(fd_, -1));
  if (rc < 0 && errno != EINTR) {
    if (error) *error = ErrnoText("close");
    return false;
  }
  return true;
}

struct KtFile {
  PortFile file;
};

KtFile* KtRTL_CreateFile(std::string_view name, uint32_t access, uint32_t disposition,
                         std::string* error) {
  if (access != kKtGenericWrite || disposition != kKtOpenExisting) {
    if (error) *error = "KtRTL_CreateFile: only write access to an existing file is offered";
    return nullptr;
  }
  std::string path = Port_DevicePath(name).value_or(std::string(name));
  std::optional<PortFile> file = PortFile::Open(path, error);
  if (!file) return nullptr;
  return new KtFile{std::move(*file)};
}

bool WriteFile(KtFile* handle, const void* data, uint32_t size, uint32_t* written) {
  if (written) *written = 0;
  if (handle == nullptr) return false;
  if (!handle->file.Write(std::string_view(static_cast<const char*>(data), size), nullptr)) {
    return false;
  }
  if (written) *written = size;
  return true;
}

bool CloseHandle(KtFile* handle) {
  if (handle == nullptr) return true;
  bool ok = handle->file.Close(nullptr);
  delete handle;
  return ok;
}

bool PortWriter::Fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
  file_.reset();
  return false;
}

bool PortWriter::Send(const PortText& text) {
  if (text.empty()) return true;
  std::string why;
  ++writes_;
  if (!file_->Write(DbFilter_StrPrintFilter(text, settings_.replacement), &why)) {
    return Fail(settings_.port + ": " + why);
  }
  return true;
}

bool PortWriter::Open() {
  if (!error_.empty() || file_) return false;
  std::string path = Port_DevicePath(settings_.port).value_or(settings_.port);
  std::string why;
  file_ = PortFile::Open(path, &why);
  if (!file_) return Fail(settings_.port + ": " + why);
  PortText prefix;
  prefix.AppendEscape(settings_.prefix);
  return Send(prefix);
}

bool PortWriter::AddLine(std::string_view utf8) {
  if (!file_) return Fail("port is not open");
  PortText line;
  line.AppendText(utf8);
  line.AppendEscape(settings_.lineFeed);
  if (!buffer_.empty() && buffer_.CharCount() + line.CharCount() > kPortBufferChars) {
    if (!Send(buffer_)) return false;
    buffer_.clear();
  }
  buffer_.Append(line);
  return true;
}

bool PortWriter::Finish() {
  if (!file_) return Fail("port is not open");
  if (!Send(buffer_)) return false;
  buffer_.clear();
  PortText closing;
  closing.AppendEscape(settings_.formFeed);
  closing.AppendEscape(settings_.cutPaper);
  closing.AppendEscape(settings_.suffix);
  if (!Send(closing)) return false;
  std::string why;
  bool closed = file_->Close(&why);
  file_.reset();
  if (!closed) return Fail(settings_.port + ": " + why);
  return true;
}

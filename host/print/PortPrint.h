// Port printers: the six port names of the workstation, the files behind
// them, and the writer that sends a job of text lines to one.
//
// The port map lives in the workstation's configuration file
// (Lb_WorkstationIniPath()), section "Ports":
//     [Ports]
//     LPT1=/dev/usb/lp0        ; a USB printer
//     COM1=/dev/ttyUSB0        ; a serial printer, set up beforehand (stty)
//     LPT2=/var/spool/slips    ; an existing file, a FIFO read by a spooler
// A port without an entry is LPTn -> /dev/usb/lp(n-1), COMn -> /dev/ttyS(n-1).
// Ports are opened, never created: a path that does not exist cannot be
// printed to, so a typo never leaves a stray file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "host/print/PortEscape.h"
#include "host/print/PrintFilter.h"

// The device path of port `name` ("COM1".."COM3", "LPT1".."LPT3", any
// case), from the port map; std::nullopt when `name` is not one of the six.
[[nodiscard]] std::optional<std::string> Port_DevicePath(std::string_view name);

// An open port or file, written to and closed by its owner.
class PortFile {
 public:
  // Opens `path` for writing: it must exist (never created); a FIFO must
  // have a reader. std::nullopt with the reason in `error` otherwise.
  [[nodiscard]] static std::optional<PortFile> Open(const std::string& path, std::string* error);
  PortFile(PortFile&& other) noexcept;
  PortFile& operator=(PortFile&& other) noexcept;
  PortFile(const PortFile&) = delete;
  PortFile& operator=(const PortFile&) = delete;
  ~PortFile();

  // Writes all of `bytes` (short writes and interrupted calls continue).
  // False with the reason in `error` when the port refuses.
  [[nodiscard]] bool Write(std::string_view bytes, std::string* error);
  // Closes now; false when the device reports a failure on closing.
  [[nodiscard]] bool Close(std::string* error);

 private:
  explicit PortFile(int fd) : fd_(fd) {}
  int fd_ = -1;  // -1 once closed or moved from
};

// The C-style calls of the module: a handle owns one PortFile from
// KtRTL_CreateFile until CloseHandle.
struct KtFile;
inline constexpr uint32_t kKtGenericWrite = 0x40000000u;
inline constexpr uint32_t kKtOpenExisting = 3;
// Opens port `name` (through the port map) or the file at path `name`.
// Only write access to an existing file is offered: any other `access` or
// `disposition` is refused. nullptr on failure, the reason in `error`.
[[nodiscard]] KtFile* KtRTL_CreateFile(std::string_view name, uint32_t access,
                                       uint32_t disposition, std::string* error = nullptr);
// Writes `size` bytes; `written` gets the count written. False on failure.
[[nodiscard]] bool WriteFile(KtFile* handle, const void* data, uint32_t size, uint32_t* written);
// Closes and frees the handle (nullptr is ignored). False when closing failed.
bool CloseHandle(KtFile* handle);

// What a port job sends besides its lines.
struct PortSettings {
  std::string port;            // port name or path, as for KtRTL_CreateFile
  EscapeSequence prefix;       // first, once
  EscapeSequence lineFeed;     // after every line
  EscapeSequence formFeed;     // after the last line
  EscapeSequence cutPaper;     // after the form feed
  EscapeSequence suffix;       // last
  uint8_t replacement = '?';   // for characters the printer cannot print
};

// Characters (text plus line-feed codes) gathered before a write.
inline constexpr size_t kPortBufferChars = 8000;

// Sends a job to a port: Open (sends the prefix), AddLine for each line,
// Finish. Lines are gathered and sent through the print filter one buffer
// per write: a buffer is sent before a line that would take it past
// kPortBufferChars, and a line is never split (a longer line is sent alone,
// cut by the filter at kPrintFilterMaxBytes). After the first failure every
// call returns false and nothing more is written; error() says why.
class PortWriter {
 public:
  explicit PortWriter(PortSettings settings) : settings_(std::move(settings)) {}

  [[nodiscard]] bool Open();
  [[nodiscard]] bool AddLine(std::string_view utf8);
  // Sends what is gathered, then form feed, cut paper and suffix; closes.
  [[nodiscard]] bool Finish();

  const std::string& error() const { return error_; }
  // Writes made so far: one per buffer sent, one for the prefix, one for
  // the closing sequences (empty ones are not written).
  size_t WriteCount() const { return writes_; }

 private:
  bool Send(const PortText& text);
  bool Fail(std::string why);

  PortSettings settings_;
  std::optional<PortFile> file_;  // open between Open and Finish
  PortText buffer_;               // never more than kPortBufferChars, but for one long line
  std::string error_;             // set by the first failure; sticky
  size_t writes_ = 0;
};

// Text files written for people and other programs (cheque forms, order
// files): created, written text by text in the workstation's code page with
// Windows line ends, closed, or erased. Failures are results with the reason,
// never exceptions.
//
// The code page is the workstation profile's CodePage in section [ACQ]
// (Lb_WorkstationIniPath), any name iconv knows ("CP1252", "ISO-8859-1",
// "CP850"; a bare number such as "850" means "CP850"); "CP1252" when absent.
// Code pages are taken to be ASCII-compatible single- or multi-byte ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct FioaFile;
using HFIOA = FioaFile*;

// The code page files are written in when the caller names none: CodePage
// of [ACQ] in the workstation profile, else "CP1252".
std::string FIOA_WorkstationCodePage();

// Creates (or empties) the file at `path` for writing text converted to
// `codePage` ("" means FIOA_WorkstationCodePage()). On success *out is
// the open handle. On failure returns false with the reason in `error`
// ("Can't create <path>: No such file or directory", or the unknown code
// page) and creates nothing: an unknown code page is found before the file
// is touched. Nothing is announced to the person (MucTools_FileWritten is
// the caller's, after a successful FIOA_Close).
[[nodiscard]] bool FIOA_Create(std::string_view path, HFIOA* out, std::string* error,
                               std::string_view codePage = {});

// Writes UTF-8 `text` as it is (no line end added) converted to the file's
// code page. A character the code page lacks, and each byte that is not
// part of well-formed UTF-8, becomes `replacement` (UTF-8 text, converted
// too; "*" by default). Characters are never split.
// Output is buffered; a failed write of the buffer fails this call and
// every later one on the handle, with the same reason. False with `error`
// also when `replacement` itself cannot be written in the code page.
[[nodiscard]] bool FIOA_WrStr(HFIOA file, std::string_view text, std::string* error,
                              std::string_view replacement = "*");

// Ends the current line with "\r\n": the files go to printers and banks
// that expect DOS/Windows line ends, whatever the workstation runs.
[[nodiscard]] bool FIOA_WrLn(HFIOA file, std::string* error);

// Writes what is buffered and closes the file; *file becomes nullptr. False
// with `error` when the final write or the close fails, or when an earlier
// write on the handle had failed: the file is then incomplete, and the
// caller decides whether to erase it. A null *file is a successful no-op.
[[nodiscard]] bool FIOA_Close(HFIOA* file, std::string* error);

// Removes the file at `path`. True when it is gone, also when there was no
// such file (erasing after a failed create is then harmless); false with
// the reason otherwise (a folder, no permission).
[[nodiscard]] bool FIOA_Erase(std::string_view path, std::string* error);

// Owns a handle for a scope. Close() is the checked close; the destructor
// closes a handle still open and drops any error, so a caller that needs to
// know the file is complete calls Close().
class FioaFileHold {
 public:
  FioaFileHold() = default;
  ~FioaFileHold() {
    std::string ignored;
    (void)FIOA_Close(&file_, &ignored);
  }
  FioaFileHold(const FioaFileHold&) = delete;
  FioaFileHold& operator=(const FioaFileHold&) = delete;

  // FIOA_Create into this holder (closing a file it held first).
  [[nodiscard]] bool Create(std::string_view path, std::string* error,
                            std::string_view codePage = {}) {
    std::string ignored;
    (void)FIOA_Close(&file_, &ignored);
    return FIOA_Create(path, &file_, error, codePage);
  }
  [[nodiscard]] bool Close(std::string* error) { return FIOA_Close(&file_, error); }
  HFIOA get() const { return file_; }
  bool is_open() const { return file_ != nullptr; }

 private:
  HFIOA file_ = nullptr;
};

// ---- Reading files byte by byte (interchanges a vendor sent) ----------------------------------
//
// A file opened for reading hands out its bytes one at a time through a
// buffer the caller provides (FIO_AssignBuffer): the whole file is never
// in memory, whatever its size. FIO_RdChar is inline so that reading a
// gigabyte costs one comparison a byte; it refills through FIO_Refill.

struct FioFile {
  const unsigned char* pos = nullptr;   // next byte in the buffer
  const unsigned char* end = nullptr;   // one past the last byte read into it
};
using HFIO = FioFile*;

constexpr int FIO_EOF = -1;     // FIO_RdChar: no byte left
constexpr int FIO_ERROR = -2;   // FIO_RdChar: the read failed (FIO_LastError says why)

// Opens `path` for reading. On failure false with the reason in `error`
// ("Can't open <path>: No such file or directory"; a folder is refused).
[[nodiscard]] bool FIO_Open(std::string_view path, HFIO* out, std::string* error);
// Makes `buffer` (`size` bytes, owned by the caller, alive until close) the
// file's read buffer. Without one the file reads through a small buffer of
// its own.
void FIO_AssignBuffer(HFIO file, unsigned char* buffer, size_t size);
// The file's size in bytes when it was opened.
int64_t FIO_Size(HFIO file);
// Reads the next buffer's worth; the next byte (0 to 255), FIO_EOF or FIO_ERROR.
int FIO_Refill(HFIO file);
// The next byte of the file as its code point (0 to 255), FIO_EOF at the
// end, FIO_ERROR when the read failed.
inline int FIO_RdChar(HFIO file) { return file->pos < file->end ? *file->pos++ : FIO_Refill(file); }
// Why the last FIO_RdChar gave FIO_ERROR.
std::string FIO_LastError(HFIO file);
// Closes the file; *file becomes nullptr. A null *file is a no-op.
void FIO_Close(HFIO* file);

// Owns a file opened for reading for a scope.
class FioReadHold {
 public:
  FioReadHold() = default;
  ~FioReadHold() { FIO_Close(&file_); }
  FioReadHold(const FioReadHold&) = delete;
  FioReadHold& operator=(const FioReadHold&) = delete;
  [[nodiscard]] bool Open(std::string_view path, std::string* error) {
    FIO_Close(&file_);
    return FIO_Open(path, &file_, error);
  }
  HFIO get() const { return file_; }

 private:
  HFIO file_ = nullptr;
};

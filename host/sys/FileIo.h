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

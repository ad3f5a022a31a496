// Print jobs: the page setup kept per workstation, the job laid out as
// pages of lines, and its end as a PDF file or a CUPS job.
#include "host/print/MucPrint.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "host/muc/MucTools.h"
#include "host/print/PrintCups.h"
#include "host/print/PrintRender.h"
#include "host/sys/LbStr.h"

using print_internal::PrintLine;
using print_internal::PrintPage;

struct MucPrintJob {
  enum class State { Opened, Started, Ended };
  State state = State::Opened;
  std::string printer;
  MucPrintPageSetup setup;
  print_internal::PageGeometry geometry;
  std::unique_ptr<print_internal::PdfCanvas> canvas;   // from StartPrint to EndPrint
  std::string title;
  std::string pageWord = "Page", ofWord = "of";
  int linesPerPage = 0;
  // Every page laid out so far; the last one takes new lines while open.
  std::vector<PrintPage> pages;
  bool pageOpen = false;
  // The documents of the job by their first page (index in `pages`,
  // ascending) and the title their page headers show; a document runs to
  // the next one's first page. Pages before the first are the job's own.
  struct Document { size_t first; std::string title; };
  std::vector<Document> documents;
  // The line each new page of the current document starts with; none when empty.
  PrintLine runningHeading;
  std::string error;
  std::string outputPath;
};

namespace {

constexpr std::string_view kSection = "PrintSetup";

MucPrintCode Fail(MucPrintJob* job, MucPrintCode code, std::string why) {
  job->error = std::move(why);
  return code;
}

// Calls that add to a job need one started and not ended.
MucPrintCode CheckStarted(MucPrintJob* job) {
  if (!job) return MUCPRINT_BAD_CALL;
  if (job->state != MucPrintJob::State::Started)
    return Fail(job, MUCPRINT_BAD_CALL, "the print job is not started, or has ended");
  return MUCPRINT_OK;
}

// Opens a new page, with the running heading at its top.
void NewPage(MucPrintJob* job) {
  job->pages.emplace_back();
  job->pageOpen = true;
  if (!job->runningHeading.empty() && job->linesPerPage > 1)
    job->pages.back().lines.push_back(job->runningHeading);
}

void AddLine(MucPrintJob* job, PrintLine line) {
  if (!job->pageOpen || static_cast<int>(job->pages.back().lines.size()) >= job->linesPerPage)
    NewPage(job);
  job->pages.back().lines.push_back(std::move(line));
}

bool ParseNumber(const std::string& text, double low, double high, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != 0 || !(value >= low && value <= high)) return false;
  out = value;
  return true;
}

std::string CheckSetup(const MucPrintPageSetup& setup) {
  for (double margin : {setup.marginTopMm, setup.marginBottomMm, setup.marginLeftMm,
                        setup.marginRightMm})
    if (!(margin >= 0 && margin <= 100)) return "margins must be 0 to 100 mm";
  if (!(setup.fontPoints >= 4 && setup.fontPoints <= 200))
    return "the font size must be 4 to 200 points";
  if (setup.copies < 1 || setup.copies > 999) return "copies must be 1 to 999";
  if (setup.fontFamily.empty()) return "no font family is given";
  const print_internal::PageGeometry g = print_internal::GeometryOf(setup);
  if (g.contentWidthPt <= 0 || g.contentHeightPt <= 0) return "the margins leave no room to print";
  return {};
}

// The title as a file name: letters, digits, '-' and '_' kept, runs of
// anything else one '_', at most 80 characters; never empty, never hidden.
std::string SafeFileStem(std::string_view title) {
  std::string stem;
  for (unsigned char c : title) {
    if (std::isalnum(c) || c == '-' || c == '_') {
      stem += static_cast<char>(c);
    } else if (!stem.empty() && stem.back() != '_') {
      stem += '_';
    }
    if (stem.size() >= 80) break;
  }
  while (!stem.empty() && stem.back() == '_') stem.pop_back();
  return stem.empty() ? "print" : stem;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, so that a failed close is seen.
  bool Close() { const int fd = fd_; fd_ = -1; return ::close(fd) == 0; }

 private:
  int fd_;
};

// Writes `pdf` to a new file in `folder` named after `title`; an existing
// file is never replaced ("-2", "-3" ... are tried instead).
bool WritePdfFile(const std::string& folder, std::string_view title, const std::string& pdf,
                  std::string& path, std::string& error) {
  const std::string stem = folder + "/" + SafeFileStem(title);
  for (int n = 1; n < 1000; ++n) {
    path = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".pdf";
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
      if (errno == EEXIST) continue;
      error = path + ": " + std::strerror(errno);
      return false;
    }
    size_t done = 0;
    while (done < pdf.size()) {
      const ssize_t wrote = ::write(fd.get(), pdf.data() + done, pdf.size() - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) break;
      done += static_cast<size_t>(wrote);
    }
    if (done == pdf.size() && fd.Close()) return true;
    error = path + ": " + std::strerror(errno);
    ::unlink(path.c_str());
    return false;
  }
  error = stem + ".pdf: too many files of that name";
  return false;
}

}  // namespace

// ---- page setup ------------------------------------------------------------------------

MucPrintPageSetup MucPrint_QueryPageSetup() {
  const std::string ini = Lb_WorkstationIniPath();
  auto read = [&](std::string_view key) { return Lb_IniRead(ini, kSection, key); };
  MucPrintPageSetup setup;
  const std::string paper = read("Paper");
  if (strcasecmp(paper.c_str(), "Letter") == 0) setup.paper = MUCPRINT_PAPER_LETTER;
  ParseNumber(read("MarginTop"), 0, 100, setup.marginTopMm);
  ParseNumber(read("MarginBottom"), 0, 100, setup.marginBottomMm);
  ParseNumber(read("MarginLeft"), 0, 100, setup.marginLeftMm);
  ParseNumber(read("MarginRight"), 0, 100, setup.marginRightMm);
  ParseNumber(read("FontSize"), 4, 200, setup.fontPoints);
  if (std::string family = read("FontFamily"); !family.empty()) setup.fontFamily = family;
  double copies = 0;
  if (ParseNumber(read("Copies"), 1, 999, copies) && copies == static_cast<int>(copies))
    setup.copies = static_cast<int>(copies);
  // Values each right on their own may together leave no room on the page.
  if (!CheckSetup(setup).empty()) return MucPrintPageSetup{};
  return setup;
}

bool MucPrint_SavePageSetup(const MucPrintPageSetup& setup, std::string* error) {
  if (std::string why = CheckSetup(setup); !why.empty()) {
    if (error) *error = why;
    return false;
  }
  auto number = [](double value) {
    std::string text = std::to_string(value);   // "12.500000"
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
  };
  const std::string ini = Lb_WorkstationIniPath();
  const std::pair<std::string_view, std::string> entries[] = {
      {"Paper", setup.paper == MUCPRINT_PAPER_LETTER ? "Letter" : "A4"},
      {"MarginTop", number(setup.marginTopMm)},
      {"MarginBottom", number(setup.marginBottomMm)},
      {"MarginLeft", number(setup.marginLeftMm)},
      {"MarginRight", number(setup.marginRightMm)},
      {"FontFamily", setup.fontFamily},
      {"FontSize", number(setup.fontPoints)},
      {"Copies", std::to_string(setup.copies)},
  };
  for (const auto& [key, value] : entries)
    if (!Lb_IniWrite(ini, kSection, key, value, error)) return false;
  return true;
}

int MucPrint_GetPageSetupCopies(const MucPrintPageSetup& setup) { return setup.copies; }

// ---- printers ----------------------------------------------------------------------------

std::vector<std::string> MucPrint_ListPrinters() {
  std::vector<std::string> names = print_internal::CupsListDestinations().names;
  names.emplace_back(kMucPrintPdfFile);
  return names;
}

std::string MucPrint_DefaultPrinter() {
  std::string name = print_internal::CupsListDestinations().defaultName;
  return name.empty() ? std::string(kMucPrintPdfFile) : name;
}

bool MucPrint_OpenPrinterDlgBox(std::string_view title, std::string& printer) {
  UiDriver* driver = Ui_Driver();
  if (driver == nullptr) return false;
  const std::vector<std::string> names = MucPrint_ListPrinters();
  auto offered = std::find(names.begin(), names.end(), printer);
  if (offered == names.end()) offered = std::find(names.begin(), names.end(), MucPrint_DefaultPrinter());
  const size_t initial = offered == names.end() ? names.size() - 1 : offered - names.begin();
  const std::optional<size_t> chosen = driver->AskChoice(title, names, initial);
  if (!chosen) return false;
  printer = names[*chosen];
  return true;
}

// ---- a print job -------------------------------------------------------------------------

MucPrintCode MucPrint_OpenPrinter(std::string_view printer, const MucPrintPageSetup& setup,
                                  HPRINTER* out, std::string* error) {
  *out = nullptr;
  if (std::string why = CheckSetup(setup); !why.empty()) {
    if (error) *error = "Page setup: " + why;
    return MUCPRINT_BAD_SETUP;
  }
  if (printer != kMucPrintPdfFile) {
    const std::vector<std::string> names = print_internal::CupsListDestinations().names;
    if (std::find(names.begin(), names.end(), printer) == names.end()) {
      if (error) *error = "There is no printer \"" + std::string(printer) + "\".";
      return MUCPRINT_UNKNOWN_PRINTER;
    }
  }
  auto job = std::make_unique<MucPrintJob>();
  job->printer = printer;
  job->setup = setup;
  job->geometry = print_internal::GeometryOf(setup);
  *out = job.release();
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_StartPrint(HPRINTER job, std::string_view title) {
  if (!job) return MUCPRINT_BAD_CALL;
  if (job->state != MucPrintJob::State::Opened)
    return Fail(job, MUCPRINT_BAD_CALL, "the print job was already started");
  std::string why;
  job->canvas = print_internal::PdfCanvas::Create(job->geometry, job->setup, title, &why);
  if (!job->canvas) return Fail(job, MUCPRINT_RENDER_FAILED, "Cannot make the PDF: " + why);
  job->linesPerPage = static_cast<int>(job->geometry.contentHeightPt / job->canvas->LineHeight()) -
                      print_internal::kHeaderLines;
  if (job->linesPerPage < 1) {
    job->canvas.reset();
    return Fail(job, MUCPRINT_FONT_TOO_LARGE, "not one line of the font fits on the page");
  }
  job->title = title;
  job->state = MucPrintJob::State::Started;
  job->error.clear();
  return MUCPRINT_OK;
}

void MucPrint_SetPageWords(HPRINTER job, std::string_view page, std::string_view of) {
  if (!job) return;
  job->pageWord = page;
  job->ofWord = of;
}

MucPrintCode MucPrint_StartPage(HPRINTER job) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  if (job->pageOpen && job->pages.back().lines.empty()) return MUCPRINT_OK;
  job->pages.emplace_back();
  job->pageOpen = true;
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_PrintStr(HPRINTER job, std::string_view text, MucPrintAlign align,
                               MucPrintStyle style) {
  return MucPrint_PrintCells(job, {MucPrintCell{std::string(text), 0, 1000, align, style}});
}

MucPrintCode MucPrint_PrintCells(HPRINTER job, const std::vector<MucPrintCell>& cells) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  for (const MucPrintCell& cell : cells)
    if (cell.fromPermille < 0 || cell.toPermille > 1000 || cell.fromPermille >= cell.toPermille)
      return Fail(job, MUCPRINT_BAD_CALL, "a column lies outside the printable width");
  AddLine(job, cells);
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_PrintWrapTmp(HPRINTER job, std::string_view text, MucPrintAlign align,
                                   MucPrintStyle style, int* lines) {
  if (lines) *lines = 0;
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  std::vector<std::string> pieces;
  if (!job->canvas->Wrap(text, style, pieces))
    return Fail(job, MUCPRINT_FONT_TOO_LARGE, "a character is wider than the printed line");
  for (std::string& piece : pieces)
    AddLine(job, {MucPrintCell{std::move(piece), 0, 1000, align, style}});
  if (lines) *lines = static_cast<int>(pieces.size());
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_PrintWrapCells(HPRINTER job, const std::vector<MucPrintCell>& cells,
                                     int* lines) {
  if (lines) *lines = 0;
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  std::vector<std::vector<std::string>> wrapped(cells.size());
  size_t height = 1;
  for (size_t c = 0; c < cells.size(); ++c) {
    const MucPrintCell& cell = cells[c];
    if (cell.fromPermille < 0 || cell.toPermille > 1000 || cell.fromPermille >= cell.toPermille)
      return Fail(job, MUCPRINT_BAD_CALL, "a column lies outside the printable width");
    const double width =
        job->canvas->ContentWidth() * (cell.toPermille - cell.fromPermille) / 1000.0;
    if (!job->canvas->WrapWithin(cell.text, cell.style, width, wrapped[c]))
      return Fail(job, MUCPRINT_FONT_TOO_LARGE, "a character is wider than its column");
    height = std::max(height, wrapped[c].size());
  }
  const int rows = static_cast<int>(height);
  if (rows <= job->linesPerPage && MucPrint_LinesLeft(job) < rows) job->pageOpen = false;
  for (size_t n = 0; n < height; ++n) {
    PrintLine line;
    for (size_t c = 0; c < cells.size(); ++c) {
      if (n >= wrapped[c].size()) continue;
      MucPrintCell piece = cells[c];
      piece.text = std::move(wrapped[c][n]);
      line.push_back(std::move(piece));
    }
    AddLine(job, std::move(line));
  }
  if (lines) *lines = rows;
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_StartDocument(HPRINTER job, std::string_view title) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  // A page started and still empty belongs to the new document.
  if (job->pageOpen && !job->pages.back().lines.empty()) job->pageOpen = false;
  job->runningHeading.clear();
  const size_t first = job->pageOpen ? job->pages.size() - 1 : job->pages.size();
  std::string shown(title.empty() ? std::string_view(job->title) : title);
  // A document without a page gives way to the one that follows it.
  if (!job->documents.empty() && job->documents.back().first == first)
    job->documents.back().title = std::move(shown);
  else
    job->documents.push_back({first, std::move(shown)});
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_SetRunningHeading(HPRINTER job, const std::vector<MucPrintCell>& cells) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  for (const MucPrintCell& cell : cells)
    if (cell.fromPermille < 0 || cell.toPermille > 1000 || cell.fromPermille >= cell.toPermille)
      return Fail(job, MUCPRINT_BAD_CALL, "a column lies outside the printable width");
  job->runningHeading = cells;
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_PrintRule(HPRINTER job, char fill) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  const double one = job->canvas->TextWidth(std::string(1, fill), MUCPRINT_REGULAR);
  if (one <= 0) return MucPrint_PrintStr(job, "", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  // Measured as a whole: a run of glyphs may be narrower than the sum of one.
  size_t count = static_cast<size_t>(job->geometry.contentWidthPt / one);
  while (count > 0 &&
         job->canvas->TextWidth(std::string(count, fill), MUCPRINT_REGULAR) >
             job->geometry.contentWidthPt)
    --count;
  return MucPrint_PrintStr(job, std::string(count, fill), MUCPRINT_LEFT, MUCPRINT_REGULAR);
}

int MucPrint_LinesLeft(HPRINTER job) {
  if (!job || job->state != MucPrintJob::State::Started) return 0;
  if (!job->pageOpen) return job->linesPerPage;
  return job->linesPerPage - static_cast<int>(job->pages.back().lines.size());
}

int MucPrint_LinesPerPage(HPRINTER job) { return job ? job->linesPerPage : 0; }

MucPrintCode MucPrint_EndPage(HPRINTER job) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  // An end without a start still ends a page: the page is there, blank.
  if (!job->pageOpen) job->pages.emplace_back();
  job->pageOpen = false;
  return MUCPRINT_OK;
}

MucPrintCode MucPrint_EndPrint(HPRINTER job) {
  if (MucPrintCode code = CheckStarted(job); code != MUCPRINT_OK) return code;
  job->state = MucPrintJob::State::Ended;
  if (job->pages.empty()) job->pages.emplace_back();
  const size_t total = job->pages.size();
  size_t first = 0;                       // the first page of page i's document
  const std::string* title = &job->title;  // and the title of its headers
  size_t next = 0;                        // index in documents of the following one
  for (size_t i = 0; i < total; ++i) {
    while (next < job->documents.size() && job->documents[next].first <= i) {
      first = job->documents[next].first;
      title = &job->documents[next].title;
      ++next;
    }
    const size_t end = next < job->documents.size()
                           ? std::min(job->documents[next].first, total) : total;
    const std::string numbering = job->pageWord + " " + std::to_string(i - first + 1) + " " +
                                  job->ofWord + " " + std::to_string(end - first);
    job->canvas->DrawPage(*title, numbering, job->pages[i]);
  }
  std::string pdf, why;
  const bool made = job->canvas->Finish(pdf, &why);
  job->canvas.reset();
  job->pages.clear();
  if (!made) return Fail(job, MUCPRINT_RENDER_FAILED, "Cannot make the PDF: " + why);

  if (job->printer == kMucPrintPdfFile) {
    std::string path;
    if (!WritePdfFile(MucTools_OutputFolder(), job->title, pdf, path, why))
      return Fail(job, MUCPRINT_NOT_WRITTEN, "Cannot write the PDF file " + why);
    job->outputPath = path;
    job->error.clear();
    // Announced by the file's own name, so that a browser knows it is a PDF.
    MucTools_FileWritten(path, path.substr(path.rfind('/') + 1));
    return MUCPRINT_OK;
  }
  if (!print_internal::CupsSendPdf(job->printer, job->title, pdf, job->setup.copies, &why))
    return Fail(job, MUCPRINT_NOT_ACCEPTED,
                "The printer \"" + job->printer + "\" did not take the job: " + why);
  job->error.clear();
  return MUCPRINT_OK;
}

std::string MucPrint_ErrorText(HPRINTER job) { return job ? job->error : std::string(); }

std::string MucPrint_OutputPath(HPRINTER job) { return job ? job->outputPath : std::string(); }

void MucPrint_ClosePrinter(HPRINTER* job) {
  delete *job;
  *job = nullptr;
}

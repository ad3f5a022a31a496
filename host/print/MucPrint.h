// The host's printing services (PwPrint75): a print job is laid out by the
// caller as pages of lines, measured and rendered with the same fonts
// (pango on a cairo PDF surface), and at its end either kept as a PDF file
// in the person's output folder or handed to a CUPS destination.
//
// A job is built in full before anything is drawn, so that every page
// header can say "Page n of m". Nothing reaches a printer or a file before
// MucPrint_EndPrint.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The printer name that keeps the job as a PDF file instead of printing it.
inline constexpr std::string_view kMucPrintPdfFile = "PDF file";

// What a call's failure asks the caller to do. 0 is success.
enum MucPrintCode : int {
  MUCPRINT_OK = 0,
  MUCPRINT_UNKNOWN_PRINTER = 1,  // no such destination: choose another printer
  MUCPRINT_BAD_SETUP = 2,        // page setup out of range (margins, font, copies)
  MUCPRINT_FONT_TOO_LARGE = 3,   // not one character fits a line, or not one line a page
  MUCPRINT_BAD_CALL = 4,         // calls out of order (no job started, job ended)
  MUCPRINT_RENDER_FAILED = 5,    // cairo could not make the PDF
  MUCPRINT_NOT_WRITTEN = 6,      // the PDF file could not be written
  MUCPRINT_NOT_ACCEPTED = 7,     // CUPS refused the job or could not be reached
};

enum MucPrintPaper : int { MUCPRINT_PAPER_A4 = 0, MUCPRINT_PAPER_LETTER = 1 };
enum MucPrintAlign : int { MUCPRINT_LEFT = 0, MUCPRINT_CENTRE = 1, MUCPRINT_RIGHT = 2 };
enum MucPrintStyle : int { MUCPRINT_REGULAR = 0, MUCPRINT_BOLD = 1 };

// A workstation's page setup. Lengths in millimetres, the font size in
// points (1/72 inch).
struct MucPrintPageSetup {
  MucPrintPaper paper = MUCPRINT_PAPER_A4;
  double marginTopMm = 15, marginBottomMm = 15, marginLeftMm = 15, marginRightMm = 15;
  std::string fontFamily = "DejaVu Sans";
  double fontPoints = 10;
  int copies = 1;   // 1 .. 999; applied once, by the printer, never by repeating pages
};

// One piece of a line printed in columns: `text` placed between
// `fromPermille` and `toPermille` of the page's printable width, aligned
// within that span; text wider than its span is cut with "…".
struct MucPrintCell {
  std::string text;
  int fromPermille = 0;
  int toPermille = 1000;
  MucPrintAlign align = MUCPRINT_LEFT;
  MucPrintStyle style = MUCPRINT_REGULAR;
};

struct MucPrintJob;
using HPRINTER = MucPrintJob*;

// ---- page setup, per workstation --------------------------------------------------
// The workstation's page setup from section "PrintSetup" of its profile
// (Lb_WorkstationIniPath): keys Paper (A4 or Letter), MarginTop,
// MarginBottom, MarginLeft, MarginRight (mm), FontFamily, FontSize (points)
// and Copies. A key that is absent or not a value of its kind keeps the
// default of MucPrintPageSetup, so a damaged profile still prints.
MucPrintPageSetup MucPrint_QueryPageSetup();
// Keeps `setup` in the workstation's profile. False with the reason in
// `error` when it is out of range (nothing written) or cannot be written.
[[nodiscard]] bool MucPrint_SavePageSetup(const MucPrintPageSetup& setup, std::string* error);
int MucPrint_GetPageSetupCopies(const MucPrintPageSetup& setup);

// ---- printers ------------------------------------------------------------------------
// The printers a person may choose: the CUPS destinations of the reachable
// scheduler (none when there is none; the attempt gives up within a few
// seconds), then "PDF file".
std::vector<std::string> MucPrint_ListPrinters();
// The scheduler's default destination, else "PDF file".
std::string MucPrint_DefaultPrinter();
// The printer dialog: the person chooses one of MucPrint_ListPrinters(),
// `printer` (when it is one of them, else the default) offered first.
// True with `printer` set to the choice; false when the person cancelled
// (`printer` unchanged).
bool MucPrint_OpenPrinterDlgBox(std::string_view title, std::string& printer);

// ---- a print job -----------------------------------------------------------------------
// Opens `printer` (a name of MucPrint_ListPrinters) for a job with `setup`.
// MUCPRINT_UNKNOWN_PRINTER or MUCPRINT_BAD_SETUP with the reason in `error`
// and `*out` null; nothing is printed or written then.
[[nodiscard]] MucPrintCode MucPrint_OpenPrinter(std::string_view printer,
                                                const MucPrintPageSetup& setup, HPRINTER* out,
                                                std::string* error);
// Starts the job: `title` names it at the printer, heads every page and
// names the PDF file. MUCPRINT_FONT_TOO_LARGE when not one line of the font
// fits under the page header.
[[nodiscard]] MucPrintCode MucPrint_StartPrint(HPRINTER job, std::string_view title);
// The words of the page numbering ("Page", "of"), from the caller's
// string table; English until set.
void MucPrint_SetPageWords(HPRINTER job, std::string_view page, std::string_view of);
// Starts a page; a page already started and still empty is kept.
[[nodiscard]] MucPrintCode MucPrint_StartPage(HPRINTER job);
// Prints `text` on the next line (a new page when this one is full),
// aligned within the printable width; a text too wide is cut with "…".
[[nodiscard]] MucPrintCode MucPrint_PrintStr(HPRINTER job, std::string_view text,
                                             MucPrintAlign align, MucPrintStyle style);
// Prints one line made of `cells` (columns), as MucPrint_PrintStr does.
[[nodiscard]] MucPrintCode MucPrint_PrintCells(HPRINTER job, const std::vector<MucPrintCell>& cells);
// Prints `text` wrapped at word boundaries (within a word only when the
// word alone is wider than the line) in the printable width, measured with
// the job's fonts; runs on over pages as needed. `*lines` gets the number
// of lines it took. MUCPRINT_FONT_TOO_LARGE, with nothing printed, when a
// single character is wider than the line.
[[nodiscard]] MucPrintCode MucPrint_PrintWrapTmp(HPRINTER job, std::string_view text,
                                                 MucPrintAlign align, MucPrintStyle style,
                                                 int* lines);
// Prints one row of `cells` with each cell's text wrapped within its own
// column (at word boundaries, as MucPrint_PrintWrapTmp does, measured with
// the fonts it is drawn in): the row takes as many lines as its tallest
// cell, the other cells blank below their text. A row that fits on a page
// but not on what is left of this one starts a new page, so a row is never
// split when it need not be. `*lines` gets the lines it took.
// MUCPRINT_FONT_TOO_LARGE, nothing printed, when a single character is
// wider than its column.
[[nodiscard]] MucPrintCode MucPrint_PrintWrapCells(HPRINTER job,
                                                   const std::vector<MucPrintCell>& cells,
                                                   int* lines);
// Starts a new document within the job (a purchase order among several):
// the next line starts a new page, and from it on "Page n of m" counts the
// pages of this document alone, up to the next call, and the header of
// its pages shows `title` (the job's title when empty). Without a call the
// whole job is one document.
[[nodiscard]] MucPrintCode MucPrint_StartDocument(HPRINTER job, std::string_view title = {});
// From now on, every page of the current document that a line opens (one
// that no longer fits, or the first after MucPrint_EndPage) starts with the
// line `cells`: the column headings of a table that runs over pages. Empty
// `cells` stop it, and so does MucPrint_StartDocument.
[[nodiscard]] MucPrintCode MucPrint_SetRunningHeading(HPRINTER job,
                                                      const std::vector<MucPrintCell>& cells);
// A line of `fill` repeated across the printable width.
[[nodiscard]] MucPrintCode MucPrint_PrintRule(HPRINTER job, char fill);
// Lines still free on the current page (all of a page's lines when none
// is started).
int MucPrint_LinesLeft(HPRINTER job);
// The lines of a page under its header.
int MucPrint_LinesPerPage(HPRINTER job);
// Ends the current page; the next line starts a new one.
[[nodiscard]] MucPrintCode MucPrint_EndPage(HPRINTER job);
// Numbers and renders the job to PDF, then keeps it as a file in
// MucTools_OutputFolder() (announced with MucTools_FileWritten; "PDF
// file") or sends it to the CUPS destination with its copies. MUCPRINT_OK
// only when the file is written or CUPS accepted the job. The job cannot
// be printed again.
[[nodiscard]] MucPrintCode MucPrint_EndPrint(HPRINTER job);
// The reason of the job's last failure; "" after success.
std::string MucPrint_ErrorText(HPRINTER job);
// The file the job was written to ("PDF file"), "" before.
std::string MucPrint_OutputPath(HPRINTER job);
// Frees the job and sets `*job` to null; a job not ended prints nothing.
void MucPrint_ClosePrinter(HPRINTER* job);

// A print job closed however the printing ends: MucPrint_OpenPrinter
// fills out(), the destructor closes it.
class MucPrintJobHold {
 public:
  MucPrintJobHold() = default;
  ~MucPrintJobHold() { MucPrint_ClosePrinter(&job_); }
  MucPrintJobHold(const MucPrintJobHold&) = delete;
  MucPrintJobHold& operator=(const MucPrintJobHold&) = delete;
  HPRINTER* out() { return &job_; }
  HPRINTER get() const { return job_; }

 private:
  HPRINTER job_ = nullptr;
};

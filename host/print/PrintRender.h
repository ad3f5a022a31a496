// Measuring and drawing of print jobs: one pango context on one cairo PDF
// surface serves both, so a line measured to fit is drawn the same width.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/print/MucPrint.h"

namespace print_internal {

// A page and its printable area, in points (1/72 inch).
struct PageGeometry {
  double widthPt = 0, heightPt = 0;
  double leftPt = 0, topPt = 0, contentWidthPt = 0, contentHeightPt = 0;
};
PageGeometry GeometryOf(const MucPrintPageSetup& setup);

// A laid-out line: its cells, left to right. An empty line is a blank line.
using PrintLine = std::vector<MucPrintCell>;
struct PrintPage { std::vector<PrintLine> lines; };

// The header every page carries above its lines: the title and the page
// numbering on one line, then a blank line.
inline constexpr int kHeaderLines = 2;

// A PDF being made in memory. Made once per job; pages are drawn in order,
// then Finish gives the document.
class PdfCanvas {
 public:
  // nullptr with the reason in `error` when cairo cannot make the surface.
  static std::unique_ptr<PdfCanvas> Create(const PageGeometry& geometry,
                                           const MucPrintPageSetup& setup,
                                           std::string_view title, std::string* error);
  ~PdfCanvas();
  PdfCanvas(const PdfCanvas&) = delete;
  PdfCanvas& operator=(const PdfCanvas&) = delete;

  // The distance between lines in points: the taller of the regular and
  // the bold font's line.
  double LineHeight() const { return lineHeightPt_; }
  // Breaks `text` into lines that fit the printable width: at word
  // boundaries, within a word only when it alone is too wide; a line break
  // in `text` starts a new line. False when a single character is wider
  // than the line (`out` then unspecified).
  bool Wrap(std::string_view text, MucPrintStyle style, std::vector<std::string>& out);
  // The same within `widthPt` points (a column) instead of the printable width.
  bool WrapWithin(std::string_view text, MucPrintStyle style, double widthPt,
                  std::vector<std::string>& out);
  // The printable width in points.
  double ContentWidth() const;
  // The width of `text` on one line, in points.
  double TextWidth(std::string_view text, MucPrintStyle style);
  // Draws one page: header with `title` and `numbering`, then `page`.
  void DrawPage(std::string_view title, std::string_view numbering, const PrintPage& page);
  // Ends the document and hands it over. False with cairo's reason.
  bool Finish(std::string& pdf, std::string* error);

 private:
  struct Impl;
  explicit PdfCanvas(std::unique_ptr<Impl> impl, double lineHeightPt);
  std::unique_ptr<Impl> impl_;
  double lineHeightPt_;
};

}  // namespace print_internal

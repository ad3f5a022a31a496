// Time to render print jobs to PDF through the host's print service, beside
// a plain program that lays out the same pages straight on cairo and pango:
// 1,000 workslips (a page each) and a purchase order of 500 lines. Both
// write a PDF file in a temporary folder; each figure is the median of 3
// runs, in milliseconds, from the first line laid out to the file written.
#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/print/MucPrint.h"

namespace {

namespace fs = std::filesystem;

// ---- the pages, as the caller of a print service describes them ---------------------

// What a document asks of whoever prints it: lines, columns, wrapped text,
// rules and page ends, in the vocabulary of the host's print service.
class PageSink {
 public:
  virtual ~PageSink() = default;
  virtual void Str(std::string_view text, MucPrintAlign align, MucPrintStyle style) = 0;
  virtual void Cells(const std::vector<MucPrintCell>& cells) = 0;
  virtual void Wrap(std::string_view text) = 0;
  virtual void Rule(char fill) = 0;
  virtual void EndPage() = 0;
};

const std::string kLongTitle =
    "The collected correspondence of a provincial printing house, with its account books, "
    "inventories of type and paper, and the letters of its apprentices, 1750-1820: "
    "an annotated edition in two volumes, with an introduction, maps and an index of names";
const std::string kLongAuthor =
    "Harrington-Whitcombe, Eleanor Margaret; Okonkwo-Lindqvist, Tobias; and the editorial "
    "committee of the regional historical society";
const std::string kLongNote =
    "Rush cataloguing: reserve for the spring seminar. Check the second volume for the folded "
    "maps before it goes to binding, and route both volumes to special collections afterwards.";

void Workslip(PageSink& out, int n) {
  out.Str("Workslip", MUCPRINT_CENTRE, MUCPRINT_BOLD);
  out.Rule('-');
  const std::string number = std::to_string(n);
  out.Str("Date: 2024-05-14", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("PO#: " + std::to_string(100000 + n), MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("PO Number: 2024-" + number, MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Wrap("Title: " + kLongTitle + " (" + number + ")");
  out.Wrap("Author: " + kLongAuthor);
  out.Str("Imprint: Northbridge University Press, Leeds, 2023", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("Edition: 2nd revised edition", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("ISBN: 978-0-00-000" + std::to_string(1000 + n % 9000) + "-1", MUCPRINT_LEFT,
          MUCPRINT_REGULAR);
  out.Str("Call No.: Z 232 .N67 H37 2023", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("Bib#: " + std::to_string(500000 + n), MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("Price: 86.50", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("No. Copies: 3", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Wrap("Workslip Notes: " + kLongNote);
  out.Str("No. Requests: 2", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  const char* const places[][3] = {{"MAIN", "Special Collections", "1"},
                                   {"MAIN", "Reference", "1"},
                                   {"EAST", "Open Stacks", "1"}};
  for (const auto& place : places)
    out.Cells({{place[0], 0, 250}, {place[1], 250, 750}, {place[2], 750, 1000, MUCPRINT_RIGHT}});
  out.Rule('=');
  out.EndPage();
}

void PurchaseOrder(PageSink& out, int lines) {
  out.Str("PURCHASE ORDER # 2024-000417", MUCPRINT_LEFT, MUCPRINT_BOLD);
  out.Cells({{"Customer # 88-1204-77", 0, 500}, {"Date 2024-05-14", 500, 1000, MUCPRINT_RIGHT}});
  out.Str("", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  for (const char* line : {"Meridian Academic Supply Ltd", "Unit 4, Riverside Trading Estate",
                           "Sheffield S3 8EJ", "United Kingdom"})
    out.Str(line, MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Cells({{"Bill To:", 0, 500, MUCPRINT_LEFT, MUCPRINT_BOLD},
             {"Ship To:", 500, 1000, MUCPRINT_LEFT, MUCPRINT_BOLD}});
  const char* const blocks[][2] = {{"University Library, Acquisitions", "University Library"},
                                   {"PO Box 1140", "Receiving Dock B"},
                                   {"Northbridge NB1 2AA", "See attached shipping distribution"}};
  for (const auto& row : blocks) out.Cells({{row[0], 0, 500}, {row[1], 500, 1000}});
  out.Str("", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Wrap("Special Instructions: Please quote the PO number and line on every invoice and "
           "packing slip. Partial shipments are accepted; back-orders older than ninety days "
           "are to be reported, not supplied.");
  out.Rule('-');
  const MucPrintStyle b = MUCPRINT_BOLD;
  out.Cells({{"Line", 0, 70, MUCPRINT_LEFT, b}, {"ISBN/ISSN", 70, 260, MUCPRINT_LEFT, b},
             {"Author/Title", 260, 760, MUCPRINT_LEFT, b}, {"Qty", 760, 850, MUCPRINT_RIGHT, b},
             {"Amount", 850, 1000, MUCPRINT_RIGHT, b}});
  for (int n = 1; n <= lines; ++n) {
    const std::string number = std::to_string(n);
    out.Cells({{number, 0, 70}, {"978-1-23456-" + std::to_string(100 + n % 900) + "-0", 70, 260},
               {"", 260, 760}, {std::to_string(1 + n % 4), 760, 850, MUCPRINT_RIGHT},
               {std::to_string(20 + n % 80) + ".95", 850, 1000, MUCPRINT_RIGHT}});
    // The service wraps across the printable width only, so the author and
    // title run on under the entry rather than within their column.
    out.Wrap(kLongAuthor + " / " + kLongTitle + ", part " + number);
  }
  out.Rule('-');
  out.Cells({{"Total", 0, 760, MUCPRINT_LEFT, b}, {"31,472.50", 850, 1000, MUCPRINT_RIGHT, b}});
  out.Str("", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("For Internal Use:", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Str("", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  out.Cells({{"______________________________", 500, 1000}});
  out.Cells({{"Authorized Signature", 500, 1000}});
  out.EndPage();
}

// ---- through the host's print service -----------------------------------------------

class HostSink final : public PageSink {
 public:
  explicit HostSink(HPRINTER job) : job_(job) {}
  void Str(std::string_view text, MucPrintAlign align, MucPrintStyle style) override {
    Check(MucPrint_PrintStr(job_, text, align, style));
  }
  void Cells(const std::vector<MucPrintCell>& cells) override {
    Check(MucPrint_PrintCells(job_, cells));
  }
  void Wrap(std::string_view text) override {
    int lines = 0;
    Check(MucPrint_PrintWrapTmp(job_, text, MUCPRINT_LEFT, MUCPRINT_REGULAR, &lines));
  }
  void Rule(char fill) override { Check(MucPrint_PrintRule(job_, fill)); }
  void EndPage() override { Check(MucPrint_EndPage(job_)); }
  bool ok() const { return ok_; }

 private:
  void Check(MucPrintCode code) { ok_ = ok_ && code == MUCPRINT_OK; }
  HPRINTER job_;
  bool ok_ = true;
};

struct JobClose {
  void operator()(MucPrintJob* job) const { MucPrint_ClosePrinter(&job); }
};

// The PDF file written, or "" with the reason on stderr.
std::string PrintThroughHost(std::string_view title, const std::function<void(PageSink&)>& doc) {
  HPRINTER raw = nullptr;
  std::string error;
  if (MucPrint_OpenPrinter(kMucPrintPdfFile, MucPrint_QueryPageSetup(), &raw, &error) !=
      MUCPRINT_OK) {
    std::fprintf(stderr, "cannot open the printer: %s\n", error.c_str());
    return {};
  }
  std::unique_ptr<MucPrintJob, JobClose> job(raw);
  if (MucPrint_StartPrint(job.get(), title) != MUCPRINT_OK) {
    std::fprintf(stderr, "cannot start: %s\n", MucPrint_ErrorText(job.get()).c_str());
    return {};
  }
  HostSink sink(job.get());
  doc(sink);
  if (!sink.ok() || MucPrint_EndPrint(job.get()) != MUCPRINT_OK) {
    std::fprintf(stderr, "cannot print: %s\n", MucPrint_ErrorText(job.get()).c_str());
    return {};
  }
  return MucPrint_OutputPath(job.get());
}

// ---- the plain program: one layout on a cairo PDF surface ----------------------------

constexpr double kPointsPerMm = 72.0 / 25.4;

struct Line {
  std::vector<MucPrintCell> cells;
};

// Lays the document out in memory (pages of lines, so that each page can
// say how many there are), then draws every page with one PangoLayout.
class PlainSink final : public PageSink {
 public:
  PlainSink(const MucPrintPageSetup& setup, const std::string& path) {
    width_ = 210 * kPointsPerMm;
    height_ = 297 * kPointsPerMm;
    left_ = setup.marginLeftMm * kPointsPerMm;
    top_ = setup.marginTopMm * kPointsPerMm;
    contentWidth_ = width_ - left_ - setup.marginRightMm * kPointsPerMm;
    surface_ = cairo_pdf_surface_create(path.c_str(), width_, height_);
    cr_ = cairo_create(surface_);
    PangoContext* context = pango_cairo_create_context(cr_);
    pango_cairo_context_set_resolution(context, 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    layout_ = pango_layout_new(context);
    g_object_unref(context);
    regular_ = pango_font_description_new();
    pango_font_description_set_family(regular_, setup.fontFamily.c_str());
    pango_font_description_set_size(regular_, static_cast<int>(setup.fontPoints * PANGO_SCALE));
    bold_ = pango_font_description_copy(regular_);
    pango_font_description_set_weight(bold_, PANGO_WEIGHT_BOLD);
    for (PangoFontDescription* font : {regular_, bold_}) {
      Reset(font, "ÁgjÉ");
      PangoRectangle logical;
      pango_layout_get_extents(layout_, nullptr, &logical);
      lineHeight_ = std::max(lineHeight_, static_cast<double>(logical.height) / PANGO_SCALE);
    }
    const double contentHeight = height_ - top_ - setup.marginBottomMm * kPointsPerMm;
    linesPerPage_ = static_cast<int>(contentHeight / lineHeight_) - 2;
  }
  ~PlainSink() override {
    pango_font_description_free(bold_);
    pango_font_description_free(regular_);
    g_object_unref(layout_);
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  PlainSink(const PlainSink&) = delete;
  PlainSink& operator=(const PlainSink&) = delete;

  void Str(std::string_view text, MucPrintAlign align, MucPrintStyle style) override {
    Add({{MucPrintCell{std::string(text), 0, 1000, align, style}}});
  }
  void Cells(const std::vector<MucPrintCell>& cells) override { Add({cells}); }
  void Wrap(std::string_view text) override {
    Reset(regular_, text);
    pango_layout_set_width(layout_, static_cast<int>(contentWidth_ * PANGO_SCALE));
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
    const char* base = pango_layout_get_text(layout_);
    std::vector<std::string> pieces;
    for (GSList* item = pango_layout_get_lines_readonly(layout_); item; item = item->next) {
      auto* line = static_cast<PangoLayoutLine*>(item->data);
      std::string piece(base + line->start_index, static_cast<size_t>(line->length));
      while (!piece.empty() && piece.back() == ' ') piece.pop_back();
      pieces.push_back(std::move(piece));
    }
    for (std::string& piece : pieces) Add({{MucPrintCell{std::move(piece)}}});
  }
  void Rule(char fill) override {
    std::string& rule = fill == '=' ? equals_ : dashes_;
    if (rule.empty()) {
      size_t count = 1;
      while (TextWidth(std::string(count + 1, fill)) <= contentWidth_) ++count;
      rule.assign(count, fill);
    }
    Str(rule, MUCPRINT_LEFT, MUCPRINT_REGULAR);
  }
  void EndPage() override { pageOpen_ = false; }

  // Draws every page with "Page n of m" and closes the file; the page count.
  size_t Finish(std::string_view title) {
    const size_t total = pages_.size();
    for (size_t i = 0; i < total; ++i) {
      const std::string numbering =
          "Page " + std::to_string(i + 1) + " of " + std::to_string(total);
      const double numberWidth = TextWidth(numbering);
      Show(title, MUCPRINT_BOLD, MUCPRINT_LEFT, left_, top_,
           contentWidth_ - numberWidth - lineHeight_);
      Show(numbering, MUCPRINT_REGULAR, MUCPRINT_RIGHT, left_, top_, contentWidth_);
      for (size_t n = 0; n < pages_[i].size(); ++n) {
        const double y = top_ + static_cast<double>(2 + n) * lineHeight_;
        for (const MucPrintCell& cell : pages_[i][n].cells) {
          const double from = contentWidth_ * cell.fromPermille / 1000.0;
          const double to = contentWidth_ * cell.toPermille / 1000.0;
          Show(cell.text, cell.style, cell.align, left_ + from, y, to - from);
        }
      }
      cairo_show_page(cr_);
    }
    cairo_surface_finish(surface_);
    return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS ? total : 0;
  }

 private:
  // The one layout, back to a single unlimited line of `text` in `font`.
  void Reset(PangoFontDescription* font, std::string_view text) {
    pango_layout_set_font_description(layout_, font);
    pango_layout_set_width(layout_, -1);
    pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_NONE);
    pango_layout_set_alignment(layout_, PANGO_ALIGN_LEFT);
    pango_layout_set_single_paragraph_mode(layout_, FALSE);
    pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
  }
  double TextWidth(std::string_view text) {
    Reset(regular_, text);
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    return static_cast<double>(logical.width) / PANGO_SCALE;
  }
  void Show(std::string_view text, MucPrintStyle style, MucPrintAlign align, double x, double y,
            double width) {
    if (text.empty()) return;
    Reset(style == MUCPRINT_BOLD ? bold_ : regular_, text);
    pango_layout_set_single_paragraph_mode(layout_, TRUE);
    pango_layout_set_width(layout_, static_cast<int>(std::max(width, 0.0) * PANGO_SCALE));
    pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
    pango_layout_set_alignment(layout_, align == MUCPRINT_CENTRE  ? PANGO_ALIGN_CENTER
                                        : align == MUCPRINT_RIGHT ? PANGO_ALIGN_RIGHT
                                                                  : PANGO_ALIGN_LEFT);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout_);
  }
  void Add(Line line) {
    if (!pageOpen_ || static_cast<int>(pages_.back().size()) >= linesPerPage_) {
      pages_.emplace_back();
      pageOpen_ = true;
    }
    pages_.back().push_back(std::move(line));
  }

  double width_ = 0, height_ = 0, left_ = 0, top_ = 0, contentWidth_ = 0, lineHeight_ = 0;
  int linesPerPage_ = 0;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  PangoLayout* layout_ = nullptr;
  PangoFontDescription* regular_ = nullptr;
  PangoFontDescription* bold_ = nullptr;
  std::vector<std::vector<Line>> pages_;
  bool pageOpen_ = false;
  std::string dashes_, equals_;
};

// ---- measuring ---------------------------------------------------------------------------

// The pages of a PDF file as cairo writes them: one "/Type /Page" object each.
size_t CountPages(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t pages = 0;
  for (size_t at = pdf.find("/Type /Page"); at != std::string::npos;
       at = pdf.find("/Type /Page", at + 1))
    if (at + 11 >= pdf.size() || pdf[at + 11] != 's') ++pages;
  return pages;
}

// Milliseconds of the median of 3 runs of `run`; `path` gets the last file.
double MedianMs(const std::function<std::string()>& run, std::string& path) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    path = run();
    times.push_back(std::chrono::duration<double, std::milli>(
                        std::chrono::steady_clock::now() - start).count());
    if (path.empty()) return -1;
  }
  std::sort(times.begin(), times.end());
  return times[1];
}

struct TempFolder {
  fs::path dir = fs::temp_directory_path() / ("acq-bench-print-" + std::to_string(getpid()));
  TempFolder() { fs::create_directories(dir); }
  ~TempFolder() { fs::remove_all(dir); }
};

bool RunCase(const char* name, std::string_view title, const TempFolder& temp,
             const std::function<void(PageSink&)>& doc) {
  std::string hostPath, plainPath;
  const double hostMs = MedianMs([&] { return PrintThroughHost(title, doc); }, hostPath);
  int run = 0;
  const double plainMs = MedianMs(
      [&] {
        const std::string path = (temp.dir / ("plain-" + std::to_string(++run) + ".pdf")).string();
        PlainSink sink(MucPrint_QueryPageSetup(), path);
        doc(sink);
        return sink.Finish(title) > 0 ? path : std::string();
      },
      plainPath);
  if (hostMs < 0 || plainMs < 0) {
    std::fprintf(stderr, "%s: a run failed\n", name);
    return false;
  }
  std::printf("%-22s %10.1f %10.1f %7.2f %7zu %7zu\n", name, hostMs, plainMs, hostMs / plainMs,
              CountPages(hostPath), CountPages(plainPath));
  return true;
}

}  // namespace

int main() {
  TempFolder temp;
  setenv("ACQ_SESSION_DIR", temp.dir.c_str(), 1);
  setenv("ACQ_WORKSTATION", (temp.dir / "workstation.ini").c_str(), 1);
  std::printf("PDF rendering, median of 3 runs (ms)\n");
  std::printf("%-22s %10s %10s %7s %7s %7s\n", "case", "service", "plain", "ratio", "pages",
              "plain");
  bool ok = RunCase("1,000 workslips", "Workslips", temp, [](PageSink& out) {
    for (int n = 1; n <= 1000; ++n) Workslip(out, n);
  });
  ok = RunCase("PO of 500 lines", "Purchase Order", temp,
               [](PageSink& out) { PurchaseOrder(out, 500); }) && ok;
  return ok ? 0 : 1;
}

// Pango layouts on a cairo PDF surface written to memory. The pango
// context is made for the surface at 72 units per inch with metric hinting
// off, so a point of font size is a point on paper and widths measured here
// are the widths drawn.
#include "host/print/PrintRender.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <string>

namespace print_internal {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

struct SurfaceFree { void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); } };
struct CairoFree { void operator()(cairo_t* c) const { cairo_destroy(c); } };
struct GObjectFree { void operator()(void* o) const { g_object_unref(o); } };
struct FontFree { void operator()(PangoFontDescription* f) const { pango_font_description_free(f); } };
struct OptionsFree { void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); } };

using LayoutPtr = std::unique_ptr<PangoLayout, GObjectFree>;

int ToPango(double points) { return static_cast<int>(points * PANGO_SCALE); }

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

PangoAlignment PangoAlign(MucPrintAlign align) {
  switch (align) {
    case MUCPRINT_CENTRE: return PANGO_ALIGN_CENTER;
    case MUCPRINT_RIGHT: return PANGO_ALIGN_RIGHT;
    case MUCPRINT_LEFT: break;
  }
  return PANGO_ALIGN_LEFT;
}

}  // namespace

PageGeometry GeometryOf(const MucPrintPageSetup& setup) {
  PageGeometry g;
  if (setup.paper == MUCPRINT_PAPER_LETTER) {
    g.widthPt = 8.5 * 72;
    g.heightPt = 11 * 72;
  } else {
    g.widthPt = 210 * kPointsPerMm;
    g.heightPt = 297 * kPointsPerMm;
  }
  g.leftPt = setup.marginLeftMm * kPointsPerMm;
  g.topPt = setup.marginTopMm * kPointsPerMm;
  g.contentWidthPt = g.widthPt - g.leftPt - setup.marginRightMm * kPointsPerMm;
  g.contentHeightPt = g.heightPt - g.topPt - setup.marginBottomMm * kPointsPerMm;
  return g;
}

struct PdfCanvas::Impl {
  PageGeometry geometry;
  std::string bytes;   // the document so far; cairo appends to it
  std::unique_ptr<cairo_surface_t, SurfaceFree> surface;
  std::unique_ptr<cairo_t, CairoFree> cr;
  std::unique_ptr<PangoContext, GObjectFree> context;
  std::unique_ptr<PangoFontDescription, FontFree> regular, bold;

  LayoutPtr Layout(std::string_view text, MucPrintStyle style) {
    LayoutPtr layout(pango_layout_new(context.get()));
    pango_layout_set_font_description(layout.get(),
                                      style == MUCPRINT_BOLD ? bold.get() : regular.get());
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
    return layout;
  }
  // One line of `text` in a span `width` points wide: cut with "…" when too wide.
  LayoutPtr SpanLayout(std::string_view text, MucPrintStyle style, MucPrintAlign align,
                       double width) {
    LayoutPtr layout = Layout(text, style);
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    pango_layout_set_width(layout.get(), ToPango(std::max(width, 0.0)));
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    pango_layout_set_alignment(layout.get(), PangoAlign(align));
    return layout;
  }
  void Show(PangoLayout* layout, double x, double y) {
    cairo_move_to(cr.get(), x, y);
    pango_cairo_show_layout(cr.get(), layout);
  }
};

PdfCanvas::PdfCanvas(std::unique_ptr<Impl> impl, double lineHeightPt)
    : impl_(std::move(impl)), lineHeightPt_(lineHeightPt) {}
PdfCanvas::~PdfCanvas() = default;

std::unique_ptr<PdfCanvas> PdfCanvas::Create(const PageGeometry& geometry,
                                             const MucPrintPageSetup& setup,
                                             std::string_view title, std::string* error) {
  auto impl = std::make_unique<Impl>();
  impl->geometry = geometry;
  impl->surface.reset(cairo_pdf_surface_create_for_stream(AppendBytes, &impl->bytes,
                                                          geometry.widthPt, geometry.heightPt));
  if (cairo_surface_status(impl->surface.get()) != CAIRO_STATUS_SUCCESS) {
    if (error) *error = cairo_status_to_string(cairo_surface_status(impl->surface.get()));
    return nullptr;
  }
  cairo_pdf_surface_set_metadata(impl->surface.get(), CAIRO_PDF_METADATA_TITLE,
                                 std::string(title).c_str());
  impl->cr.reset(cairo_create(impl->surface.get()));
  impl->context.reset(pango_cairo_create_context(impl->cr.get()));
  pango_cairo_context_set_resolution(impl->context.get(), 72);
  std::unique_ptr<cairo_font_options_t, OptionsFree> options(cairo_font_options_create());
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(impl->context.get(), options.get());

  impl->regular.reset(pango_font_description_new());
  pango_font_description_set_family(impl->regular.get(), setup.fontFamily.c_str());
  pango_font_description_set_size(impl->regular.get(), ToPango(setup.fontPoints));
  impl->bold.reset(pango_font_description_copy(impl->regular.get()));
  pango_font_description_set_weight(impl->bold.get(), PANGO_WEIGHT_BOLD);

  double height = 0;
  for (MucPrintStyle style : {MUCPRINT_REGULAR, MUCPRINT_BOLD}) {
    LayoutPtr probe = impl->Layout("ÁgjÉ", style);
    PangoRectangle logical;
    pango_layout_get_extents(probe.get(), nullptr, &logical);
    height = std::max(height, static_cast<double>(logical.height) / PANGO_SCALE);
  }
  return std::unique_ptr<PdfCanvas>(new PdfCanvas(std::move(impl), height));
}

bool PdfCanvas::Wrap(std::string_view text, MucPrintStyle style, std::vector<std::string>& out) {
  return WrapWithin(text, style, impl_->geometry.contentWidthPt, out);
}

double PdfCanvas::ContentWidth() const { return impl_->geometry.contentWidthPt; }

bool PdfCanvas::WrapWithin(std::string_view text, MucPrintStyle style, double widthPt,
                           std::vector<std::string>& out) {
  out.clear();
  const int width = ToPango(widthPt);
  if (width <= 0) return false;
  LayoutPtr layout = impl_->Layout(text, style);
  pango_layout_set_width(layout.get(), width);
  pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  const char* base = pango_layout_get_text(layout.get());
  for (GSList* item = pango_layout_get_lines_readonly(layout.get()); item; item = item->next) {
    auto* line = static_cast<PangoLayoutLine*>(item->data);
    PangoRectangle logical;
    pango_layout_line_get_extents(line, nullptr, &logical);
    std::string piece(base + line->start_index, static_cast<size_t>(line->length));
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\n' ||
                              piece.back() == '\r' || piece.back() == '\t'))
      piece.pop_back();
    // Pango lets a character that fits nowhere stick out of its line.
    if (logical.width > width && !piece.empty()) return false;
    out.push_back(std::move(piece));
  }
  return true;
}

double PdfCanvas::TextWidth(std::string_view text, MucPrintStyle style) {
  LayoutPtr layout = impl_->Layout(text, style);
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

void PdfCanvas::DrawPage(std::string_view title, std::string_view numbering,
                         const PrintPage& page) {
  const PageGeometry& g = impl_->geometry;
  cairo_set_source_rgb(impl_->cr.get(), 0, 0, 0);
  const double numberWidth = TextWidth(numbering, MUCPRINT_REGULAR);
  const double gap = lineHeightPt_;
  LayoutPtr heading = impl_->SpanLayout(title, MUCPRINT_BOLD, MUCPRINT_LEFT,
                                        g.contentWidthPt - numberWidth - gap);
  impl_->Show(heading.get(), g.leftPt, g.topPt);
  LayoutPtr number = impl_->SpanLayout(numbering, MUCPRINT_REGULAR, MUCPRINT_RIGHT,
                                       g.contentWidthPt);
  impl_->Show(number.get(), g.leftPt, g.topPt);

  for (size_t i = 0; i < page.lines.size(); ++i) {
    const double y = g.topPt + static_cast<double>(kHeaderLines + i) * lineHeightPt_;
    for (const MucPrintCell& cell : page.lines[i]) {
      const double from = g.contentWidthPt * cell.fromPermille / 1000.0;
      const double to = g.contentWidthPt * cell.toPermille / 1000.0;
      LayoutPtr layout = impl_->SpanLayout(cell.text, cell.style, cell.align, to - from);
      impl_->Show(layout.get(), g.leftPt + from, y);
    }
  }
  cairo_show_page(impl_->cr.get());
}

bool PdfCanvas::Finish(std::string& pdf, std::string* error) {
  impl_->cr.reset();
  cairo_surface_finish(impl_->surface.get());
  const cairo_status_t status = cairo_surface_status(impl_->surface.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    if (error) *error = cairo_status_to_string(status);
    return false;
  }
  pdf = std::move(impl_->bytes);
  return true;
}

}  // namespace print_internal

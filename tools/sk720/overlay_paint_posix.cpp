#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cmath>

#include "sk720/overlay_paint.h"

namespace sk720::cli {

namespace {

void setColour(cairo_t* cr, uint32_t argb) {
  cairo_set_source_rgba(cr, ((argb >> 16) & 255) / 255.0, ((argb >> 8) & 255) / 255.0,
                        (argb & 255) / 255.0, (argb >> 24) / 255.0);
}

void drawText(cairo_t* cr, const OverlayPrimitive& p) {
  cairo_select_font_face(cr, kOverlayFontFamily, CAIRO_FONT_SLANT_NORMAL,
                         p.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, p.fontPx);
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  double x = p.x;
  if (p.centred) {
    cairo_text_extents_t text;
    cairo_text_extents(cr, p.text.c_str(), &text);
    x += (p.w - text.x_advance) / 2.0;
  }
  // The primitive gives the top of the line; cairo places the baseline.
  cairo_move_to(cr, x, p.y + font.ascent);
  cairo_show_text(cr, p.text.c_str());
  cairo_new_path(cr);
}

}  // namespace

bool paintOverlayList(uint32_t* pixels, int32_t width, int32_t height, int32_t stridePixels,
                      const OverlayList& list, std::string* error, int32_t originX,
                      int32_t originY) {
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                          CAIRO_FORMAT_RGB24, width, height, stridePixels * 4);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    if (error) *error = "cannot draw on the image";
    cairo_surface_destroy(surface);
    return false;
  }
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  cairo_translate(cr, -originX, -originY);
  for (const OverlayPrimitive& p : list) {
    setColour(cr, p.argb);
    switch (p.kind) {
      case PrimitiveKind::Line:
        cairo_set_line_width(cr, p.penWidth);
        cairo_move_to(cr, p.points[0].x, p.points[0].y);
        cairo_line_to(cr, p.points[1].x, p.points[1].y);
        cairo_stroke(cr);
        break;
      case PrimitiveKind::Ellipse:
        if (p.w <= 0.0f || p.h <= 0.0f) break;
        cairo_save(cr);
        cairo_translate(cr, p.x + p.w / 2.0, p.y + p.h / 2.0);
        cairo_scale(cr, p.w / 2.0, p.h / 2.0);
        cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * M_PI);
        cairo_restore(cr);  // the pen stays round under the scaled path
        cairo_set_line_width(cr, p.penWidth);
        cairo_stroke(cr);
        break;
      case PrimitiveKind::Polygon:
        if (p.pointCount < 3) break;
        cairo_move_to(cr, p.points[0].x, p.points[0].y);
        for (int32_t i = 1; i < p.pointCount; ++i) cairo_line_to(cr, p.points[i].x, p.points[i].y);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
      case PrimitiveKind::Text:
        if (p.fontPx > 0.0f && !p.text.empty()) drawText(cr, p);
        break;
    }
  }
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  if (!ok && error) *error = cairo_status_to_string(cairo_status(cr));
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
  return ok;
}

void releaseOverlayFonts() {
  cairo_debug_reset_static_data();
  FcFini();
}

}  // namespace sk720::cli

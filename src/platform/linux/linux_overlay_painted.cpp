// The overlay's text as cairo draws it, for both overlays, and the overlay GTK paints where
// the form is no X window.
#include <pango/pangocairo.h>

#include <algorithm>

#include "platform/linux/linux_common.h"
#include "platform/linux/linux_overlay.h"

namespace morvel::linux_backend {

namespace {

// The rim around each letter: a shadow the X server can draw without blending, which reads
// on a white picture as on a black one.
double RimOf(int pixelHeight) {
    return std::max(2.0, pixelHeight / 14.0);
}

PangoLayout* LayoutFor(cairo_t* cairo, const platform::Font& font, const std::string& text,
                       int width) {
    PangoLayout* layout = pango_cairo_create_layout(cairo);
    PangoFontDescription* description =
        pango_font_description_from_string(FontFamily(font.face).c_str());
    pango_font_description_set_weight(description,
                                      font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    const int pixels = font.pixelHeight > 0 ? font.pixelHeight : font.points * 96 / 72;
    pango_font_description_set_absolute_size(description, pixels * PANGO_SCALE);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
    pango_layout_set_width(layout, width * PANGO_SCALE);
    pango_layout_set_text(layout, text.c_str(), -1);
    return layout;
}

// The text's outline at the bottom of a `width` x `height` surface, right-aligned, inside
// the rim.
void TracePath(cairo_t* cairo, const platform::Font& font, const std::string& text, int width,
               int height) {
    const double rim = RimOf(font.pixelHeight);
    const int inner = std::max(static_cast<int>(width - 2 * rim), 1);
    PangoLayout* layout = LayoutFor(cairo, font, text, inner);
    int textWidth = 0;
    int textHeight = 0;
    pango_layout_get_pixel_size(layout, &textWidth, &textHeight);
    cairo_move_to(cairo, rim, height - rim - textHeight);
    pango_cairo_layout_path(cairo, layout);
    g_object_unref(layout);
}

}  // namespace

void DrawOverlayText(cairo_t* cairo, const platform::Font& font, const std::string& text, int width,
                     int height, bool shape) {
    TracePath(cairo, font, text, width, height);
    cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cairo, 2 * RimOf(font.pixelHeight));
    if (shape) {
        cairo_set_source_rgb(cairo, 1, 1, 1);
    } else {
        cairo_set_source_rgb(cairo, 0.08, 0.08, 0.08);
    }
    cairo_stroke_preserve(cairo);
    if (!shape) {
        cairo_set_source_rgb(cairo, font.color.red / 255.0, font.color.green / 255.0,
                             font.color.blue / 255.0);
    }
    cairo_fill(cairo);
}

PaintedOverlay::PaintedOverlay(const platform::Font& font)
    : font_(font), area_(GTK_WIDGET(g_object_ref_sink(gtk_drawing_area_new()))) {
    g_signal_connect(area_, "draw",
                     G_CALLBACK(+[](GtkWidget* area, cairo_t* cairo, gpointer self) -> gboolean {
                         const auto& overlay = *static_cast<PaintedOverlay*>(self);
                         DrawOverlayText(cairo, overlay.font_, overlay.text_,
                                         gtk_widget_get_allocated_width(area),
                                         gtk_widget_get_allocated_height(area), false);
                         return TRUE;
                     }),
                     this);
    // Made after the panels, its window is above theirs; moved to another output's layout
    // it is made again, and a panel's window made later must not come over it.
    g_signal_connect_after(area_, "map", G_CALLBACK(+[](GtkWidget* area, gpointer) {
                               if (GdkWindow* own = gtk_widget_get_window(area)) {
                                   gdk_window_raise(own);
                               }
                           }),
                           nullptr);
    // Clicks on the text are the window's under it.
    g_signal_connect_after(area_, "realize", G_CALLBACK(+[](GtkWidget* area, gpointer) {
                               cairo_region_t* nothing = cairo_region_create();
                               gtk_widget_input_shape_combine_region(area, nothing);
                               cairo_region_destroy(nothing);
                           }),
                           nullptr);
}

PaintedOverlay::~PaintedOverlay() {
    g_signal_handlers_disconnect_by_data(area_, this);
    g_object_unref(area_);
}

void PaintedOverlay::setBounds(platform::Rect bounds) {
    if (bounds != bounds_) {
        bounds_ = bounds;
        gtk_widget_queue_draw(area_);
    }
}

void PaintedOverlay::setText(const std::string& text) {
    if (text != text_) {
        text_ = text;
        gtk_widget_queue_draw(area_);
    }
}

}  // namespace morvel::linux_backend

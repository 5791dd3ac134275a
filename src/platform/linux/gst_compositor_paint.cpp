// The panel's sum painted by GTK: on Wayland, where a window of ours inside the panel, for an
// output of its own to draw into, does not exist. The streaming threads keep the latest sum
// and ask the user-interface thread to paint; the panel's draw paints it over its black.
#include <cairo.h>
#include <gtk/gtk.h>

#include "platform/linux/gst_compositor.h"

namespace morvel::linux_backend {

bool PanelCompositor::startPainting(void* panel) {
    panel_ = panel;
    g_object_add_weak_pointer(G_OBJECT(panel_), &panel_);
    drawHandler_ = g_signal_connect_after(panel_, "draw", G_CALLBACK(PaintSum), this);
    return true;
}

// Behind lock_, on a streaming thread: takes the frame, of the panel's size.
void PanelCompositor::keepForPainting(GstBuffer* frame) {
    if (painted_ != nullptr) {
        gst_buffer_unref(painted_);
    }
    painted_ = frame;
    paintedWidth_ = width_;
    paintedHeight_ = height_;
    if (paintSource_ != 0) {
        return;  // one request at a time: it paints the latest sum
    }
    paintSource_ = g_idle_add(
        +[](gpointer data) -> gboolean {
            auto& compositor = *static_cast<PanelCompositor*>(data);
            {
                const std::lock_guard hold(compositor.lock_);
                compositor.paintSource_ = 0;
            }
            if (compositor.panel_ != nullptr) {
                gtk_widget_queue_draw(static_cast<GtkWidget*>(compositor.panel_));
            }
            return G_SOURCE_REMOVE;
        },
        this);
}

// The sum stays painted when the engines leave, as the X output's picture stays on the panel.
int PanelCompositor::PaintSum(void* /*widget*/, void* cairo, void* self) {
    auto& compositor = *static_cast<PanelCompositor*>(self);
    GstBuffer* frame = nullptr;
    int width = 0;
    int height = 0;
    {
        const std::lock_guard hold(compositor.lock_);
        if (compositor.painted_ != nullptr) {
            frame = gst_buffer_ref(compositor.painted_);
            width = compositor.paintedWidth_;
            height = compositor.paintedHeight_;
        }
    }
    if (frame == nullptr) {
        return FALSE;
    }
    GstMapInfo pixels;
    const auto bytes = static_cast<gsize>(width) * static_cast<gsize>(height) * 4;
    if (width > 0 && height > 0 && gst_buffer_map(frame, &pixels, GST_MAP_READ)) {
        if (pixels.size >= bytes) {
            // BGRx in memory is cairo's RGB24 on a little-endian machine.
            cairo_surface_t* surface = cairo_image_surface_create_for_data(
                pixels.data, CAIRO_FORMAT_RGB24, width, height, width * 4);
            auto* target = static_cast<cairo_t*>(cairo);
            cairo_set_source_surface(target, surface, 0, 0);
            cairo_paint(target);
            cairo_surface_destroy(surface);
        }
        gst_buffer_unmap(frame, &pixels);
    }
    gst_buffer_unref(frame);
    return FALSE;
}

}  // namespace morvel::linux_backend

// The saver's layer surfaces on a Wayland compositor.
#include "platform/linux/linux_layer.h"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell/gtk-layer-shell.h>

#include <string_view>

#include "platform/linux/linux_common.h"

namespace morvel::linux_backend {

namespace {

// Over everything on `monitor`, the whole of it, the keyboard its own. Before the window is
// realized: a layer surface cannot be made of a surface the compositor already shows.
void MakeLayerSurface(GtkWidget* window, GdkMonitor* monitor) {
    GtkWindow* layer = GTK_WINDOW(window);
    gtk_layer_init_for_window(layer);
    gtk_layer_set_namespace(layer, "morvel");
    gtk_layer_set_layer(layer, GTK_LAYER_SHELL_LAYER_OVERLAY);
    for (const GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                         GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
        gtk_layer_set_anchor(layer, edge, TRUE);
    }
    gtk_layer_set_exclusive_zone(layer, -1);  // over the panels too, not beside them
    gtk_layer_set_keyboard_interactivity(layer, TRUE);
    gtk_layer_set_monitor(layer, monitor);
}

// A black surface over one output.
GtkWidget* MakeLayerCover(GdkMonitor* monitor) {
    GtkWidget* cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    MakeLayerSurface(cover, monitor);
    PaintBlack(cover);
    return cover;
}

}  // namespace

const char* AllowedBackends(const char* requested) {
    return requested != nullptr && std::string_view(requested).starts_with("wayland")
               ? "wayland,x11"
               : "x11";
}

bool OnWaylandDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_WAYLAND_DISPLAY(display);
}

bool LayerShellAvailable() {
    return OnWaylandDisplay() && gtk_layer_is_supported();
}

// The form's surface is the primary output's. A form over every monitor has its controls
// spread over the outputs' surfaces by layoutFor; over the primary alone, the others are
// black. Each layout keeps its output's size, which the compositor gives the surface a
// moment after it maps.
GtkWidget* LayerShellHost::makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                                           std::vector<GtkWidget*>& covers) {
    GdkMonitor* primary = PrimaryMonitor();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    NameWindow(window, design);
    MakeLayerSurface(window, primary);
    gtk_container_add(GTK_CONTAINER(window), layout);
    const GdkRectangle area = MonitorArea(primary);
    gtk_widget_set_size_request(layout, area.width, area.height);
    outputs_ = {{{area.x, area.y, area.width, area.height}, layout}};
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        if (GdkMonitor* monitor = gdk_display_get_monitor(display, i); monitor != primary) {
            GtkWidget* cover = MakeLayerCover(monitor);
            GtkWidget* coverLayout = gtk_fixed_new();
            gtk_widget_show(coverLayout);
            gtk_container_add(GTK_CONTAINER(cover), coverLayout);
            const GdkRectangle at = MonitorArea(monitor);
            outputs_.push_back({{at.x, at.y, at.width, at.height}, coverLayout});
            covers.push_back(cover);
        }
    }
    // The host outlives the saver's windows: it forgets them as they go.
    g_signal_connect(layout, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                         auto& host = *static_cast<LayerShellHost*>(self);
                         host.outputs_.clear();
                         host.spanningLayout_ = nullptr;
                     }),
                     this);
    spanningLayout_ = nullptr;
    if (design.style == platform::WindowStyle::FullScreenEveryMonitor) {
        const platform::Rect spanned = platform::BoundingRect(monitors());
        spanningLayout_ = layout;
        spanningLeft_ = spanned.left;
        spanningTop_ = spanned.top;
    }
    return window;
}

GtkWidget* LayerShellHost::layoutFor(GtkWidget* formLayout, platform::Rect& bounds) const {
    if (formLayout != spanningLayout_ || formLayout == nullptr) {
        return formLayout;
    }
    const int x = bounds.left + spanningLeft_;
    const int y = bounds.top + spanningTop_;
    const Output* on = &outputs_.front();  // a corner on no output: the primary's
    for (const Output& output : outputs_) {
        const platform::Rect& area = output.area;
        if (x >= area.left && x < area.left + area.width && y >= area.top &&
            y < area.top + area.height) {
            on = &output;
            break;
        }
    }
    bounds.left = x - on->area.left;
    bounds.top = y - on->area.top;
    return on->layout;
}

// An ordinary window would come up below the overlay layer and never get a key: the box
// takes that layer, and the saver's surfaces step down to the one below while it is up
// (a compositor may stack a layer's newest surface under the older ones). It has no
// parent there: a layer surface is no toplevel to be transient for.
void LayerShellHost::raiseBox(GtkWidget* box) {
    if (outputs_.empty() || gtk_widget_get_realized(box)) {
        return;  // no saver's surface to come up over
    }
    GtkWindow* window = GTK_WINDOW(box);
    gtk_window_set_transient_for(window, nullptr);
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "morvel");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_keyboard_interactivity(window, TRUE);
    gtk_layer_set_monitor(window, PrimaryMonitor());
    stackSaver(GTK_LAYER_SHELL_LAYER_TOP);
    g_signal_connect(
        box, "unmap", G_CALLBACK(+[](GtkWidget*, gpointer self) {
            static_cast<LayerShellHost*>(self)->stackSaver(GTK_LAYER_SHELL_LAYER_OVERLAY);
        }),
        this);
}

void LayerShellHost::stackSaver(int layer) {
    for (const Output& output : outputs_) {
        gtk_layer_set_layer(GTK_WINDOW(gtk_widget_get_toplevel(output.layout)),
                            static_cast<GtkLayerShellLayer>(layer));
    }
}

}  // namespace morvel::linux_backend

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
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "window { background-color: #000000; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(cover), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
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

// Every Monitors mode gets the form over the primary output and covers over the others: a
// surface spans one output, so a form over all of them is still to come. The form's layout
// keeps the output's size, which the compositor gives the surface a moment after it maps.
GtkWidget* LayerShellHost::makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                                           std::vector<GtkWidget*>& covers) {
    GdkMonitor* primary = PrimaryMonitor();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    NameWindow(window, design);
    MakeLayerSurface(window, primary);
    gtk_container_add(GTK_CONTAINER(window), layout);
    const GdkRectangle area = MonitorArea(primary);
    gtk_widget_set_size_request(layout, area.width, area.height);
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        if (GdkMonitor* monitor = gdk_display_get_monitor(display, i); monitor != primary) {
            covers.push_back(MakeLayerCover(monitor));
        }
    }
    return window;
}

}  // namespace morvel::linux_backend

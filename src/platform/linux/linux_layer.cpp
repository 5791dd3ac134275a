// The saver's layer surfaces on a Wayland compositor.
#include "platform/linux/linux_layer.h"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell/gtk-layer-shell.h>
#include <wayland-client.h>

#include <algorithm>
#include <memory>
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

const char* AllowedBackends(const char* requested, bool layerShellOffered) {
    if (requested != nullptr && *requested != '\0') {
        return std::string_view(requested).starts_with("wayland") ? "wayland,x11" : "x11";
    }
    return layerShellOffered ? "wayland,x11" : "x11";
}

bool CompositorOffersLayerShell() {
    const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(
        wl_display_connect(nullptr), wl_display_disconnect);
    if (!display) {
        return false;
    }
    const std::unique_ptr<wl_registry, decltype(&wl_registry_destroy)> registry(
        wl_display_get_registry(display.get()), wl_registry_destroy);
    static constexpr wl_registry_listener kListener{
        .global =
            [](void* offered, wl_registry*, uint32_t, const char* interface, uint32_t) {
                if (std::string_view(interface) == "zwlr_layer_shell_v1") {
                    *static_cast<bool*>(offered) = true;
                }
            },
        .global_remove = [](void*, wl_registry*, uint32_t) {},
    };
    bool offered = false;
    wl_registry_add_listener(registry.get(), &kListener, &offered);
    return wl_display_roundtrip(display.get()) >= 0 && offered;
}

bool OnWaylandDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_WAYLAND_DISPLAY(display);
}

bool LayerShellAvailable() {
    return OnWaylandDisplay() && gtk_layer_is_supported();
}

namespace {

// The surface's own content, held at `area`'s size, in a layout that does not grow with it: a
// control wider than the output (a video across every output) would make the surface ask
// for more than the output has.
void HoldAt(GtkWidget* window, GtkWidget* layout, const GdkRectangle& area) {
    GtkWidget* holder = gtk_layout_new(nullptr, nullptr);
    gtk_widget_set_size_request(holder, area.width, area.height);
    gtk_layout_put(GTK_LAYOUT(holder), layout, 0, 0);
    gtk_widget_set_size_request(layout, area.width, area.height);
    gtk_widget_show(holder);
    gtk_container_add(GTK_CONTAINER(window), holder);
}

platform::Rect ToRect(const GdkRectangle& area) {
    return {area.x, area.y, area.width, area.height};
}

platform::Rect Intersection(const platform::Rect& a, const platform::Rect& b) {
    const int left = std::max(a.left, b.left);
    const int top = std::max(a.top, b.top);
    const int right = std::min(a.left + a.width, b.left + b.width);
    const int bottom = std::min(a.top + a.height, b.top + b.height);
    return {left, top, std::max(right - left, 0), std::max(bottom - top, 0)};
}

}  // namespace

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
    const GdkRectangle area = MonitorArea(primary);
    HoldAt(window, layout, area);
    outputs_ = {{ToRect(area), layout}};
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        if (GdkMonitor* monitor = gdk_display_get_monitor(display, i); monitor != primary) {
            GtkWidget* cover = MakeLayerCover(monitor);
            GtkWidget* coverLayout = gtk_fixed_new();
            gtk_widget_show(coverLayout);
            const GdkRectangle at = MonitorArea(monitor);
            HoldAt(cover, coverLayout, at);
            outputs_.push_back({ToRect(at), coverLayout});
            covers.push_back(cover);
        }
    }
    // The host outlives the saver's windows: it forgets them as they go.
    g_signal_connect(layout, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                         static_cast<LayerShellHost*>(self)->forgetSaver();
                     }),
                     this);
    saver_ = window;
    if (monitorAdded_ == 0) {
        monitorAdded_ =
            g_signal_connect(display, "monitor-added",
                             G_CALLBACK(+[](GdkDisplay*, GdkMonitor* monitor, gpointer self) {
                                 static_cast<LayerShellHost*>(self)->coverNewMonitor(monitor);
                             }),
                             this);
    }
    spanningLayout_ = nullptr;
    if (design.style == platform::WindowStyle::FullScreenEveryMonitor) {
        const platform::Rect spanned = platform::BoundingRect(monitors());
        spanningLayout_ = layout;
        spanningLeft_ = spanned.left;
        spanningTop_ = spanned.top;
    }
    return window;
}

void LayerShellHost::forgetSaver() {
    outputs_.clear();
    spanningLayout_ = nullptr;
    saver_ = nullptr;
    if (monitorAdded_ != 0) {
        g_signal_handler_disconnect(gdk_display_get_default(), monitorAdded_);
        monitorAdded_ = 0;
    }
}

// A monitor plugged in while the saver runs is black: the saver's videos were laid out for
// the monitors it started with. The cover goes with the saver's window.
void LayerShellHost::coverNewMonitor(GdkMonitor* monitor) {
    if (saver_ == nullptr || !adopt_) {
        return;
    }
    GtkWidget* cover = MakeLayerCover(monitor);
    adopt_(saver_, cover);
}

GtkWidget* LayerShellHost::layoutFor(GtkWidget* formLayout, GtkWidget* control,
                                     platform::Rect& bounds) {
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
    spread(control, {x, y, bounds.width, bounds.height}, *on);
    bounds.left = x - on->area.left;
    bounds.top = y - on->area.top;
    return on->layout;
}

// The views of a control at `at` (the desktop's coordinates) that lies on `home`: made anew at
// each place, shown while the control is mapped, each painting the control translated to
// its corner, again whenever the control paints.
void LayerShellHost::spread(GtkWidget* control, const platform::Rect& at, const Output& home) {
    auto found = views_.find(control);
    if (found == views_.end()) {
        if (at.width <= 0 || at.height <= 0) {
            return;
        }
        found = views_.emplace(control, Views{control, {}, false}).first;
        Views* views = &found->second;
        g_signal_connect_after(control, "draw",
                               G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer data) -> gboolean {
                                   auto& own = *static_cast<Views*>(data);
                                   for (const View& view : own.views) {
                                       if (!own.drawing) {
                                           gtk_widget_queue_draw(view.area);
                                       }
                                   }
                                   return FALSE;
                               }),
                               views);
        for (const char* signal : {"map", "unmap"}) {
            g_signal_connect_after(
                control, signal, G_CALLBACK(+[](GtkWidget* widget, gpointer data) {
                    for (const View& view : static_cast<Views*>(data)->views) {
                        gtk_widget_set_visible(view.area, gtk_widget_get_mapped(widget));
                    }
                }),
                views);
        }
        g_signal_connect(control, "destroy", G_CALLBACK(+[](GtkWidget* widget, gpointer self) {
                             auto& host = *static_cast<LayerShellHost*>(self);
                             auto gone = host.views_.find(widget);
                             DestroyViews(gone->second);
                             host.views_.erase(gone);
                         }),
                         this);
    }
    Views& views = found->second;
    DestroyViews(views);
    for (const Output& output : outputs_) {
        const platform::Rect part = Intersection(at, output.area);
        if (&output == &home || part.width <= 0 || part.height <= 0) {
            continue;
        }
        GtkWidget* area = gtk_drawing_area_new();
        gtk_widget_set_size_request(area, part.width, part.height);
        gtk_fixed_put(GTK_FIXED(output.layout), area, part.left - output.area.left,
                      part.top - output.area.top);
        g_signal_connect(area, "draw", G_CALLBACK(DrawView), &views);
        // A view goes with its output's window too, which may go before the control does.
        g_signal_connect(area, "destroy", G_CALLBACK(+[](GtkWidget* gone, gpointer data) {
                             std::erase_if(static_cast<Views*>(data)->views,
                                           [gone](const View& view) { return view.area == gone; });
                         }),
                         &views);
        gtk_widget_set_visible(area, gtk_widget_get_mapped(control));
        views.views.push_back({area, part.left - at.left, part.top - at.top});
    }
}

void LayerShellHost::DestroyViews(Views& views) {
    const std::vector<View> going = views.views;  // each leaves the list as it goes
    for (const View& view : going) {
        gtk_widget_destroy(view.area);
    }
}

gboolean LayerShellHost::DrawView(GtkWidget* area, cairo_t* cairo, gpointer data) {
    auto& views = *static_cast<Views*>(data);
    for (const View& view : views.views) {
        if (view.area == area && gtk_widget_get_realized(views.control)) {
            views.drawing = true;
            cairo_translate(cairo, -view.left, -view.top);
            gtk_widget_draw(views.control, cairo);
            views.drawing = false;
        }
    }
    return TRUE;
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

// The choice of host, and the saver on a screen of its own: its window over the primary
// monitor and black windows over every other one, or one window over them all.
#include "platform/linux/linux_host.h"

#include <glib-unix.h>

#include <algorithm>
#include <csignal>
#include <tuple>
#include <utility>

#include "platform/linux/linux_common.h"
#include "platform/linux/linux_layer.h"

namespace morvel::linux_backend {

void PaintBlack(GtkWidget* window) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "window { background-color: #000000; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

TerminationWatch::~TerminationWatch() {
    for (const guint source : sources_) {
        g_source_remove(source);
    }
}

void TerminationWatch::start(std::function<void()> end) {
    end_ = std::move(end);
    for (const int signal : {SIGTERM, SIGINT}) {
        sources_.push_back(g_unix_signal_add(
            signal,
            +[](gpointer self) -> gboolean {
                static_cast<TerminationWatch*>(self)->end_();
                return G_SOURCE_CONTINUE;
            },
            this));
    }
}

namespace {

// A black, undecorated window over one monitor, above the others.
GtkWidget* MakeCover(const GdkRectangle& area) {
    GtkWidget* cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(cover), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(cover), TRUE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(cover), TRUE);
    gtk_window_move(GTK_WINDOW(cover), area.x, area.y);
    gtk_widget_set_size_request(cover, area.width, area.height);
    PaintBlack(cover);
    return cover;
}

std::vector<GtkWidget*> CoverOtherMonitors() {
    std::vector<GtkWidget*> covers;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* primary = PrimaryMonitor();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        if (monitor != primary) {
            covers.push_back(MakeCover(MonitorArea(monitor)));
        }
    }
    return covers;
}

platform::Rect ToRect(const GdkRectangle& area) {
    return {area.x, area.y, area.width, area.height};
}

// The whole X screen, for a display that tells of no monitor at all.
platform::Rect ScreenArea() {
    int width = 0;
    int height = 0;
    gdk_window_get_geometry(gdk_get_default_root_window(), nullptr, nullptr, &width, &height);
    return {0, 0, width, height};
}

}  // namespace

// The window is placed and sized by hand rather than made full screen: full screen needs a
// window manager and covers one monitor, where the saver may run on a bare X server and its
// window may span every monitor.
GtkWidget* OwnScreenHost::makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                                          std::vector<GtkWidget*>& covers) {
    const bool everyMonitor = design.style == platform::WindowStyle::FullScreenEveryMonitor;
    const platform::Rect area =
        everyMonitor ? platform::BoundingRect(monitors()) : monitors().front();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    NameWindow(window, design);
    gtk_container_add(GTK_CONTAINER(window), layout);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_move(GTK_WINDOW(window), area.left, area.top);
    gtk_widget_set_size_request(layout, area.width, area.height);
    if (!everyMonitor) {
        covers = CoverOtherMonitors();
    }
    return window;
}

platform::Size OwnScreenHost::screenSize() const {
    const GdkRectangle primary = MonitorArea(PrimaryMonitor());
    return {primary.width, primary.height};
}

std::vector<platform::Rect> PrimaryThenLeftToRight(const platform::Rect& primary,
                                                   std::vector<platform::Rect> others) {
    std::sort(others.begin(), others.end(), [](const platform::Rect& a, const platform::Rect& b) {
        return std::tie(a.left, a.top) < std::tie(b.left, b.top);
    });
    others.insert(others.begin(), primary);
    return others;
}

int MonitorIndexAt(const std::vector<platform::Rect>& monitors, int x, int y) {
    for (std::size_t index = 0; index < monitors.size(); ++index) {
        const platform::Rect& at = monitors[index];
        if (x >= at.left && x < at.left + at.width && y >= at.top && y < at.top + at.height) {
            return static_cast<int>(index);
        }
    }
    return 0;
}

std::vector<platform::Rect> OwnScreenHost::monitors() const {
    GdkMonitor* primary = PrimaryMonitor();
    if (primary == nullptr) {
        return {ScreenArea()};
    }
    std::vector<platform::Rect> others;
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        if (GdkMonitor* monitor = gdk_display_get_monitor(display, i); monitor != primary) {
            others.push_back(ToRect(MonitorArea(monitor)));
        }
    }
    return PrimaryThenLeftToRight(ToRect(MonitorArea(primary)), std::move(others));
}

std::unique_ptr<Host> HostFor(const HackRequest& request) {
    if (!request.hack) {
        if (LayerShellAvailable()) {
            return std::make_unique<LayerShellHost>();
        }
        return std::make_unique<OwnScreenHost>();
    }
    if (OnWaylandDisplay()) {
        return nullptr;  // a locker's window is an X window: there is none on Wayland
    }
    return LockerWindowHost::Open(request.window);
}

}  // namespace morvel::linux_backend

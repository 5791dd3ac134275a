// The choice of host, and the saver on a screen of its own: its window over the primary
// monitor, black windows over every other one.
#include "platform/linux/linux_host.h"

#include "platform/linux/linux_common.h"

namespace morvel::linux_backend {

namespace {

// A black, undecorated window over one monitor, above the others.
GtkWidget* MakeCover(const GdkRectangle& area) {
    GtkWidget* cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(cover), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(cover), TRUE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(cover), TRUE);
    gtk_window_move(GTK_WINDOW(cover), area.x, area.y);
    gtk_widget_set_size_request(cover, area.width, area.height);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "window { background-color: #000000; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(cover), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
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

}  // namespace

GtkWidget* OwnScreenHost::makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                                          std::vector<GtkWidget*>& covers) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    NameWindow(window, design);
    gtk_container_add(GTK_CONTAINER(window), layout);
    const GdkRectangle primary = MonitorArea(PrimaryMonitor());
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_move(GTK_WINDOW(window), primary.x, primary.y);
    gtk_widget_set_size_request(layout, primary.width, primary.height);
    covers = CoverOtherMonitors();
    return window;
}

platform::Size OwnScreenHost::screenSize() const {
    const GdkRectangle primary = MonitorArea(PrimaryMonitor());
    return {primary.width, primary.height};
}

std::unique_ptr<Host> HostFor(const HackRequest& request) {
    if (!request.hack) {
        return std::make_unique<OwnScreenHost>();
    }
    return LockerWindowHost::Open(request.window);
}

}  // namespace morvel::linux_backend

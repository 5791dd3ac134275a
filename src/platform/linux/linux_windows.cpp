// Top-level windows: the forms' own (the saver's full-screen one as its host places it),
// modal windows, and the screen and the cursor over them.
#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "platform/linux/linux_platform.h"

// After the seam: the X headers define names (None, Status) its declarations use.
#include <gdk/gdkx.h>

namespace morvel::linux_backend {

namespace {

// What a form's title bar and frame take from an outer size, as on the desktop the forms
// were laid out for.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

std::string BackgroundStyle(platform::Color color) {
    return "window { background-color: " + HexColor(color) + "; background-image: none; }";
}

void LoadStyle(GtkCssProvider* provider, const std::string& css) {
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

}  // namespace

std::string HexColor(platform::Color color) {
    char text[8];
    g_snprintf(text, sizeof(text), "#%02x%02x%02x", color.red, color.green, color.blue);
    return text;
}

// The faces the forms name, by the metric-compatible fonts a Linux desktop has.
std::string FontFamily(const std::string& face) {
    if (face == "Arial" || face == "MS Sans Serif") {
        return "Liberation Sans";
    }
    if (face == "Courier New") {
        return "Liberation Mono";
    }
    if (face == "Times New Roman") {
        return "Liberation Serif";
    }
    return face;
}

GdkMonitor* PrimaryMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor != nullptr ? monitor : gdk_display_get_monitor(display, 0);
}

GdkRectangle MonitorArea(GdkMonitor* monitor) {
    GdkRectangle area{};
    if (monitor != nullptr) {
        gdk_monitor_get_geometry(monitor, &area);
    }
    return area;
}

void NameWindow(GtkWidget* window, const platform::WindowSpec& design) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_window_set_wmclass(GTK_WINDOW(window), design.className.c_str(), design.className.c_str());
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_window_set_title(GTK_WINDOW(window), design.caption.c_str());
}

// --- Forms -----------------------------------------------------------------------------------

Handle LinuxPlatform::createWindow(const platform::WindowSpec& design) {
    auto data = std::make_unique<WindowData>();
    data->design = design;
    data->fixed = gtk_fixed_new();
    gtk_widget_show(data->fixed);
    const bool fullScreen = design.style == platform::WindowStyle::FullScreenTopmost ||
                            design.style == platform::WindowStyle::FullScreenEveryMonitor;
    GtkWidget* window = fullScreen ? host_->makeSaverWindow(design, data->fixed, data->covers)
                                   : makeDialogWindow(design, data->fixed);
    data->window = window;
    if (!GDK_IS_X11_DISPLAY(gtk_widget_get_display(window))) {
        data->marker = std::make_unique<WindowMarker>(design.className, design.caption);
    }
    gtk_widget_set_app_paintable(window, FALSE);
    data->css = gtk_css_provider_new();
    gtk_style_context_add_provider(gtk_widget_get_style_context(window),
                                   GTK_STYLE_PROVIDER(data->css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(data->css);  // the style context holds it now
    LoadStyle(data->css, BackgroundStyle(design.background));

    // The close box asks like any other close; closing the first window ends the program.
    g_signal_connect(window, "delete-event",
                     G_CALLBACK(+[](GtkWidget* widget, GdkEvent*, gpointer self) -> gboolean {
                         auto& platform = *static_cast<LinuxPlatform*>(self);
                         const Handle handle = ToHandle(widget);
                         const bool main = !platform.creationOrder_.empty() &&
                                           platform.creationOrder_.front() == handle &&
                                           !platform.windowData(handle).modal;
                         if (platform.closeWindow(handle) && main) {
                             platform.quit();
                         }
                         return TRUE;
                     }),
                     this);
    followCursor(window);
    for (GtkWidget* cover : data->covers) {
        followCursor(cover);
    }
    const Handle handle = ToHandle(window);
    windows_[handle] = std::move(data);
    creationOrder_.push_back(handle);
    return handle;
}

// A form with a frame, laid out by its client size or its outer size.
GtkWidget* LinuxPlatform::makeDialogWindow(const platform::WindowSpec& design, GtkWidget* layout) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    NameWindow(window, design);
    gtk_container_add(GTK_CONTAINER(window), layout);
    platform::Size client = design.clientSize;
    if (design.outerSize.width > 0 && design.outerSize.height > 0) {
        client = {design.outerSize.width - kFrameWidth, design.outerSize.height - kFrameHeight};
    }
    gtk_widget_set_size_request(layout, client.width, client.height);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(window),
                             design.style == platform::WindowStyle::FixedDialogWithClose);
    if (design.centered) {
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    }
    if (design.owner != 0 && windows_.count(design.owner) != 0) {
        gtk_window_set_transient_for(GTK_WINDOW(window),
                                     GTK_WINDOW(windows_.at(design.owner)->window));
    }
    return window;
}

void LinuxPlatform::adoptCover(GtkWidget* saver, GtkWidget* cover) {
    auto form = windows_.find(ToHandle(saver));
    if (form == windows_.end()) {
        gtk_widget_destroy(cover);
        return;
    }
    form->second->covers.push_back(cover);
    followCursor(cover);
    gtk_widget_set_visible(cover, gtk_widget_get_visible(saver));
}

void LinuxPlatform::destroyWindow(Handle handle) {
    auto found = windows_.find(handle);
    if (found == windows_.end()) {
        return;
    }
    WindowData& data = *found->second;
    for (const auto& [id, source] : data.timers) {
        g_source_remove(source);
    }
    if (data.modalLoop != nullptr) {
        g_main_loop_quit(data.modalLoop);
    }
    GtkWidget* window = data.window;
    const std::vector<GtkWidget*> covers = data.covers;
    std::erase_if(controls_, [&](const auto& entry) { return entry.second->window == handle; });
    std::erase_if(radioAnchors_, [&](const auto& entry) {
        if (entry.first.first == handle) {
            gtk_widget_destroy(entry.second);
            return true;
        }
        return false;
    });
    windows_.erase(found);
    std::erase(creationOrder_, handle);
    gtk_widget_destroy(window);
    for (GtkWidget* cover : covers) {
        gtk_widget_destroy(cover);
    }
}

void LinuxPlatform::showWindow(Handle handle, bool visible) {
    WindowData& data = windowData(handle);
    // The covers first, so that the form comes up above them where monitors overlap.
    for (GtkWidget* cover : data.covers) {
        gtk_widget_set_visible(cover, visible);
    }
    if (visible) {
        applyFocusChain(data);
        gtk_widget_show(data.window);
        gtk_window_present(GTK_WINDOW(data.window));
    } else {
        gtk_widget_hide(data.window);
        if (data.modalLoop != nullptr) {
            g_main_loop_quit(data.modalLoop);
        }
    }
}

void LinuxPlatform::showModal(Handle handle) {
    WindowData& data = windowData(handle);
    data.modal = true;
    gtk_window_set_modal(GTK_WINDOW(data.window), TRUE);
    showWindow(handle, true);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    data.modalLoop = loop;
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    if (auto found = windows_.find(handle); found != windows_.end()) {
        found->second->modalLoop = nullptr;
        found->second->modal = false;
        gtk_window_set_modal(GTK_WINDOW(found->second->window), FALSE);
    }
}

bool LinuxPlatform::closeWindow(Handle handle) {
    const auto query = windowData(handle).design.onCloseQuery;
    bool canClose = true;
    if (query) {
        canClose = false;
        runHandler([&] { canClose = query(); });
    }
    if (canClose && windows_.count(handle) != 0) {
        showWindow(handle, false);
    }
    return canClose;
}

// Applies a focus order to every container of the form: by place, then by creation.
void LinuxPlatform::applyFocusChain(WindowData& form) {
    std::map<GtkWidget*, std::vector<std::pair<std::tuple<bool, int, int>, GtkWidget*>>> byParent;
    for (const auto& [handle, control] : controls_) {
        if (windows_.count(control->window) != 0 && windows_.at(control->window).get() == &form) {
            const int place = control->design.tabOrder;
            byParent[gtk_widget_get_parent(control->outer)].push_back(
                {{place < 0, std::max(place, 0), control->sequence}, control->outer});
        }
    }
    for (auto& [container, children] : byParent) {
        std::sort(children.begin(), children.end());
        GList* chain = nullptr;
        for (const auto& child : children) {
            chain = g_list_append(chain, child.second);
        }
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_container_set_focus_chain(GTK_CONTAINER(container), chain);
        G_GNUC_END_IGNORE_DEPRECATIONS
        g_list_free(chain);
    }
}

void LinuxPlatform::setWindowColor(Handle handle, platform::Color color) {
    LoadStyle(windowData(handle).css, BackgroundStyle(color));
}

LinuxPlatform::WindowData& LinuxPlatform::windowData(Handle handle) const {
    auto found = windows_.find(handle);
    if (found == windows_.end()) {
        throw std::invalid_argument("No window with handle " + std::to_string(handle));
    }
    return *found->second;
}

// --- Screen and cursor -----------------------------------------------------------------------

platform::Size LinuxPlatform::screenSize() const {
    return host_->screenSize();
}

std::vector<platform::Rect> LinuxPlatform::monitors() const {
    return host_->monitors();
}

int LinuxPlatform::firstMonitorIndex() const {
    return host_->firstMonitorIndex();
}

int LinuxPlatform::showCursor(bool show) {
    cursorCount_ += show ? 1 : -1;
    for (const auto& [handle, data] : windows_) {
        applyCursor(data->window);
        for (GtkWidget* cover : data->covers) {
            applyCursor(cover);
        }
    }
    return cursorCount_;
}

// A window takes the cursor the count says as soon as it is realized.
void LinuxPlatform::followCursor(GtkWidget* window) {
    g_signal_connect(window, "realize", G_CALLBACK(+[](GtkWidget* widget, gpointer self) {
                         static_cast<LinuxPlatform*>(self)->applyCursor(widget);
                     }),
                     this);
}

// Below zero the cursor is blank over every window of the program; over a locker's window
// it is the locker's.
void LinuxPlatform::applyCursor(GtkWidget* window) const {
    GdkWindow* native = gtk_widget_get_window(window);
    if (native == nullptr) {
        return;  // not realized yet: done when it is
    }
    if (!host_->cursorIsOurs()) {
        return;
    }
    GdkCursor* blank = cursorCount_ < 0 ? gdk_cursor_new_for_display(gdk_window_get_display(native),
                                                                     GDK_BLANK_CURSOR)
                                        : nullptr;
    gdk_window_set_cursor(native, blank);
    if (blank != nullptr) {
        g_object_unref(blank);
    }
}

}  // namespace morvel::linux_backend

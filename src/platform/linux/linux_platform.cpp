// The application side of the Linux backend: the GDK event handler that shows every input
// event to the application-wide handler, the loops, the forms and their timers.
#include "platform/linux/linux_platform.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "platform/linux/gst_engine.h"
#include "platform/linux/linux_input.h"

namespace morvel::linux_backend {

namespace {

constexpr const char* kUnknownError = "Unknown error";

// What a form's title bar and frame take from an outer size, as on the desktop the forms
// were laid out for.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

Handle ToHandle(GtkWidget* widget) {
    return reinterpret_cast<Handle>(widget);
}

std::string HexColor(platform::Color color) {
    char text[8];
    g_snprintf(text, sizeof(text), "#%02x%02x%02x", color.red, color.green, color.blue);
    return text;
}

GdkRectangle MonitorArea(GdkMonitor* monitor) {
    GdkRectangle area{};
    if (monitor != nullptr) {
        gdk_monitor_get_geometry(monitor, &area);
    }
    return area;
}

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

void LoadStyle(GtkCssProvider* provider, const std::string& css) {
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

}  // namespace

GdkMonitor* PrimaryMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor != nullptr ? monitor : gdk_display_get_monitor(display, 0);
}

std::vector<GtkWidget*> LinuxPlatform::coverOtherMonitors() {
    std::vector<GtkWidget*> covers;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* primary = PrimaryMonitor();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        if (monitor != primary) {
            covers.push_back(MakeCover(MonitorArea(monitor)));
            g_signal_connect(covers.back(), "realize",
                             G_CALLBACK(+[](GtkWidget* widget, gpointer self) {
                                 static_cast<LinuxPlatform*>(self)->applyCursor(widget);
                             }),
                             this);
        }
    }
    return covers;
}

// A timer's callback, owned by its GLib source and freed when the source goes.
struct LinuxPlatform::Timer {
    LinuxPlatform* platform;
    std::function<void()> callback;
};

LinuxPlatform::LinuxPlatform() {
    gdk_event_handler_set(EventHandler, this, nullptr);
    // A click beside a scroll bar's thumb moves it one large step, not to the click.
    g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);
}

LinuxPlatform::~LinuxPlatform() {
    gdk_event_handler_set(
        +[](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    while (!creationOrder_.empty()) {
        destroyWindow(creationOrder_.back());
    }
    if (ownsHost_) {
        g_object_unref(host_);
    }
}

// --- Application -----------------------------------------------------------------------------

void LinuxPlatform::EventHandler(GdkEvent* event, gpointer self) {
    auto& platform = *static_cast<LinuxPlatform*>(self);
    try {
        platform.onEvent(event);
    } catch (const std::exception& error) {
        platform.endProcessWithReport(platform::errorReportText(error.what()));
    } catch (...) {
        platform.endProcessWithReport(kUnknownError);
    }
}

void LinuxPlatform::onEvent(GdkEvent* event) {
    if (host_ != nullptr && event->type == GDK_DESTROY) {
        // The locker's window is gone, and ours in it. GTK is not told: it would free the
        // form under the saver, which still closes it as it ends.
        endAsHack();
        return;
    }
    std::optional<platform::Message> message = TranslateEvent(*event);
    if (!message || ending_ || host_ != nullptr) {
        gtk_main_do_event(event);
        return;
    }
    Handle target = handleOf(event->any.window);
    const bool key = event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE;
    if (key && windows_.count(target) != 0) {
        // Keys go to the toplevel; the message names the control that has the focus.
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(windows_.at(target)->window));
        for (GtkWidget* at = focus; at != nullptr; at = gtk_widget_get_parent(at)) {
            if (controls_.count(ToHandle(at)) != 0) {
                target = ToHandle(at);
                break;
            }
        }
    }
    message->window = target;
    if (handler_) {
        bool handled = false;
        const MessageHandler handler = handler_;  // it may replace itself while it runs
        platform::invokeMessageHandler(*this, handler, *message, handled);
        if (handled) {
            return;
        }
    }
    const Handle form = formOf(target);  // looked up again: the handler may have closed it
    if (form != 0 && event->type == GDK_KEY_PRESS) {
        if (handleDialogKeys(form, event->key)) {
            return;
        }
        WindowData& data = *windows_.at(form);
        if (target == form || data.design.keyPreview) {
            formKeyDown(data, static_cast<int>(message->wParam));
        }
    } else if (form != 0 && form == target && event->type == GDK_BUTTON_PRESS) {
        formMouseDown(*windows_.at(form), event->button.button, static_cast<int>(event->button.x),
                      static_cast<int>(event->button.y));
    }
    if (formOf(target) == form) {
        gtk_main_do_event(event);
    }
}

// The form or control a GDK window belongs to; 0 when it is none of ours.
Handle LinuxPlatform::handleOf(GdkWindow* window) const {
    gpointer user = nullptr;
    if (window != nullptr) {
        gdk_window_get_user_data(window, &user);
    }
    for (GtkWidget* at = static_cast<GtkWidget*>(user); at != nullptr;
         at = gtk_widget_get_parent(at)) {
        if (controls_.count(ToHandle(at)) != 0 || windows_.count(ToHandle(at)) != 0) {
            return ToHandle(at);
        }
    }
    return 0;
}

Handle LinuxPlatform::formOf(Handle handle) const {
    if (windows_.count(handle) != 0) {
        return handle;
    }
    auto found = controls_.find(handle);
    return found != controls_.end() && windows_.count(found->second->window) != 0
               ? found->second->window
               : 0;
}

// Enter presses the form's default button, as in a dialog box.
bool LinuxPlatform::handleDialogKeys(Handle form, const GdkEventKey& key) {
    if (key.keyval != GDK_KEY_Return && key.keyval != GDK_KEY_KP_Enter) {
        return false;
    }
    for (const auto& [handle, control] : controls_) {
        if (control->window == form && control->design.defaultButton &&
            effectiveVisible(*control) && effectiveEnabled(*control)) {
            gtk_button_clicked(GTK_BUTTON(control->inner));
            return true;
        }
    }
    return false;
}

void LinuxPlatform::formKeyDown(WindowData& data, int virtualKey) {
    if (const auto onKey = data.design.onKeyDown) {
        runHandler([&] { onKey(virtualKey); });
    }
}

void LinuxPlatform::formMouseDown(WindowData& data, guint button, int x, int y) {
    if (const auto onMouse = data.design.onMouseDown) {
        const int which = button == 1 ? 0 : button == 3 ? 1 : 2;
        runHandler([&] { onMouse(which, x, y); });
    }
}

void LinuxPlatform::runHandler(const std::function<void()>& handler) {
    platform::invokeHandler(*this, handler);
}

void LinuxPlatform::runMessageLoop() {
    if (std::exchange(quitPending_, false)) {
        return;  // the program ended before its loop began, in a box or as a hack
    }
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    GMainLoop* outer = mainLoop_;
    mainLoop_ = loop;
    g_main_loop_run(loop);
    mainLoop_ = outer;
    g_main_loop_unref(loop);
}

void LinuxPlatform::processMessages() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// Ends the program's loop and any modal loop inside it, boxes and choosers too, as a quit
// message does.
void LinuxPlatform::quit() {
    for (GtkWidget* dialog : std::vector<GtkWidget*>(runningDialogs_)) {
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NONE);
    }
    for (auto& [handle, data] : windows_) {
        if (data->modalLoop != nullptr) {
            g_main_loop_quit(data->modalLoop);
        }
    }
    if (mainLoop_ != nullptr) {
        g_main_loop_quit(mainLoop_);
    } else {
        quitPending_ = true;
    }
}

void LinuxPlatform::endProcessWithReport(const std::string& message) {
    ending_ = true;
    cursorCount_ = 0;
    if (host_ != nullptr) {
        messageBox(0, title_, message, platform::MessageBoxKind::Error);  // to the locker's log
        std::_Exit(1);
    }
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                            GTK_BUTTONS_OK, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), title_.c_str());
    TraceBox(title_, message);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_run(GTK_DIALOG(box));
    std::_Exit(1);
}

// --- Forms -----------------------------------------------------------------------------------

Handle LinuxPlatform::createWindow(const platform::WindowSpec& design) {
    auto data = std::make_unique<WindowData>();
    data->design = design;
    const bool fullScreen = design.style == platform::WindowStyle::FullScreenTopmost;
    const bool inHost = fullScreen && host_ != nullptr;
    GtkWidget* window = gtk_window_new(inHost ? GTK_WINDOW_POPUP : GTK_WINDOW_TOPLEVEL);
    data->window = window;
    if (!inHost) {
        // Other processes find a running saver by its class and title; in a locker's window
        // it is the locker's, and the settings may open beside it.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_window_set_wmclass(GTK_WINDOW(window), design.className.c_str(),
                               design.className.c_str());
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_window_set_title(GTK_WINDOW(window), design.caption.c_str());
    }
    gtk_widget_set_app_paintable(window, FALSE);
    data->fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window), data->fixed);
    gtk_widget_show(data->fixed);

    if (inHost) {
        const platform::Size size = hostSize();
        gtk_widget_set_size_request(data->fixed, size.width, size.height);
        embedInHost(window);
    } else if (fullScreen) {
        const GdkRectangle primary = MonitorArea(PrimaryMonitor());
        gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
        gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
        gtk_window_move(GTK_WINDOW(window), primary.x, primary.y);
        gtk_widget_set_size_request(data->fixed, primary.width, primary.height);
        data->covers = coverOtherMonitors();
    } else {
        platform::Size client = design.clientSize;
        if (design.outerSize.width > 0 && design.outerSize.height > 0) {
            client = {design.outerSize.width - kFrameWidth, design.outerSize.height - kFrameHeight};
        }
        gtk_widget_set_size_request(data->fixed, client.width, client.height);
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
    }
    data->css = gtk_css_provider_new();
    gtk_style_context_add_provider(gtk_widget_get_style_context(window),
                                   GTK_STYLE_PROVIDER(data->css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(data->css);  // the style context holds it now
    LoadStyle(data->css, "window { background-color: " + HexColor(design.background) +
                             "; background-image: none; }");

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
    g_signal_connect(window, "realize", G_CALLBACK(+[](GtkWidget* widget, gpointer self) {
                         static_cast<LinuxPlatform*>(self)->applyCursor(widget);
                     }),
                     this);
    const Handle handle = ToHandle(window);
    windows_[handle] = std::move(data);
    creationOrder_.push_back(handle);
    return handle;
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

void LinuxPlatform::setWindowColor(Handle handle, platform::Color color) {
    WindowData& data = windowData(handle);
    LoadStyle(data.css,
              "window { background-color: " + HexColor(color) + "; background-image: none; }");
}

LinuxPlatform::WindowData& LinuxPlatform::windowData(Handle handle) const {
    auto found = windows_.find(handle);
    if (found == windows_.end()) {
        throw std::invalid_argument("No window with handle " + std::to_string(handle));
    }
    return *found->second;
}

// --- Timers: GLib timeouts, which keep firing in every nested loop ---------------------------

void LinuxPlatform::startTimer(Handle window, int timerId, int intervalMs,
                               std::function<void()> callback) {
    WindowData& data = windowData(window);
    stopTimer(window, timerId);
    auto timer = std::make_unique<Timer>(Timer{this, std::move(callback)});
    const guint source = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(intervalMs),
        +[](gpointer raw) -> gboolean {
            const Timer& timer = *static_cast<Timer*>(raw);
            const auto callback = timer.callback;  // it may stop its own timer
            timer.platform->runHandler(callback);
            return G_SOURCE_CONTINUE;
        },
        timer.release(), +[](gpointer raw) { std::unique_ptr<Timer>(static_cast<Timer*>(raw)); });
    data.timers[timerId] = source;
}

void LinuxPlatform::stopTimer(Handle window, int timerId) {
    auto found = windows_.find(window);
    if (found == windows_.end()) {
        return;  // the window and its timers are gone already
    }
    auto timer = found->second->timers.find(timerId);
    if (timer != found->second->timers.end()) {
        g_source_remove(timer->second);
        found->second->timers.erase(timer);
    }
}

// --- Media -----------------------------------------------------------------------------------

std::unique_ptr<media::MediaEngine> LinuxPlatform::createMediaEngine() {
    return std::make_unique<GstEngine>();
}

}  // namespace morvel::linux_backend

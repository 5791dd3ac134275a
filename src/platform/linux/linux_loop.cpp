// The application side of the Linux backend: the GDK event handler that shows every input
// event to the application-wide handler, the program's and the nested loops, quitting, the
// end of the process with a report, and the windows' timers.
#include "platform/linux/linux_platform.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/linux/linux_input.h"

namespace morvel::linux_backend {

namespace {

constexpr const char* kUnknownError = "Unknown error";

}  // namespace

// A timer's callback, owned by its GLib source and freed when the source goes.
struct LinuxPlatform::Timer {
    LinuxPlatform* platform;
    gint64 intervalUs;
    std::function<void()> callback;
};

LinuxPlatform::LinuxPlatform(std::unique_ptr<Host> host) : host_(std::move(host)) {
    gdk_event_handler_set(EventHandler, this, nullptr);
    // A click beside a scroll bar's thumb moves it one large step, not to the click.
    g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);
    host_->watchForEnd([this] { endAtHostsRequest(); });
    host_->watchForCovers([this](GtkWidget* saver, GtkWidget* cover) { adoptCover(saver, cover); });
}

LinuxPlatform::~LinuxPlatform() {
    gdk_event_handler_set(
        +[](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    while (!creationOrder_.empty()) {
        destroyWindow(creationOrder_.back());
    }
}

// --- Events ----------------------------------------------------------------------------------

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
    if (host_->endsAt(*event)) {
        // The host is done with us: a locker's window is gone, and ours in it. GTK is not
        // told: it would free the form under the saver, which still closes it as it ends.
        endAtHostsRequest();
        return;
    }
    std::optional<platform::Message> message = TranslateEvent(*event);
    if (!message || ending_ || !host_->inputIsOurs()) {
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

void LinuxPlatform::endAtHostsRequest() {
    if (endRequested_) {
        return;
    }
    endRequested_ = true;
    if (endRequestHandler_) {
        // The saver's own way to end: it stops its media and unmutes.
        const std::function<void()> handler = endRequestHandler_;
        runHandler(handler);
    }
    quit();
}

// --- Loops -----------------------------------------------------------------------------------

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
    if (host_->logInsteadOfBox(title_, message)) {
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

// --- Timers, which keep firing in every nested loop ------------------------------------------

// A window timer is a GLib source of our own rather than a timeout: GLib never dispatches a
// timeout again while its callback runs, and a callback that shows a box runs the box's loop
// inside it, so that timer (the saver's clips, its sound) would stop until the box went.
// This one may run again inside its own callback, and takes its next due time before the
// callback runs, as a window timer fires inside every loop on the other platform.
gboolean LinuxPlatform::DispatchTick(GSource* source, GSourceFunc callback, gpointer timer) {
    const gint64 interval = static_cast<const Timer*>(timer)->intervalUs;
    g_source_set_ready_time(source, g_source_get_time(source) + interval);
    return callback(timer);
}

void LinuxPlatform::startTimer(Handle window, int timerId, int intervalMs,
                               std::function<void()> callback) {
    WindowData& data = windowData(window);
    stopTimer(window, timerId);
    const gint64 intervalUs = std::max(intervalMs, 0) * gint64{1000};
    auto timer = std::make_unique<Timer>(Timer{this, intervalUs, std::move(callback)});
    static GSourceFuncs ticks = {nullptr, nullptr, DispatchTick, nullptr, nullptr, nullptr};
    GSource* source = g_source_new(&ticks, sizeof(GSource));
    g_source_set_can_recurse(source, TRUE);
    g_source_set_ready_time(source, g_get_monotonic_time() + intervalUs);
    // GLib holds the callback while it runs: a callback that stops its own timer is safe.
    g_source_set_callback(
        source,
        +[](gpointer raw) -> gboolean {
            const Timer& timer = *static_cast<Timer*>(raw);
            const auto callback = timer.callback;  // it may stop its own timer
            timer.platform->runHandler(callback);
            return G_SOURCE_CONTINUE;
        },
        timer.release(), +[](gpointer raw) { std::unique_ptr<Timer>(static_cast<Timer*>(raw)); });
    data.timers[timerId] = g_source_attach(source, nullptr);
    g_source_unref(source);  // the context holds it until it is removed
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

}  // namespace morvel::linux_backend

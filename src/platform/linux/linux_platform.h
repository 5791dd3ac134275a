// The Linux backend: GTK 3 windows on X11, GLib timeouts, GStreamer and the ALSA mixer.
//
// Every form is a GtkWindow holding one GtkFixed; every control sits directly in it at its
// pixel place (a control in a group or panel is offset by its parents' places), as on the
// other real backend. A handle is the address of the form's or control's outer widget. All
// input passes one GDK event handler, which shows it to the application-wide handler as
// Win32 messages before GTK dispatches it; nested loops (modal forms, dialogs) run through
// the same handler, so it sees their input too. Where the saver's window goes, and whose
// input, cursor and boxes are there, its host says (linux_host.h).
//
// One file per service: linux_loop.cpp (events, loops, timers, the end), linux_windows.cpp
// (forms, covers, the screen and cursor), linux_controls.cpp and linux_signals.cpp (their
// handlers), linux_lists.cpp, linux_dialogs.cpp (boxes, choosers), linux_system.cpp
// (folders, files, clock, window search, shell, media), linux_power.cpp (UPower),
// linux_mixer.cpp; linux_host.cpp and linux_hack.cpp the hosts.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/linux_common.h"
#include "platform/linux/linux_host.h"
#include "platform/linux/linux_overlay.h"
#include "platform/linux/linux_power.h"
#include "platform/linux/linux_window_marker.h"
#include "platform/platform.h"

namespace morvel::linux_backend {

class LinuxPlatform final : public platform::Platform {
  public:
    // The saver's surroundings, chosen at start: its own screen or a locker's window.
    explicit LinuxPlatform(std::unique_ptr<Host> host);
    ~LinuxPlatform() override;
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    // --- Application (linux_loop.cpp) ----------------------------------------------------
    void setApplicationTitle(const std::string& title) override { title_ = title; }
    std::string applicationTitle() const override { return title_; }
    void setMessageHandler(MessageHandler handler) override { handler_ = std::move(handler); }
    void setEndRequestHandler(std::function<void()> handler) override {
        endRequestHandler_ = std::move(handler);
    }
    void runMessageLoop() override;
    void processMessages() override;
    void quit() override;
    [[noreturn]] void endProcessWithReport(const std::string& message) override;

    // --- Windows (linux_windows.cpp) -----------------------------------------------------
    Handle createWindow(const platform::WindowSpec& design) override;
    void destroyWindow(Handle window) override;
    void showWindow(Handle window, bool visible) override;
    void showModal(Handle window) override;
    bool closeWindow(Handle window) override;
    void setWindowColor(Handle window, platform::Color color) override;

    // --- Controls (linux_controls.cpp), lists and scroll bars (linux_lists.cpp) -----------
    Handle createControl(Handle window, const platform::ControlSpec& design) override;
    void setBounds(Handle control, platform::Rect bounds) override;
    platform::Rect bounds(Handle control) const override;
    void setCaption(Handle control, const std::string& caption) override;
    std::string caption(Handle control) const override;
    void setVisible(Handle control, bool visible) override;
    bool isVisible(Handle control) const override;
    void setEnabled(Handle control, bool enabled) override;
    bool isEnabled(Handle control) const override;
    void setFocus(Handle control) override;
    void setChecked(Handle control, bool checked) override;
    bool isChecked(Handle control) const override;
    void addItem(Handle list, const std::string& text) override;
    void deleteItem(Handle list, int index) override;
    void clearItems(Handle list) override;
    int itemCount(Handle list) const override;
    std::string itemText(Handle list, int index) const override;
    int selectedIndex(Handle list) const override;
    void setSelectedIndex(Handle list, int index) override;
    void setScrollRange(Handle bar, int minimum, int maximum) override;
    void setScrollPosition(Handle bar, int position) override;
    int scrollPosition(Handle bar) const override;

    // --- Timers (linux_loop.cpp) ---------------------------------------------------------
    void startTimer(Handle window, int timerId, int intervalMs,
                    std::function<void()> callback) override;
    void stopTimer(Handle window, int timerId) override;

    // --- Modal boxes and dialogs (linux_dialogs.cpp) -------------------------------------
    void messageBox(Handle owner, const std::string& caption, const std::string& text,
                    platform::MessageBoxKind kind) override;
    std::optional<std::string> openFileDialog(Handle owner,
                                              const platform::OpenFileRequest& request) override;
    std::optional<std::string> folderDialog(Handle owner, const std::string& title,
                                            const std::string& initialDirectory) override;

    // --- Screen and cursor (linux_windows.cpp) -------------------------------------------
    platform::Size screenSize() const override;
    std::vector<platform::Rect> monitors() const override;
    int firstMonitorIndex() const override;
    // X11 holds windows up to 32767 a side, but the video is drawn as frames of the panel's
    // size: at 16384 a side they take gigabytes, and from 2 GB a frame none is drawn at all.
    // At 8192 a frame is 256 MB, still eight times a 4K screen's width.
    platform::Size largestWindowSize() const override { return {8192, 8192}; }
    int showCursor(bool show) override;

    // --- Host, files, clock, shell (linux_system.cpp) ------------------------------------
    void setScreenSaverRunning(bool /*running*/) override {}  // no such flag on X11
    std::string windowsDirectory() override;
    std::string localAppDataDirectory() override { return {}; }
    std::string stateDirectory() override;
    // --- Power (linux_power.cpp) -----------------------------------------------------------
    bool onBattery() override;
    void setPowerSourceHandler(std::function<void()> handler) override;
    // The program asks nothing of the system to stay awake (no inhibitor, no hold on the X
    // screen saver or DPMS): a host that blanks a saver with nothing to show may do so.
    void releaseKeepAwake() override {}
    std::string systemDirectory() override { return {}; }
    char pathSeparator() const override { return '/'; }
    int platformId() override { return 2; }  // no password components to ask for
    bool fileExists(const std::string& path) override;
    std::vector<std::string> filesInFolder(const std::string& folder) override;
    std::uint32_t millisecondsSinceMidnight() override;
    std::string localTimeText() override;
    std::string localDateText() override;
    std::unique_ptr<platform::RegistryKey> openCurrentUserKey(const std::string&) override {
        return nullptr;  // no registry: every value is absent
    }
    std::unique_ptr<platform::Library> loadLibrary(const std::string&) override { return nullptr; }
    bool findWindow(const std::string& className, const std::string& caption) override;
    std::string codePageToUtf8(std::string_view text) override;
    std::intptr_t shellOpen(Handle parent, const std::string& target,
                            platform::ShowCommand show) override;

    // --- Mixer (linux_mixer.cpp) ---------------------------------------------------------
    std::uint32_t mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                std::uint32_t& lineId) override;
    std::uint32_t mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                   std::uint32_t controlType, std::uint32_t& controlId) override;
    std::uint32_t mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                  bool value) override;

    // --- Media (linux_system.cpp) --------------------------------------------------------
    std::unique_ptr<media::MediaEngine> createMediaEngine() override;
    // GStreamer's sinks draw as they do, whatever is asked.
    void preferRenderer(platform::Renderer /*renderer*/) override {}

  private:
    struct Timer;
    static gboolean DispatchTick(GSource* source, GSourceFunc callback, gpointer timer);
    struct WindowData {
        platform::WindowSpec design;
        GtkWidget* window = nullptr;
        GtkWidget* fixed = nullptr;
        GtkCssProvider* css = nullptr;  // its background; owned by the style context
        std::map<int, guint> timers;    // timer id -> GLib source
        GMainLoop* modalLoop = nullptr;
        bool modal = false;
        // A full-screen form's black windows over the other monitors, shown and hidden with
        // it and destroyed with it.
        std::vector<GtkWidget*> covers;
        std::unique_ptr<WindowMarker> marker;  // where no search can find the window
    };
    struct ControlData {
        platform::ControlSpec design;
        Handle window = 0;              // the form it belongs to
        GtkWidget* outer = nullptr;     // what sits in the form's GtkFixed
        GtkWidget* inner = nullptr;     // the widget that does the work (label, list, ...)
        GtkListStore* items = nullptr;  // list boxes
        GtkAdjustment* adjustment = nullptr;
        std::unique_ptr<Overlay> overlay;  // overlays: what draws it
        platform::Rect bounds;
        bool visible = true;
        bool enabled = true;
        int sequence = 0;
    };

    // Events: the one GDK handler, the forms' own keys and clicks, and the dialog keys.
    static void EventHandler(GdkEvent* event, gpointer self);
    void onEvent(GdkEvent* event);
    Handle handleOf(GdkWindow* window) const;
    Handle formOf(Handle handle) const;
    bool handleDialogKeys(Handle form, const GdkEventKey& key);
    void formKeyDown(WindowData& data, int virtualKey);
    void formMouseDown(WindowData& data, guint button, int x, int y);
    // The host is done with the saver: it ends as at a key, its media stopped and its end
    // mute applied, even inside a nested loop.
    void endAtHostsRequest();

    // Windows and controls.
    GtkWidget* makeDialogWindow(const platform::WindowSpec& design, GtkWidget* layout);
    // A cover the host made later for the form whose window is `saver`: shown, hidden and
    // destroyed with it from now on.
    void adoptCover(GtkWidget* saver, GtkWidget* cover);
    WindowData& windowData(Handle window) const;
    ControlData& controlData(Handle control) const;
    GtkWidget* makeControl(ControlData& data);
    // The controls' signals (linux_signals.cpp).
    struct SignalHook;
    static void Fire(const SignalHook& hook);
    void connect(gpointer instance, const char* signal, GCallback callback, Handle handle,
                 std::function<void()> platform::ControlSpec::*handler);
    void connectSignals(Handle handle, ControlData& data);
    void place(ControlData& data);
    bool effectiveVisible(const ControlData& data) const;
    bool effectiveEnabled(const ControlData& data) const;
    void applyFocusChain(WindowData& data);
    void followCursor(GtkWidget* window);
    void applyCursor(GtkWidget* window) const;

    // Boxes and choosers: GTK's own loop for each, which quit() ends as well, as a quit
    // message ends a box's loop on the other platform.
    gint runDialog(GtkWidget* dialog);
    std::optional<std::string> runChooser(GtkWidget* dialog);
    void runHandler(const std::function<void()>& handler);
    GtkWidget* radioGroupAnchor(Handle window, Handle parent);
    // Programmatic changes run no handler while the returned guard lives.
    [[nodiscard]] ScopedFlag quietly() { return ScopedFlag(quiet_); }

    std::unique_ptr<Host> host_;         // before the windows: released after them
    std::unique_ptr<PowerWatch> power_;  // from the first question about the power source
    bool endRequested_ = false;
    bool quitPending_ = false;  // a quit before the program's loop ends that loop at once

    std::string title_;
    MessageHandler handler_;
    std::function<void()> endRequestHandler_;
    bool ending_ = false;
    bool quiet_ = false;  // programmatic changes: no handler runs for them
    int cursorCount_ = 0;
    int nextSequence_ = 0;
    GMainLoop* mainLoop_ = nullptr;
    std::map<Handle, std::unique_ptr<WindowData>> windows_;
    std::map<Handle, std::unique_ptr<ControlData>> controls_;
    std::vector<Handle> creationOrder_;
    std::vector<GtkWidget*> runningDialogs_;  // innermost last
    // Per form and parent: a hidden radio button that holds the set's "none checked" state.
    std::map<std::pair<Handle, Handle>, GtkWidget*> radioAnchors_;
};

}  // namespace morvel::linux_backend

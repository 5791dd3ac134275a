// The Win32 backend: plain windows, standard controls, MCI and the wave mixer.
//
// Every form is a top-level window of its own registered class (WindowSpec::className), so
// other processes find a running saver by class and caption. Controls are standard child
// windows of their form, all direct children of it: a control placed in a group or a panel
// is offset by its parents' positions, which keeps every notification arriving at the form.
// Per-window and per-control state lives here, keyed by window handle; the form's handle
// also carries a pointer to its state (GWLP_USERDATA) for the window procedure.
//
// One class answers every service of the seam (platform/platform.h), its members defined in
// one file per service as named beside each group below; win32_platform.cpp holds what the
// backend sets up at its start and takes down at its end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/owned.h"

namespace morvel::win32 {

using platform::Handle;

class Win32Platform final : public platform::Platform {
  public:
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // --- Event loop (event_loop.h): win32_loop.cpp ---------------------------------------
    void setApplicationTitle(const std::string& title) override { title_ = title; }
    std::string applicationTitle() const override { return title_; }
    void setMessageHandler(MessageHandler handler) override;
    void runMessageLoop() override;
    void processMessages() override;
    void quit() override;
    [[noreturn]] void endProcessWithReport(const std::string& message) override;
    // The screen-saver host ends a saver by input, never by a request.
    void setEndRequestHandler(std::function<void()> handler) override {
        endRequestHandler_ = std::move(handler);
    }
    void startTimer(Handle window, int timerId, int intervalMs,
                    std::function<void()> callback) override;
    void stopTimer(Handle window, int timerId) override;

    // --- Windows (window_service.h): win32_windows.cpp -----------------------------------
    Handle createWindow(const platform::WindowSpec& design) override;
    void destroyWindow(Handle window) override;
    void showWindow(Handle window, bool visible) override;
    void showModal(Handle window) override;
    bool closeWindow(Handle window) override;
    void setWindowColor(Handle window, platform::Color color) override;

    // --- Controls (control_service.h): win32_controls.cpp, lists in win32_lists.cpp ------
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

    // The controls Tab visits in turn from the first one, as they stand now
    // (win32_keyboard.cpp).
    std::vector<Handle> tabStops(Handle window) const;

    // --- Dialogs (dialog_service.h): win32_dialogs.cpp -----------------------------------
    void messageBox(Handle owner, const std::string& caption, const std::string& text,
                    platform::MessageBoxKind kind) override;
    std::optional<std::string> openFileDialog(Handle owner,
                                              const platform::OpenFileRequest& request) override;
    std::optional<std::string> folderDialog(Handle owner, const std::string& title,
                                            const std::string& initialDirectory) override;

    // --- Screens (screen_service.h): win32_screens.cpp -----------------------------------
    platform::Size screenSize() const override;
    std::vector<platform::Rect> monitors() const override;
    int firstMonitorIndex() const override { return 0; }
    platform::Size largestWindowSize() const override { return {32767, 32767}; }
    int showCursor(bool show) override;

    // --- Host (host_service.h): win32_host.cpp -------------------------------------------
    void setScreenSaverRunning(bool running) override;
    int platformId() override;
    std::unique_ptr<platform::RegistryKey> openCurrentUserKey(const std::string& path) override;
    std::unique_ptr<platform::Library> loadLibrary(const std::string& path) override;
    bool findWindow(const std::string& className, const std::string& caption) override;

    // --- System (system_service.h): win32_system.cpp -------------------------------------
    std::string windowsDirectory() override;
    std::string localAppDataDirectory() override;
    std::string stateDirectory() override;
    std::string systemDirectory() override;
    char pathSeparator() const override { return '\\'; }
    bool fileExists(const std::string& path) override;
    std::vector<std::string> filesInFolder(const std::string& folder) override;
    std::uint32_t millisecondsSinceMidnight() override;
    std::string localTimeText() override;
    std::string localDateText() override;
    std::string codePageToUtf8(std::string_view text) override;
    std::intptr_t shellOpen(Handle parent, const std::string& target,
                            platform::ShowCommand show) override;

    // --- Power (power_service.h): win32_power.cpp -----------------------------------------
    bool onBattery() override;
    void setPowerSourceHandler(std::function<void()> handler) override;
    void releaseKeepAwake() override;

    // --- Mixer (mixer_service.h): win32_mixer.cpp ----------------------------------------
    std::uint32_t mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                std::uint32_t& lineId) override;
    std::uint32_t mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                   std::uint32_t controlType, std::uint32_t& controlId) override;
    std::uint32_t mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                  bool value) override;

    // --- Media (media_service.h): win32_platform.cpp -------------------------------------
    std::unique_ptr<media::MediaEngine> createMediaEngine() override;
    // Every panel's video follows it (d3d_panels.h).
    void preferRenderer(platform::Renderer renderer) override;

  private:
    struct WindowData {
        Win32Platform* platform = nullptr;
        platform::WindowSpec design;
        COLORREF color = 0;
        OwnedBrush brush;
        HWND tooltip = nullptr;  // owned by the window: destroyed with it
        std::map<int, std::function<void()>> timers;
        bool modal = false;
        HWND focus = nullptr;  // the control that gets the focus when the form is activated
        // A full-screen form's black windows over the other monitors, shown and hidden with
        // it and destroyed after it.
        std::vector<OwnedWindow> covers;
    };
    struct ControlData {
        platform::ControlSpec design;
        HWND window = nullptr;  // the form it belongs to
        platform::Rect bounds;  // within the parent, as the form sees it
        bool visible = true;    // its own flags; a hidden parent hides it as well
        bool enabled = true;
        OwnedBrush brush;  // its own background, when it has one
        OwnedIcon image;   // the picture a button shows beside its caption
        int scrollMin = 0;
        int scrollMax = 100;
        bool naturalWidth = false;  // sized to its caption
        bool naturalHeight = false;
        int sequence = 0;  // its place in the creation order, for the focus order
    };
    using FontKey = std::tuple<std::string, int, bool>;

    // Runs the body of a procedure the system calls (a window procedure, the message hook):
    // no exception may unwind through the system's code, so one that leaves the body ends
    // the process with the standard report.
    template <typename Body>
    decltype(auto) reportingExceptions(Body&& body);

    // The message loop and the hook that shows every removed message to the
    // application-wide handler (win32_loop.cpp).
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
    void installMessageHook();
    void removeMessageHook();
    void seeRemovedMessage(MSG& message);
    void dispatch(MSG& message);
    void onTimer(WindowData& data, int timerId);

    // Keys as in a dialog box, and the keyboard focus: the order of a form's controls
    // (ControlSpec::tabOrder, parents before what they hold) and the control the focus goes
    // to when the form becomes active (win32_keyboard.cpp).
    void previewKey(const MSG& message);
    bool handleDialogKeys(const MSG& message);
    bool moveAmongRadioButtons(HWND radio, bool backwards);
    std::vector<HWND> focusOrder(HWND form) const;
    bool canTakeFocus(HWND control) const;
    bool isTabStop(HWND control, const std::vector<HWND>& order) const;
    HWND nextTabStop(HWND form, HWND from, bool backwards) const;
    void moveFocus(HWND form, HWND control);
    bool restoreFocus(HWND form, WindowData& data);
    void rememberFocus(HWND form, WindowData& data);

    // Forms and the window procedures: the form's, one handler per message (the scroll bars'
    // in win32_lists.cpp) and the panel's (win32_windows.cpp), the group box's
    // (win32_group_box.cpp).
    static LRESULT CALLBACK FormProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GroupBoxProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR self);
    LRESULT handleFormMessage(HWND window, WindowData& data, UINT id, WPARAM wParam, LPARAM lParam);
    LRESULT handlePanelMessage(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    LRESULT eraseGroupBox(HWND group, HDC dc);
    void registerClass(const std::string& className);
    WindowData& windowData(Handle window) const;
    bool isMainWindow(HWND window) const;
    LRESULT onEraseBackground(HWND window, const WindowData& data, HDC dc);
    LRESULT onControlColor(HWND window, UINT id, HDC dc, HWND control);
    void onCommand(HWND control, WORD notification);
    void onHorizontalScroll(HWND bar, WORD request);
    void onClose(HWND window);
    void onPowerBroadcast(WPARAM event);
    void onKeyDown(const WindowData& data, WPARAM key);
    void onMouseDown(const WindowData& data, UINT id, LPARAM lParam);

    // Controls: the panel's window class, creation, placement, fonts, tooltips and the
    // colour behind a control (win32_controls.cpp).
    void registerPanelClass();
    void raiseOverlays(HWND form);
    ControlData& controlData(Handle control) const;
    ControlData* findControl(HWND control) const;
    HWND createControlWindow(HWND form, const platform::ControlSpec& design);
    POINT parentOrigin(const ControlData& control) const;
    void placeControl(HWND control);
    void applyVisibility(HWND control);
    bool effectiveVisible(const ControlData& control) const;
    bool effectiveEnabled(const ControlData& control) const;
    void fitNaturalSize(HWND control, ControlData& data);
    void applyImage(HWND control, ControlData& data);
    void addTooltip(WindowData& form, HWND formWindow, HWND control, const std::string& text);
    // The colour behind a control: its own, else that of the nearest group or panel around it
    // that has one, else its form's.
    const ControlData* colorSource(const ControlData& control) const;
    HBRUSH backgroundBrush(const ControlData& control) const;
    COLORREF backgroundColor(const ControlData& control) const;
    HFONT font(const platform::Font& font);
    std::vector<HWND> childrenOf(HWND parent) const;

    HINSTANCE instance_;
    std::string title_;
    MessageHandler handler_;
    std::function<void()> endRequestHandler_;
    OwnedHook hook_;
    bool ending_ = false;
    std::vector<std::string> registeredClasses_;
    std::map<HWND, std::unique_ptr<WindowData>> windows_;
    std::map<HWND, std::unique_ptr<ControlData>> controls_;
    std::vector<HWND> creationOrder_;  // top-level windows, oldest first
    std::map<FontKey, OwnedFont> fonts_;
    int nextSequence_ = 0;
    std::function<void()> powerSourceHandler_;
    bool lastOnBattery_ = false;  // the power source the handler last heard of
};

template <typename Body>
decltype(auto) Win32Platform::reportingExceptions(Body&& body) {
    try {
        return body();
    } catch (const std::exception& error) {
        endProcessWithReport(platform::errorReportText(error.what()));
    } catch (...) {
        endProcessWithReport("Unknown error");
    }
}

// The control's face colour as a COLORREF (win32_platform.cpp).
COLORREF ToColorRef(platform::Color color);

}  // namespace morvel::win32

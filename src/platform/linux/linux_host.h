// Where the saver runs: on a screen of its own, or in a window a screen locker lends it (the
// saver as the locker's hack). main() chooses one host at start, from the command line and
// the environment; the platform asks it what the saver's surroundings decide and never asks
// which one it is.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/linux_hack.h"
#include "platform/platform.h"

namespace morvel::linux_backend {

// A window's background black: the covers over the monitors the saver does not play on.
void PaintBlack(GtkWidget* window);

// Runs `end` on the user-interface thread at SIGTERM or an interrupt, from start until it goes:
// the saver then ends as after a key, its end mute applied.
class TerminationWatch {
  public:
    TerminationWatch() = default;
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;
    void start(std::function<void()> end);

  private:
    std::function<void()> end_;
    std::vector<guint> sources_;
};

class Host {
  public:
    virtual ~Host() = default;

    // The saver's full-screen window with `layout` (the form's GtkFixed) in it, placed and
    // sized; black covers of the other monitors, where the host wants them, are added to
    // `covers`. Called by createWindow for a FullScreenTopmost or FullScreenEveryMonitor
    // form, which then owns both.
    virtual GtkWidget* makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                                       std::vector<GtkWidget*>& covers) = 0;
    // What the platform reports as the screen's size.
    virtual platform::Size screenSize() const = 0;
    // What the platform reports as the monitors: the primary first, never none.
    virtual std::vector<platform::Rect> monitors() const = 0;
    // Where the first of those lies among every monitor present (ScreenService's).
    virtual int firstMonitorIndex() const = 0;
    // Input to our windows is the program's, and reaches the application-wide handler. A
    // locker's input is its own: a key there unlocks the screen, it does not end the saver.
    virtual bool inputIsOurs() const = 0;
    // The cursor over our windows is ours to hide and show.
    virtual bool cursorIsOurs() const = 0;
    // A box nobody could answer goes to the log instead: true when this one did, and the
    // platform shows nothing.
    virtual bool logInsteadOfBox(const std::string& caption, const std::string& text) = 0;
    // `end` runs, on the user-interface thread, when the host is done with the saver. Set
    // once, by the platform as it starts.
    virtual void watchForEnd(std::function<void()> end) = 0;
    // The event is the host's word that it is done with the saver.
    virtual bool endsAt(const GdkEvent& event) const = 0;
    // The layout a form's `control` at `bounds` (the form's coordinates) sits in: the form's
    // own, or one of the host's windows, `bounds` then made that layout's. Where the control
    // lies over other windows of the host too, the host shows it there as well.
    virtual GtkWidget* layoutFor(GtkWidget* formLayout, GtkWidget* /*control*/,
                                 platform::Rect& /*bounds*/) {
        return formLayout;
    }
    // `adopt` takes each cover the host makes while the saver runs (over a monitor that came
    // after it started), with the saver's window it belongs to. Set once, by the platform.
    virtual void watchForCovers(std::function<void(GtkWidget* saver, GtkWidget* cover)>) {}
    // A box about to be shown, not yet realized, is made to come up over the saver's windows.
    virtual void raiseBox(GtkWidget* /*box*/) {}
};

// The saver on its own: its window over the primary monitor and black covers over the
// others, or one window over every monitor; input, cursor and boxes its own; it ends by input,
// or at SIGTERM as by a key (an idle daemon's resume command ends it so).
class OwnScreenHost final : public Host {
  public:
    GtkWidget* makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                               std::vector<GtkWidget*>& covers) override;
    platform::Size screenSize() const override;
    std::vector<platform::Rect> monitors() const override;
    int firstMonitorIndex() const override { return 0; }
    bool inputIsOurs() const override { return true; }
    bool cursorIsOurs() const override { return true; }
    bool logInsteadOfBox(const std::string&, const std::string&) override { return false; }
    void watchForEnd(std::function<void()> end) override { termination_.start(std::move(end)); }
    bool endsAt(const GdkEvent&) const override { return false; }

  private:
    TerminationWatch termination_;
};

// The saver in a locker's window (linux_hack.cpp): drawn over all of it, whatever the form's
// style, and that window is its only monitor; the input, the cursor and the other monitors
// are the locker's (it starts a hack of its own for each). A box goes to the locker's log. It
// ends at SIGTERM (or an interrupt) or when the window goes.
class LockerWindowHost final : public Host {
    struct Key {
        explicit Key() = default;
    };

  public:
    // The window with X id `window`, or the screen's root for 0; nothing when the display
    // has no such window.
    static std::unique_ptr<LockerWindowHost> Open(unsigned long window);
    LockerWindowHost(Key, GdkWindow* window, bool foreign);
    ~LockerWindowHost() override;
    LockerWindowHost(const LockerWindowHost&) = delete;
    LockerWindowHost& operator=(const LockerWindowHost&) = delete;

    GtkWidget* makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                               std::vector<GtkWidget*>& covers) override;
    platform::Size screenSize() const override;
    std::vector<platform::Rect> monitors() const override;
    int firstMonitorIndex() const override;
    bool inputIsOurs() const override { return false; }
    bool cursorIsOurs() const override { return false; }
    bool logInsteadOfBox(const std::string& caption, const std::string& text) override;
    void watchForEnd(std::function<void()> end) override;
    bool endsAt(const GdkEvent& event) const override;

  private:
    struct Unref {
        void operator()(GdkWindow* window) const { g_object_unref(window); }
    };
    void embed(GtkWidget* window) const;

    GdkWindow* window_;
    std::unique_ptr<GdkWindow, Unref> foreign_;  // ours to release; the root is the screen's
    TerminationWatch termination_;
};

// The host a request names: the locker's window for a hack, else the saver's own screen.
// Nothing when the locker's window is not on the display.
std::unique_ptr<Host> HostFor(const HackRequest& request);

}  // namespace morvel::linux_backend

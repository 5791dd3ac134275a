// The saver on a Wayland compositor that offers the layer shell (wlroots' compositors, KDE):
// a layer surface on the overlay layer over each output, above every window and panel, with
// the keyboard to itself. On X11, and on a Wayland compositor without the layer shell, the
// saver keeps its own screen's windows (linux_host.cpp).
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "platform/linux/linux_host.h"

namespace morvel::linux_backend {

// The GDK backends the program may open. GDK_BACKEND (`requested`) decides where it is set:
// Wayland first when it asks for Wayland, else X11 alone. Unset, Wayland first where the
// compositor offers the layer shell (`layerShellOffered`), so that an idle daemon's `morvel /s`
// covers every output natively; elsewhere (a compositor without it, such as GNOME's, or no
// Wayland at all) X11, through the compositor's X server where there is one.
const char* AllowedBackends(const char* requested, bool layerShellOffered);

// Whether the compositor at WAYLAND_DISPLAY offers the layer shell: asked on a connection of
// its own before GDK opens any display; false where no compositor answers.
bool CompositorOffersLayerShell();

// GDK's display is a Wayland connection.
bool OnWaylandDisplay();
// ... and its compositor offers the layer shell.
bool LayerShellAvailable();

// The form's surface over the primary monitor, black ones over the others, each on its own
// output: a layer surface is sized by its output, never placed by hand.
class LayerShellHost final : public Host {
  public:
    GtkWidget* makeSaverWindow(const platform::WindowSpec& design, GtkWidget* layout,
                               std::vector<GtkWidget*>& covers) override;
    platform::Size screenSize() const override { return screen_.screenSize(); }
    std::vector<platform::Rect> monitors() const override { return screen_.monitors(); }
    int firstMonitorIndex() const override { return 0; }
    bool inputIsOurs() const override { return true; }
    bool cursorIsOurs() const override { return true; }
    bool logInsteadOfBox(const std::string&, const std::string&) override { return false; }
    // The idle daemon that started it may end it with SIGTERM when the user comes back.
    void watchForEnd(std::function<void()> end) override { termination_.start(std::move(end)); }
    bool endsAt(const GdkEvent&) const override { return false; }
    // A form over every monitor puts each control on the output its corner is on, and a
    // view of it on every other output it lies over.
    GtkWidget* layoutFor(GtkWidget* formLayout, GtkWidget* control,
                         platform::Rect& bounds) override;
    void watchForCovers(std::function<void(GtkWidget*, GtkWidget*)> adopt) override {
        adopt_ = std::move(adopt);
    }
    // Over the saver's surfaces a window is a layer surface too, centred on the primary.
    void raiseBox(GtkWidget* box) override;

  private:
    void stackSaver(int layer);  // a GtkLayerShellLayer
    void forgetSaver();
    void coverNewMonitor(GdkMonitor* monitor);
    struct Output {
        platform::Rect area;
        GtkWidget* layout;  // owned by its window
    };
    // Where a control lies on outputs other than its own: a drawing area on each, which
    // paints the control's part there.
    struct View {
        GtkWidget* area;  // owned by the output's layout
        int left;         // the view's corner in the control's coordinates
        int top;
    };
    struct Views {
        GtkWidget* control = nullptr;
        std::vector<View> views;
        bool drawing = false;  // a view is drawing the control: the control's draw is its
    };
    void spread(GtkWidget* control, const platform::Rect& at, const Output& home);
    static void DestroyViews(Views& views);
    static gboolean DrawView(GtkWidget* area, cairo_t* cairo, gpointer views);
    std::map<GtkWidget*, Views> views_;  // by control; a node of each is its signals' data
    std::function<void(GtkWidget*, GtkWidget*)> adopt_;
    unsigned long monitorAdded_ = 0;
    GtkWidget* saver_ = nullptr;  // the saver's window, while it is there
    OwnScreenHost screen_;        // the monitors, as GDK reports the outputs
    TerminationWatch termination_;
    // A form over every monitor: its layout, where its coordinates start, and the outputs'.
    GtkWidget* spanningLayout_ = nullptr;
    int spanningLeft_ = 0;
    int spanningTop_ = 0;
    std::vector<Output> outputs_;
};

}  // namespace morvel::linux_backend

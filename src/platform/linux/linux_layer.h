// The saver on a Wayland compositor that offers the layer shell (wlroots' compositors, KDE):
// a layer surface on the overlay layer over each output, above every window and panel, with
// the keyboard to itself. On X11, and on a Wayland compositor without the layer shell, the
// saver keeps its own screen's windows (linux_host.cpp).
#pragma once

#include <gtk/gtk.h>

#include <string_view>
#include <vector>

#include "platform/linux/linux_host.h"

namespace morvel::linux_backend {

// The GDK backends the program may open: X11 only, unless GDK_BACKEND (`requested`) asks for
// Wayland first, as long as the video draws into X windows only.
const char* AllowedBackends(const char* requested);

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
    void watchForEnd(std::function<void()>) override {}
    bool endsAt(const GdkEvent&) const override { return false; }
    // A form over every monitor puts each control on the output its corner is on.
    GtkWidget* layoutFor(GtkWidget* formLayout, platform::Rect& bounds) const override;
    // Over the saver's surfaces a window is a layer surface too, centred on the primary.
    void raiseBox(GtkWidget* box) override;

  private:
    void stackSaver(int layer);  // a GtkLayerShellLayer
    struct Output {
        platform::Rect area;
        GtkWidget* layout;  // owned by its window
    };
    OwnScreenHost screen_;  // the monitors, as GDK reports the outputs
    // A form over every monitor: its layout, where its coordinates start, and the outputs'.
    GtkWidget* spanningLayout_ = nullptr;
    int spanningLeft_ = 0;
    int spanningTop_ = 0;
    std::vector<Output> outputs_;
};

}  // namespace morvel::linux_backend

// The overlay control: text over the video of a form, white (the font's colour) with a dark
// rim around each letter, taking no input. On X the server draws it in a window of its own;
// where the form is no X window (Wayland) GTK paints it over the panels.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/types.h"

struct _XDisplay;  // Xlib's Display, which this header leaves out with its macros

namespace morvel::linux_backend {

class Overlay {
  public:
    virtual ~Overlay() = default;
    // Within the form's client area; the text is right-aligned at its bottom.
    virtual void setBounds(platform::Rect bounds) = 0;
    virtual void setText(const std::string& text) = 0;
    virtual void setVisible(bool visible) = 0;
    // What the control puts in its form's layout.
    virtual GtkWidget* widget() = 0;
};

// The overlay for a control of `form` (its GtkWindow) in `font` (face, pixel height, weight
// and colour).
std::unique_ptr<Overlay> MakeOverlay(GtkWidget* form, const platform::Font& font);

// The text's picture, drawn into a `width` x `height` surface: the rim dark, the letters in
// the font's colour, at the bottom, right-aligned. `shape` draws both opaque white, for a
// mask of it.
void DrawOverlayText(cairo_t* cairo, const platform::Font& font, const std::string& text, int width,
                     int height, bool shape);

// A window of its own, a child of the form's X window, cut to the shape of its text (with a
// dark rim around each letter) and taking no input: a key or click on it reaches the window
// under it. Its picture is its background, so the server paints it whenever it is uncovered,
// and it never waits for us; the sinks draw into windows below it, which it clips. It keeps
// itself above its siblings (the panels' windows, made and restacked by GDK as clips change)
// by watching them on an X connection of its own, which also owns the window: closing the
// connection takes the window, even after the form's window has gone.
class TextOverlay final : public Overlay {
  public:
    // `form`: the form's GtkWindow, an X one.
    TextOverlay(GtkWidget* form, const platform::Font& font);
    ~TextOverlay() override;
    TextOverlay(const TextOverlay&) = delete;
    TextOverlay& operator=(const TextOverlay&) = delete;

    void setBounds(platform::Rect bounds) override;
    void setText(const std::string& text) override;
    void setVisible(bool visible) override;
    // A widget without a window of its own: it holds the control's place and draws nothing.
    GtkWidget* widget() override { return gtk_label_new(nullptr); }

  private:
    struct Connection {
        void operator()(::_XDisplay* display) const;
    };
    void draw();
    void raise();
    void takeEvents();

    std::unique_ptr<::_XDisplay, Connection> display_;
    platform::Font font_;
    unsigned long parent_ = 0;
    unsigned long window_ = 0;
    unsigned long picture_ = 0;  // the window's background
    unsigned watch_ = 0;         // the GLib source of the connection's events
    platform::Rect bounds_{0, 0, 1, 1};
    std::string text_;
    bool visible_ = false;
};

// Where the form is no X window: a drawing area among the form's controls, above the panels'
// windows (it raises its own as it maps), painting the text over what they painted, its
// input passed to the window under it.
class PaintedOverlay final : public Overlay {
  public:
    explicit PaintedOverlay(const platform::Font& font);
    ~PaintedOverlay() override;
    PaintedOverlay(const PaintedOverlay&) = delete;
    PaintedOverlay& operator=(const PaintedOverlay&) = delete;

    void setBounds(platform::Rect bounds) override;
    void setText(const std::string& text) override;
    void setVisible(bool) override {}  // the control's widget is shown and hidden
    GtkWidget* widget() override { return area_; }

  private:
    platform::Font font_;
    std::string text_;
    platform::Rect bounds_{0, 0, 0, 0};
    GtkWidget* area_;  // a reference of ours, so that it outlives its removal from a layout
};

}  // namespace morvel::linux_backend

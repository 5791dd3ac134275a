// The overlay control on X: text over the video of a form, drawn by the X server itself.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/types.h"

struct _XDisplay;  // Xlib's Display, which this header leaves out with its macros

namespace morvel::linux_backend {

// A window of its own, a child of the form's X window, cut to the shape of its text (with a
// dark rim around each letter) and taking no input: a key or click on it reaches the window
// under it. Its picture is its background, so the server paints it whenever it is uncovered,
// and it never waits for us; the sinks draw into windows below it, which it clips. It keeps
// itself above its siblings (the panels' windows, made and restacked by GDK as clips change)
// by watching them on an X connection of its own, which also owns the window: closing the
// connection takes the window, even after the form's window has gone.
class TextOverlay {
  public:
    // `form`: the form's GtkWindow; `font`: its face, pixel height, weight and colour.
    TextOverlay(GtkWidget* form, const platform::Font& font);
    ~TextOverlay();
    TextOverlay(const TextOverlay&) = delete;
    TextOverlay& operator=(const TextOverlay&) = delete;

    // Within the form's client area; the text is right-aligned at its bottom.
    void setBounds(platform::Rect bounds);
    void setText(const std::string& text);
    void setVisible(bool visible);

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

}  // namespace morvel::linux_backend

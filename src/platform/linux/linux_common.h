// Small helpers the backend's files share: handles, colours, fonts, monitors, window names
// and the scoped flag that keeps programmatic changes quiet.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace morvel::linux_backend {

using platform::Handle;

// A form's or control's handle: the address of its outer widget.
inline Handle ToHandle(GtkWidget* widget) {
    return reinterpret_cast<Handle>(widget);
}

// "#rrggbb", as GTK's styles read a colour.
std::string HexColor(platform::Color color);
// The faces the forms name, by the metric-compatible fonts a Linux desktop has.
std::string FontFamily(const std::string& face);

// The primary monitor, or the first when none is marked primary.
GdkMonitor* PrimaryMonitor();
// A monitor's place and size on the screen; empty for none.
GdkRectangle MonitorArea(GdkMonitor* monitor);
// The monitors in the order the seam gives them: the primary, then the others from left to
// right, top to bottom where two share a left edge.
std::vector<platform::Rect> PrimaryThenLeftToRight(const platform::Rect& primary,
                                                   std::vector<platform::Rect> others);
// The place in `monitors` of the first that holds the point; 0 (the primary) for none.
int MonitorIndexAt(const std::vector<platform::Rect>& monitors, int x, int y);

// Other processes find a running saver by its window's X class and title.
void NameWindow(GtkWidget* window, const platform::WindowSpec& design);

// With MORVEL_TRACE_BOXES set, a box's caption and text go to stderr as one line,
// "box: CAPTION: TEXT" (newlines and backslashes escaped), for scripts that cannot read
// the screen's text.
void TraceBox(const std::string& caption, const std::string& text);

// Raises a flag for the life of a scope and puts back what it was when the scope ends, by
// an exception too; nested ones undo in turn.
class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
    ~ScopedFlag() { flag_ = previous_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

  private:
    bool& flag_;
    bool previous_;
};

}  // namespace morvel::linux_backend

#include "platform/linux/linux_overlay.h"

// Before Xlib, whose None the seam's headers would meet.
#include "platform/linux/linux_common.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>

#include <algorithm>
#include <set>

namespace morvel::linux_backend {

namespace {

// The overlays' windows: one raising itself must not make the others raise themselves.
std::set<Window>& OverlayWindows() {
    static std::set<Window> windows;
    return windows;
}

}  // namespace

std::unique_ptr<Overlay> MakeOverlay(GtkWidget* form, const platform::Font& font) {
    gtk_widget_realize(form);
    GdkWindow* native = gtk_widget_get_window(form);
    if (native != nullptr && GDK_IS_X11_WINDOW(native)) {
        return std::make_unique<TextOverlay>(form, font);
    }
    return std::make_unique<PaintedOverlay>(font);
}

void TextOverlay::Connection::operator()(::_XDisplay* display) const {
    XCloseDisplay(display);
}

TextOverlay::TextOverlay(GtkWidget* form, const platform::Font& font) : font_(font) {
    gtk_widget_realize(form);
    GdkWindow* native = gtk_widget_get_window(form);
    if (native == nullptr || !GDK_IS_X11_WINDOW(native)) {
        return;
    }
    display_.reset(XOpenDisplay(DisplayString(GDK_WINDOW_XDISPLAY(native))));
    if (!display_) {
        return;
    }
    Display* display = display_.get();
    parent_ = gdk_x11_window_get_xid(native);
    XWindowAttributes parent{};
    XGetWindowAttributes(display, parent_, &parent);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    window_ = XCreateWindow(display, parent_, 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWOverrideRedirect, &attributes);
    OverlayWindows().insert(window_);
    // No input anywhere: every key and click goes to the window under it.
    XShapeCombineRectangles(display, window_, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    XSelectInput(display, parent_, SubstructureNotifyMask);
    XFlush(display);
    watch_ = g_unix_fd_add(
        ConnectionNumber(display), G_IO_IN,
        +[](gint, GIOCondition, gpointer self) -> gboolean {
            static_cast<TextOverlay*>(self)->takeEvents();
            return G_SOURCE_CONTINUE;
        },
        this);
}

TextOverlay::~TextOverlay() {
    if (watch_ != 0) {
        g_source_remove(watch_);
    }
    OverlayWindows().erase(window_);
    if (display_ && picture_ != 0) {
        XFreePixmap(display_.get(), picture_);
    }
}

void TextOverlay::setBounds(platform::Rect bounds) {
    bounds.width = std::max(bounds.width, 1);
    bounds.height = std::max(bounds.height, 1);
    if (bounds == bounds_) {
        return;
    }
    bounds_ = bounds;
    draw();
}

void TextOverlay::setText(const std::string& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    draw();
}

void TextOverlay::setVisible(bool visible) {
    visible_ = visible;
    if (!display_) {
        return;
    }
    if (visible) {
        XMapRaised(display_.get(), window_);
    } else {
        XUnmapWindow(display_.get(), window_);
    }
    XFlush(display_.get());
}

// The picture (the rim dark, the letters in the font's colour) becomes the background, and
// the window's shape is the rim's outline: nothing of it but the text covers the video.
void TextOverlay::draw() {
    if (!display_) {
        return;
    }
    Display* display = display_.get();
    const int width = bounds_.width;
    const int height = bounds_.height;
    XWindowAttributes own{};
    XGetWindowAttributes(display, window_, &own);
    const Pixmap picture =
        XCreatePixmap(display, window_, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned>(own.depth));
    cairo_surface_t* surface =
        cairo_xlib_surface_create(display, picture, own.visual, width, height);
    cairo_t* cairo = cairo_create(surface);
    cairo_set_source_rgb(cairo, 0, 0, 0);
    cairo_paint(cairo);
    DrawOverlayText(cairo, font_, text_, width, height, false);
    cairo_destroy(cairo);
    cairo_surface_destroy(surface);

    const Pixmap mask = XCreatePixmap(display, window_, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 1);
    cairo_surface_t* bits = cairo_xlib_surface_create_for_bitmap(
        display, mask, DefaultScreenOfDisplay(display), width, height);
    cairo_t* shape = cairo_create(bits);
    cairo_set_operator(shape, CAIRO_OPERATOR_CLEAR);
    cairo_paint(shape);
    cairo_set_operator(shape, CAIRO_OPERATOR_SOURCE);
    DrawOverlayText(shape, font_, text_, width, height, true);
    cairo_destroy(shape);
    cairo_surface_destroy(bits);

    XMoveResizeWindow(display, window_, bounds_.left, bounds_.top, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    XShapeCombineMask(display, window_, ShapeBounding, 0, 0, mask, ShapeSet);
    XFreePixmap(display, mask);
    XSetWindowBackgroundPixmap(display, window_, picture);
    if (picture_ != 0) {
        XFreePixmap(display, picture_);
    }
    picture_ = picture;
    XClearWindow(display, window_);
    if (visible_) {
        XRaiseWindow(display, window_);
    }
    XFlush(display);
    takeEvents();  // those read meanwhile would not wake the watch
}

void TextOverlay::raise() {
    if (visible_) {
        XRaiseWindow(display_.get(), window_);
    }
}

// A sibling made, shown, moved or restacked may now lie above: the overlay goes back on top.
void TextOverlay::takeEvents() {
    Display* display = display_.get();
    bool moved = false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        Window about = 0;
        switch (event.type) {
            case CreateNotify:
                about = event.xcreatewindow.window;
                break;
            case MapNotify:
                about = event.xmap.window;
                break;
            case ConfigureNotify:
                about = event.xconfigure.window;
                break;
            case ReparentNotify:
                about = event.xreparent.window;
                break;
            default:
                break;
        }
        moved = moved || (about != 0 && OverlayWindows().count(about) == 0);
    }
    if (moved) {
        raise();
        XFlush(display);
    }
}

}  // namespace morvel::linux_backend

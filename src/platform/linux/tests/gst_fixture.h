// The fixture of the GStreamer engine's tests: GStreamer and GTK on the X display (every test
// skips without one), and a folder of the test's own for its clips.
#pragma once

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace morvel::linux_backend {

// The colour on the screen at a point of the window's client area, as 0xRRGGBB.
inline unsigned long ScreenColourAt(GtkWidget* window, int x, int y) {
    GdkWindow* native = gtk_widget_get_window(window);
    int left = 0;
    int top = 0;
    gdk_window_get_origin(native, &left, &top);
    gdk_display_sync(gdk_window_get_display(native));
    GdkPixbuf* pixel =
        gdk_pixbuf_get_from_window(gdk_get_default_root_window(), left + x, top + y, 1, 1);
    if (pixel == nullptr) {
        return 0;
    }
    const guchar* rgb = gdk_pixbuf_read_pixels(pixel);
    const unsigned long colour = (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
    g_object_unref(pixel);
    return colour;
}

class GstDisplayTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        gdk_set_allowed_backends("x11");
        hasDisplay_ = gtk_init_check(nullptr, nullptr);
    }
    // `name`: the folder's, told apart by the process.
    void makeFolder(const std::string& name) {
        dir_ =
            std::filesystem::path(::testing::TempDir()) / (name + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    inline static bool hasDisplay_ = false;
    std::filesystem::path dir_;
};

}  // namespace morvel::linux_backend

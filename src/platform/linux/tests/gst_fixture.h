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

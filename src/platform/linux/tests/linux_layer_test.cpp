// The choice between the X11 saver and the Wayland layer surfaces: without a Wayland display,
// or without a request for one, the X11 program runs as it always has.
#include <gtest/gtest.h>

#include <memory>

#include "platform/linux/linux_layer.h"

namespace morvel::linux_backend {
namespace {

// GDK_BACKEND wins where it is set; unset, the layer shell decides.
TEST(LinuxBackendChoiceTest, WaylandOpensWhereAskedForOrWhereTheLayerShellIsOffered) {
    for (const bool offered : {false, true}) {
        EXPECT_STREQ(AllowedBackends(nullptr, offered), offered ? "wayland,x11" : "x11");
        EXPECT_STREQ(AllowedBackends("", offered), offered ? "wayland,x11" : "x11");
        EXPECT_STREQ(AllowedBackends("x11", offered), "x11");
        EXPECT_STREQ(AllowedBackends("x11,wayland", offered), "x11");
        EXPECT_STREQ(AllowedBackends("wayland", offered), "wayland,x11");
    }
}

TEST(LinuxBackendChoiceTest, OnAnXDisplayTheSaverKeepsItsOwnScreensWindows) {
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) {
        GTEST_SKIP() << "no X display";
    }
    EXPECT_FALSE(OnWaylandDisplay());
    EXPECT_FALSE(LayerShellAvailable());
    const std::unique_ptr<Host> host = HostFor(HackRequest{});
    EXPECT_NE(dynamic_cast<OwnScreenHost*>(host.get()), nullptr);
}

}  // namespace
}  // namespace morvel::linux_backend

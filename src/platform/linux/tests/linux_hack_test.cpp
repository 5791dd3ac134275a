// How the program learns it runs as a locker's hack, and in which window: a wrong answer is
// a saver that opens its own window over the locker's, or draws nowhere.
#include <gtest/gtest.h>

#include "platform/linux/linux_hack.h"

namespace morvel::linux_backend {
namespace {

using Args = std::vector<std::string>;

TEST(LinuxHack, TheLockersWindowComesFromTheSwitchOrTheEnvironment) {
    EXPECT_FALSE(ReadHackRequest({"/s"}, nullptr).hack);
    EXPECT_FALSE(ReadHackRequest({}, nullptr).hack);
    EXPECT_FALSE(ReadHackRequest({}, "").hack);
    // Our own switches win over a locker's window left in the environment.
    EXPECT_FALSE(ReadHackRequest({"/c"}, "0x1c00007").hack);

    const HackRequest root = ReadHackRequest({"-root"}, nullptr);
    EXPECT_TRUE(root.hack);
    EXPECT_EQ(root.window, 0u);
    EXPECT_EQ(ReadHackRequest({"--root"}, "0x1c00007").window, 0x1c00007u);
    EXPECT_EQ(ReadHackRequest({}, "29360135").window, 29360135u);
    EXPECT_EQ(ReadHackRequest({"-window-id", "0x2A00004"}, "0x1c00007").window, 0x2a00004u);
    EXPECT_EQ(ReadHackRequest({"/s", "--window-id", "1234"}, nullptr).window, 1234u);
}

TEST(LinuxHack, AWindowIdThatIsNoneIsAnErrorNotTheRoot) {
    for (const Args& arguments :
         {Args{"-window-id"}, Args{"-window-id", "0"}, Args{"-window-id", "12ab"},
          Args{"-window-id", "-5"}, Args{"-window-id", "0x"}, Args{"-window-id", ""}}) {
        const HackRequest request = ReadHackRequest(arguments, nullptr);
        EXPECT_TRUE(request.hack);
        EXPECT_FALSE(request.error.empty()) << arguments.back();
    }
    EXPECT_FALSE(ReadHackRequest({"-root"}, "window").error.empty());
    EXPECT_FALSE(ReadHackRequest({"-window-id", "99999999999999999999999"}, nullptr).error.empty());
}

}  // namespace
}  // namespace morvel::linux_backend

// The simulator itself, where it models what Win32 does and the forms rely on: clicks the
// application-wide handler swallows, owners disabled by their modal windows, unknown handles.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <utility>

#include "platform/headless/headless_platform.h"

namespace morvel::testing {
namespace {

using headless::HeadlessPlatform;
using platform::Handle;
using platform::Message;
namespace msg = platform::msg;

// Plays the test's part when the backend's loop is idle: one step per turn; with no step left
// the backend has waited where it should not.
class StepDriver final : public headless::Driver {
  public:
    std::vector<std::function<void()>> steps;
    void waitForTurn() override {
        if (next_ >= steps.size()) {
            throw std::logic_error("the loop waited with nothing left to do");
        }
        steps[next_++]();
    }

  private:
    std::size_t next_ = 0;
};

class HeadlessTest : public ::testing::Test {
  protected:
    StepDriver driver;
    HeadlessPlatform os{driver};
    int clicks = 0;

    Handle form(Handle owner = 0) {
        platform::WindowSpec design;
        design.className = "TFormTest";
        design.clientSize = {200, 100};
        design.owner = owner;
        const Handle window = os.createWindow(design);
        os.showWindow(window, true);
        return window;
    }
    Handle button(Handle window) {
        platform::ControlSpec design;
        design.kind = platform::ControlKind::Button;
        design.name = "Button1";
        design.bounds = {10, 10, 80, 20};
        design.onClick = [this] { ++clicks; };
        return os.createControl(window, design);
    }
    void click(Handle control) {
        os.enqueue(Message{control, msg::kLButtonDown, 1, 0});
        os.enqueue(Message{control, msg::kLButtonUp, 0, 0});
        os.processMessages();
    }
};

TEST_F(HeadlessTest, AClickActsOnlyWhenNothingSwallowedItAndTheUserCanReachTheControl) {
    const Handle ok = button(form());
    click(ok);
    EXPECT_EQ(clicks, 1);

    os.setMessageHandler(
        [](const Message& message, bool& handled) { handled = message.id == msg::kLButtonUp; });
    click(ok);
    EXPECT_EQ(clicks, 1) << "the handler swallowed the button's release";
    os.setMessageHandler(nullptr);

    os.setEnabled(ok, false);
    click(ok);
    os.setEnabled(ok, true);
    os.setVisible(ok, false);
    click(ok);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(os.misuse.empty());
}

TEST_F(HeadlessTest, AModalWindowDisablesItsOwnerUntilItCloses) {
    const Handle owner = form();
    const Handle ownersButton = button(owner);
    const Handle modal = form(owner);
    driver.steps.push_back([&] {
        EXPECT_FALSE(os.windowByHandle(owner)->enabled);
        EXPECT_EQ(os.activeWindow(), modal);
        click(ownersButton);
        os.enqueueAction([&] { os.closeWindow(modal); });
    });
    os.showModal(modal);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(os.windowByHandle(owner)->enabled);
    click(ownersButton);
    EXPECT_EQ(clicks, 1);
}

TEST_F(HeadlessTest, UnknownHandlesThrowAndAreRecorded) {
    const Handle window = form();
    const Handle gone = button(window);
    os.destroyWindow(window);
    EXPECT_THROW(os.bounds(gone), std::invalid_argument);
    EXPECT_THROW(os.setCaption(gone, "x"), std::invalid_argument);
    EXPECT_THROW(os.showWindow(window, true), std::invalid_argument);
    EXPECT_THROW(os.startTimer(window, 1, 10, [] {}), std::invalid_argument);
    EXPECT_THROW(os.destroyWindow(window), std::invalid_argument);
    EXPECT_EQ(os.misuse.size(), 5u);
}

}  // namespace
}  // namespace morvel::testing

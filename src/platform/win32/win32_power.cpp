// The power source and what the program holds awake (platform/power_service.h). The system
// tells every top-level window of a change of the power source (WM_POWERBROADCAST), the
// forms included; the form's procedure hands it here.
#include "platform/win32/win32_platform.h"

namespace morvel::win32 {

namespace {

// The system's word on the power source: only a battery it is sure of counts (255: unknown,
// as on a machine without one, is mains).
bool SystemOnBattery() {
    SYSTEM_POWER_STATUS status{};
    return GetSystemPowerStatus(&status) != FALSE && status.ACLineStatus == 0;
}

}  // namespace

bool Win32Platform::onBattery() {
    return SystemOnBattery();
}

void Win32Platform::setPowerSourceHandler(std::function<void()> handler) {
    powerSourceHandler_ = std::move(handler);
    lastOnBattery_ = SystemOnBattery();
}

// Every form hears each broadcast, and a change of the battery's charge is one too: the
// handler runs once, and only when the source itself changed.
void Win32Platform::onPowerBroadcast(WPARAM event) {
    if (event != PBT_APMPOWERSTATUSCHANGE || !powerSourceHandler_) {
        return;
    }
    const bool now = SystemOnBattery();
    if (now == lastOnBattery_) {
        return;
    }
    lastOnBattery_ = now;
    const std::function<void()> handler = powerSourceHandler_;  // it may replace itself
    platform::invokeHandler(*this, handler);
}

// The program itself never asks for the display or the system to stay on; continuous with no
// other flag clears whatever this thread may have been given to hold, by a media component
// or otherwise.
void Win32Platform::releaseKeepAwake() {
    SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace morvel::win32

// The power source, and what the program holds awake.
//
// Thread: the user-interface thread only; the handler runs there too, through
// invokeHandler. Nothing here runs a nested loop.
#pragma once

#include <functional>

namespace morvel::platform {

class PowerService {
  public:
    virtual ~PowerService() = default;

    // Whether the machine runs on battery now. Mains where the platform cannot tell (no
    // battery, no power service). Windows: the system's power status; Linux: UPower's
    // OnBattery over the system bus.
    virtual bool onBattery() = 0;
    // Runs `handler` after each change of the power source (Windows: the system's power
    // notifications; Linux: UPower's property changes); nullptr for none. The first call
    // starts the watch.
    virtual void setPowerSourceHandler(std::function<void()> handler) = 0;
    // The program shows nothing any more: whatever it asked the system to keep awake (the
    // display, the machine) it lets go of, so that the system's own power saving may turn
    // the monitors off. Stopping every device comes first; this is the rest.
    virtual void releaseKeepAwake() = 0;
};

}  // namespace morvel::platform

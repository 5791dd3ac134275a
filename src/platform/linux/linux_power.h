// The power source as UPower tells it over the system bus: whether the machine runs on its
// battery, and a call after each change.
#pragma once

#include <gio/gio.h>

#include <functional>

namespace morvel::linux_backend {

class PowerWatch {
  public:
    // Connects to the system bus and reads UPower's OnBattery once; with no bus, or no
    // UPower on it, the machine is on mains until UPower says otherwise.
    PowerWatch();
    ~PowerWatch();
    PowerWatch(const PowerWatch&) = delete;
    PowerWatch& operator=(const PowerWatch&) = delete;

    bool onBattery() const { return onBattery_; }
    // Runs `changed` on the main loop after each change of OnBattery; nullptr for none.
    void setChangeHandler(std::function<void()> changed) { changed_ = std::move(changed); }

  private:
    static void PropertiesChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant* parameters, gpointer self);
    void readOnBattery();
    void takeOnBattery(bool onBattery);

    GDBusConnection* bus_ = nullptr;
    guint subscription_ = 0;
    bool onBattery_ = false;
    std::function<void()> changed_;
};

}  // namespace morvel::linux_backend

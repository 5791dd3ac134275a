// UPower over the system bus (GIO): the OnBattery property, read once at the start and then
// followed through its PropertiesChanged signals, which the main loop delivers.
#include "platform/linux/linux_power.h"

#include "platform/linux/linux_platform.h"

namespace morvel::linux_backend {

namespace {

constexpr const char* kService = "org.freedesktop.UPower";
constexpr const char* kObject = "/org/freedesktop/UPower";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
// The first reading waits this long at most: UPower may be started on demand by the bus,
// and a saver that cannot tell in time plays as on mains.
constexpr int kFirstReadingMs = 1500;

// The boolean in a variant, or `otherwise` when it holds none.
bool BooleanIn(GVariant* value, bool otherwise) {
    return value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)
               ? g_variant_get_boolean(value) != FALSE
               : otherwise;
}

}  // namespace

PowerWatch::PowerWatch() {
    // A connection of its own, not the process's shared one, which would end the process
    // if the bus went away.
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (address != nullptr) {
        bus_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
    }
    if (bus_ == nullptr) {
        g_clear_error(&error);
        return;  // no system bus: mains
    }
    // Subscribed before the first reading, so that no change falls between the two.
    subscription_ = g_dbus_connection_signal_subscribe(
        bus_, kService, kProperties, "PropertiesChanged", kObject, kService,
        G_DBUS_SIGNAL_FLAGS_NONE, PropertiesChanged, this, nullptr);
    readOnBattery();
}

PowerWatch::~PowerWatch() {
    if (bus_ != nullptr) {
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
}

void PowerWatch::readOnBattery() {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, kService, kObject, kProperties, "Get", g_variant_new("(ss)", kService, "OnBattery"),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kFirstReadingMs, nullptr, &error);
    if (reply == nullptr) {
        g_clear_error(&error);
        return;  // no UPower (or a silent one): mains
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    onBattery_ = BooleanIn(value, false);
    g_variant_unref(value);
    g_variant_unref(reply);
}

// (interface, changed properties, invalidated names): only OnBattery's new value matters.
void PowerWatch::PropertiesChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar*, GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) {
        return;
    }
    GVariant* changed = g_variant_get_child_value(parameters, 1);
    GVariant* value = g_variant_lookup_value(changed, "OnBattery", G_VARIANT_TYPE_BOOLEAN);
    auto& watch = *static_cast<PowerWatch*>(self);
    if (value != nullptr) {
        watch.takeOnBattery(BooleanIn(value, watch.onBattery_));
        g_variant_unref(value);
    }
    g_variant_unref(changed);
}

void PowerWatch::takeOnBattery(bool onBattery) {
    if (onBattery == onBattery_) {
        return;
    }
    onBattery_ = onBattery;
    if (changed_) {
        const std::function<void()> changed = changed_;  // it may replace itself
        changed();
    }
}

// --- The platform's power service ----------------------------------------------------------

bool LinuxPlatform::onBattery() {
    if (!power_) {
        power_ = std::make_unique<PowerWatch>();
    }
    return power_->onBattery();
}

void LinuxPlatform::setPowerSourceHandler(std::function<void()> handler) {
    if (!power_ && !handler) {
        return;  // nothing watched, nothing to stop
    }
    if (!power_) {
        power_ = std::make_unique<PowerWatch>();
    }
    if (!handler) {
        power_->setChangeHandler(nullptr);
        return;
    }
    power_->setChangeHandler([this, handler = std::move(handler)] { runHandler(handler); });
}

}  // namespace morvel::linux_backend

// The controls' signals: each user action on a control runs the handler of its design that
// stands for it (a click, a double click, a scroll), never a change the program makes itself.
#include "platform/linux/linux_platform.h"

namespace morvel::linux_backend {

using platform::ControlKind;

// A control's signal and the handler of its design it runs. The control is found by handle
// each time: a handler may have destroyed it.
struct LinuxPlatform::SignalHook {
    LinuxPlatform* platform;
    Handle handle;
    std::function<void()> platform::ControlSpec::*handler;
};

void LinuxPlatform::Fire(const SignalHook& hook) {
    LinuxPlatform& self = *hook.platform;
    auto found = self.controls_.find(hook.handle);
    if (found == self.controls_.end() || self.quiet_) {
        return;  // gone, or a change the program made itself
    }
    const auto handler = found->second->design.*hook.handler;  // a copy, as above
    self.runHandler(handler);
}

void LinuxPlatform::connect(gpointer instance, const char* signal, GCallback callback,
                            Handle handle, std::function<void()> platform::ControlSpec::*handler) {
    auto hook = std::make_unique<SignalHook>(SignalHook{this, handle, handler});
    g_signal_connect_data(
        instance, signal, callback, hook.release(),
        +[](gpointer raw, GClosure*) {
            std::unique_ptr<SignalHook>(static_cast<SignalHook*>(raw));
        },
        GConnectFlags{});
}

void LinuxPlatform::connectSignals(Handle handle, ControlData& data) {
    using Design = platform::ControlSpec;
    switch (data.design.kind) {
        case ControlKind::Button:
            connect(data.inner, "clicked", G_CALLBACK(+[](GtkWidget*, gpointer hook) {
                        Fire(*static_cast<SignalHook*>(hook));
                    }),
                    handle, &Design::onClick);
            break;
        case ControlKind::CheckBox:
            connect(data.inner, "toggled", G_CALLBACK(+[](GtkWidget*, gpointer hook) {
                        Fire(*static_cast<SignalHook*>(hook));
                    }),
                    handle, &Design::onClick);
            break;
        case ControlKind::RadioButton:
            // Each click of a set runs for the button that goes on, not for the one going off.
            connect(data.inner, "clicked", G_CALLBACK(+[](GtkWidget* radio, gpointer hook) {
                        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio))) {
                            Fire(*static_cast<SignalHook*>(hook));
                        }
                    }),
                    handle, &Design::onClick);
            break;
        case ControlKind::Label:
            gtk_widget_add_events(data.outer, GDK_BUTTON_PRESS_MASK);
            connect(data.outer, "button-press-event",
                    G_CALLBACK(+[](GtkWidget*, GdkEventButton* event, gpointer raw) -> gboolean {
                        SignalHook hook = *static_cast<SignalHook*>(raw);
                        if (event->button == 1) {
                            hook.handler = event->type == GDK_2BUTTON_PRESS ? &Design::onDoubleClick
                                                                            : &Design::onClick;
                            Fire(hook);
                        }
                        return FALSE;
                    }),
                    handle, &Design::onClick);
            break;
        case ControlKind::ListBox:
            connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(data.inner)), "changed",
                    G_CALLBACK(+[](GtkTreeSelection*, gpointer hook) {
                        Fire(*static_cast<SignalHook*>(hook));
                    }),
                    handle, &Design::onClick);
            connect(data.inner, "row-activated",
                    G_CALLBACK(+[](GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer hook) {
                        Fire(*static_cast<SignalHook*>(hook));
                    }),
                    handle, &Design::onDoubleClick);
            break;
        case ControlKind::Slider:
        case ControlKind::ScrollBar:
            connect(data.adjustment, "value-changed",
                    G_CALLBACK(+[](GtkAdjustment*, gpointer hook) {
                        Fire(*static_cast<SignalHook*>(hook));
                    }),
                    handle, &Design::onScroll);
            break;
        default:
            break;
    }
}

}  // namespace morvel::linux_backend

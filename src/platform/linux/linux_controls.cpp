// The forms' controls: GTK widgets placed by pixel in their parent's GtkFixed, styled with
// the fonts and colours the forms ask for.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/linux/linux_platform.h"

namespace morvel::linux_backend {

using platform::ControlKind;

namespace {

constexpr int kButtonImageSize = 14;
constexpr int kArrowWidth = 12;  // a scroll bar's arrow buttons

// The theme's icon for each of the program's button pictures.
const char* IconName(const std::string& image) {
    static const std::pair<const char*, const char*> kIcons[] = {
        {"add", "list-add-symbolic"},
        {"folder", "folder-open-symbolic"},
        {"clear", "edit-clear-all-symbolic"},
        {"remove", "list-remove-symbolic"},
        {"sound", "audio-volume-high-symbolic"},
        {"preview", "video-x-generic-symbolic"},
        {"support", "mail-send-symbolic"},
        {"web", "web-browser-symbolic"},
        {"ok", "object-select-symbolic"},
        {"play", "media-playback-start-symbolic"},
        {"pause", "media-playback-pause-symbolic"},
        {"stop", "media-playback-stop-symbolic"},
    };
    for (const auto& [name, icon] : kIcons) {
        if (image == name) {
            return icon;
        }
    }
    return nullptr;
}

void Style(GtkWidget* widget, const std::string& css) {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                   GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// The widget inside a container control that holds its children, or nothing.
GtkWidget* ChildFixed(GtkWidget* outer) {
    return static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(outer), "morvel-fixed"));
}

// The CSS of a font and colours, as GTK styles read them.
std::string StyleFor(const platform::Font* font, const platform::Color* background) {
    std::string css = "* {";
    if (font != nullptr) {
        css += " font-family: \"" + FontFamily(font->face) + "\";";
        css += font->pixelHeight > 0 ? " font-size: " + std::to_string(font->pixelHeight) + "px;"
                                     : " font-size: " + std::to_string(font->points) + "pt;";
        css += font->bold ? " font-weight: bold;" : " font-weight: normal;";
        if (!font->color.systemWindowText) {
            css += " color: " + HexColor(font->color) + ";";
        }
    }
    if (background != nullptr) {
        css += " background-color: " + HexColor(*background) + "; background-image: none;";
    }
    return css + " }";
}

// An entry that takes digits only: typed or pasted text with anything else in it is refused
// whole, as the other platform's number edit does.
void RefuseAllButDigits(GtkWidget* entry) {
    g_signal_connect(entry, "insert-text",
                     G_CALLBACK(+[](GtkEditable* editable, const gchar* text, gint length,
                                    gpointer /*position*/, gpointer) {
                         const std::string_view typed(
                             text, length < 0 ? std::char_traits<char>::length(text)
                                              : static_cast<std::size_t>(length));
                         if (!std::all_of(typed.begin(), typed.end(),
                                          [](char c) { return c >= '0' && c <= '9'; })) {
                             g_signal_stop_emission_by_name(editable, "insert-text");
                             gtk_widget_error_bell(GTK_WIDGET(editable));
                         }
                     }),
                     nullptr);
}

}  // namespace

GtkWidget* LinuxPlatform::radioGroupAnchor(Handle window, Handle parent) {
    auto& anchor = radioAnchors_[{window, parent}];
    if (anchor == nullptr) {
        // Never shown: checking it unchecks the whole set, which GTK cannot do otherwise.
        anchor = gtk_radio_button_new(nullptr);
        g_object_ref_sink(anchor);
    }
    return anchor;
}

GtkWidget* LinuxPlatform::makeControl(ControlData& data) {
    const platform::ControlSpec& design = data.design;
    const char* caption = design.caption.c_str();
    switch (design.kind) {
        case ControlKind::Overlay:
            data.overlay = MakeOverlay(windowData(data.window).window, design.font);
            data.overlay->setBounds(design.bounds);
            data.overlay->setText(design.caption);
            data.overlay->setVisible(design.visible);
            return data.overlay->widget();
        case ControlKind::Label: {
            data.inner = gtk_label_new(caption);
            gtk_label_set_xalign(GTK_LABEL(data.inner), 0);
            gtk_label_set_yalign(GTK_LABEL(data.inner), 0);
            gtk_label_set_line_wrap(GTK_LABEL(data.inner), design.wordWrap);
            if (design.wordWrap && design.bounds.width > 0) {
                gtk_label_set_max_width_chars(GTK_LABEL(data.inner), 1);
            }
            GtkWidget* box = gtk_event_box_new();
            gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), design.background.has_value());
            gtk_container_add(GTK_CONTAINER(box), data.inner);
            return box;
        }
        case ControlKind::Panel: {
            GtkWidget* box = gtk_event_box_new();
            gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), TRUE);
            GtkWidget* fixed = gtk_fixed_new();
            gtk_container_add(GTK_CONTAINER(box), fixed);
            g_object_set_data(G_OBJECT(box), "morvel-fixed", fixed);
            data.inner = box;
            if (!design.caption.empty()) {
                GtkWidget* label = gtk_label_new(caption);
                gtk_fixed_put(GTK_FIXED(fixed), label, 0, 0);
                gtk_widget_set_size_request(label, design.bounds.width, design.bounds.height);
            }
            if (design.bevel == platform::Bevel::Lowered) {
                Style(box, "* { border: 1px inset #808080; }");
            }
            return box;
        }
        case ControlKind::Button: {
            data.inner = gtk_button_new_with_label(caption);
            // A picture the theme lacks is left out rather than drawn as a broken one.
            const char* icon = IconName(design.image);
            if (icon != nullptr && gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), icon)) {
                GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_MENU);
                gtk_image_set_pixel_size(GTK_IMAGE(image), kButtonImageSize);
                gtk_button_set_image(GTK_BUTTON(data.inner), image);
                gtk_button_set_always_show_image(GTK_BUTTON(data.inner), TRUE);
            }
            Style(data.inner, "* { padding: 0 2px; min-height: 0; min-width: 0; }");
            return data.inner;
        }
        case ControlKind::CheckBox:
            data.inner = gtk_check_button_new_with_label(caption);
            return data.inner;
        case ControlKind::RadioButton: {
            GtkWidget* anchor = radioGroupAnchor(data.window, design.parent);
            data.inner =
                gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(anchor), caption);
            return data.inner;
        }
        case ControlKind::GroupBox: {
            // The group's children are placed from its outer corner, caption included.
            GtkWidget* fixed = gtk_fixed_new();
            data.inner = gtk_frame_new(caption);
            gtk_fixed_put(GTK_FIXED(fixed), data.inner, 0, 0);
            gtk_widget_set_size_request(data.inner, design.bounds.width, design.bounds.height);
            g_object_set_data(G_OBJECT(fixed), "morvel-fixed", fixed);
            return fixed;
        }
        case ControlKind::ListBox: {
            data.items = gtk_list_store_new(1, G_TYPE_STRING);
            data.inner = gtk_tree_view_new_with_model(GTK_TREE_MODEL(data.items));
            g_object_unref(data.items);  // the view holds it
            gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(data.inner), FALSE);
            GtkCellRenderer* text = gtk_cell_renderer_text_new();
            if (design.listRowHeight > 0) {
                gtk_cell_renderer_set_fixed_size(text, -1, design.listRowHeight);
            }
            gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(data.inner), -1, "", text,
                                                        "text", 0, nullptr);
            GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
            gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
            gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC,
                                           GTK_POLICY_AUTOMATIC);
            gtk_container_add(GTK_CONTAINER(scroller), data.inner);
            return scroller;
        }
        case ControlKind::Edit:
            data.inner = gtk_entry_new();
            gtk_entry_set_text(GTK_ENTRY(data.inner), caption);
            gtk_editable_set_editable(GTK_EDITABLE(data.inner), design.editable);
            gtk_entry_set_width_chars(GTK_ENTRY(data.inner), 1);  // as narrow as its bounds
            if (design.digitsOnly) {
                RefuseAllButDigits(data.inner);
            }
            Style(data.inner, "* { min-height: 0; padding-top: 0; padding-bottom: 0; }");
            return data.inner;
        case ControlKind::Slider:
            // A scale without its value drawn: arrows take the small step, and Page Up, Page
            // Down and a click beside the knob the large one.
            data.adjustment =
                gtk_adjustment_new(0, 0, 100, design.smallChange, design.largeChange, 0);
            data.inner = gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, data.adjustment);
            gtk_scale_set_draw_value(GTK_SCALE(data.inner), FALSE);
            gtk_range_set_round_digits(GTK_RANGE(data.inner), 0);
            gtk_widget_set_can_focus(data.inner, TRUE);
            return data.inner;
        case ControlKind::ScrollBar:
            data.adjustment =
                gtk_adjustment_new(0, 0, 100, design.smallChange, design.largeChange, 0);
            data.inner = gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, data.adjustment);
            // Arrows at both ends, for the small steps, and a trough to click for the large.
            Style(data.inner,
                  "* { -GtkScrollbar-has-backward-stepper: true;"
                  " -GtkScrollbar-has-forward-stepper: true; }"
                  " button { min-width: 12px; min-height: 0; padding: 0; margin: 0; }"
                  " slider { min-height: 8px; min-width: 10px; }");
            // The theme draws the arrows but leaves them dead: a press on one takes the
            // small step here.
            g_signal_connect(
                data.inner, "button-press-event",
                G_CALLBACK(+[](GtkWidget* bar, GdkEventButton* event,
                               gpointer adjustment) -> gboolean {
                    const int width = gtk_widget_get_allocated_width(bar);
                    const int at = static_cast<int>(event->x);
                    if (event->button != 1 || (at >= kArrowWidth && at < width - kArrowWidth)) {
                        return FALSE;
                    }
                    auto* steps = GTK_ADJUSTMENT(adjustment);
                    const double step = gtk_adjustment_get_step_increment(steps);
                    gtk_adjustment_set_value(
                        steps, gtk_adjustment_get_value(steps) + (at < kArrowWidth ? -step : step));
                    return TRUE;
                }),
                data.adjustment);
            return data.inner;
    }
    throw std::invalid_argument("Unknown control kind");
}

Handle LinuxPlatform::createControl(Handle window, const platform::ControlSpec& design) {
    WindowData& form = windowData(window);
    auto data = std::make_unique<ControlData>();
    data->design = design;
    data->window = window;
    data->bounds = design.bounds;
    data->visible = design.visible;
    data->enabled = design.enabled;
    data->sequence = nextSequence_++;
    data->outer = makeControl(*data);

    GtkWidget* styled = data->inner != nullptr ? data->inner : data->outer;
    const platform::Color* background = design.background ? &*design.background : nullptr;
    std::string css =
        StyleFor(&design.font, design.kind == ControlKind::Label ? nullptr : background);
    if (design.kind == ControlKind::ListBox) {
        // The row the user picked stands out over the list's own colour, focused or not.
        css += " *:selected, *:selected:backdrop { background-color: #3875d7; color: #ffffff; }";
    }
    Style(styled, css);
    if (design.kind == ControlKind::Label && background != nullptr) {
        Style(data->outer, StyleFor(nullptr, background));
    }
    if (!design.hint.empty()) {
        gtk_widget_set_tooltip_text(data->outer, design.hint.c_str());
    }
    GtkWidget* container = form.fixed;
    if (design.parent != 0) {
        GtkWidget* inside = ChildFixed(controlData(design.parent).outer);
        container = inside != nullptr ? inside : container;
    }
    gtk_fixed_put(GTK_FIXED(container), data->outer, design.bounds.left, design.bounds.top);
    gtk_widget_show_all(data->outer);
    gtk_widget_set_no_show_all(data->outer, TRUE);
    gtk_widget_set_visible(data->outer, design.visible);
    gtk_widget_set_sensitive(data->outer, design.enabled);

    const Handle handle = ToHandle(data->outer);
    ControlData& stored = *data;
    controls_[handle] = std::move(data);
    place(stored);
    connectSignals(handle, stored);
    return handle;
}

void LinuxPlatform::place(ControlData& data) {
    const platform::Rect& bounds = data.bounds;
    GtkWidget* container = gtk_widget_get_parent(data.outer);
    platform::Rect at = bounds;
    GtkWidget* layout = data.design.parent == 0
                            ? host_->layoutFor(windowData(data.window).fixed, data.outer, at)
                            : container;
    if (layout != container) {  // to another window of the host's
        g_object_ref(data.outer);
        gtk_container_remove(GTK_CONTAINER(container), data.outer);
        gtk_fixed_put(GTK_FIXED(layout), data.outer, at.left, at.top);
        g_object_unref(data.outer);
    } else if (GTK_IS_FIXED(container)) {
        gtk_fixed_move(GTK_FIXED(container), data.outer, at.left, at.top);
    }
    gtk_widget_set_size_request(data.outer, bounds.width > 0 ? bounds.width : -1,
                                bounds.height > 0 ? bounds.height : -1);
    if (data.design.kind == ControlKind::GroupBox) {
        gtk_widget_set_size_request(data.inner, bounds.width, bounds.height);
    }
    if (data.design.kind == ControlKind::Label && data.design.wordWrap) {
        gtk_widget_set_size_request(data.inner, bounds.width > 0 ? bounds.width : -1, -1);
    }
}

void LinuxPlatform::setBounds(Handle control, platform::Rect bounds) {
    ControlData& data = controlData(control);
    data.bounds = bounds;
    place(data);
    if (data.overlay) {
        data.overlay->setBounds(bounds);
    }
}

platform::Rect LinuxPlatform::bounds(Handle control) const {
    const ControlData& data = controlData(control);
    platform::Rect result = data.bounds;
    if (result.width == 0 || result.height == 0) {
        GtkRequisition natural{};
        gtk_widget_get_preferred_size(data.outer, nullptr, &natural);
        result.width = result.width == 0 ? natural.width : result.width;
        result.height = result.height == 0 ? natural.height : result.height;
    }
    return result;
}

void LinuxPlatform::setCaption(Handle control, const std::string& caption) {
    ControlData& data = controlData(control);
    data.design.caption = caption;
    switch (data.design.kind) {
        case ControlKind::Label:
            gtk_label_set_text(GTK_LABEL(data.inner), caption.c_str());
            break;
        case ControlKind::Overlay:
            data.overlay->setText(caption);
            break;
        case ControlKind::Button:
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
            gtk_button_set_label(GTK_BUTTON(data.inner), caption.c_str());
            break;
        case ControlKind::GroupBox:
            gtk_frame_set_label(GTK_FRAME(data.inner), caption.c_str());
            break;
        case ControlKind::Edit:
            gtk_entry_set_text(GTK_ENTRY(data.inner), caption.c_str());
            break;
        default:
            break;
    }
}

std::string LinuxPlatform::caption(Handle control) const {
    const ControlData& data = controlData(control);
    if (data.design.kind == ControlKind::Edit) {
        return gtk_entry_get_text(GTK_ENTRY(data.inner));
    }
    return data.design.caption;
}

void LinuxPlatform::setVisible(Handle control, bool visible) {
    ControlData& data = controlData(control);
    data.visible = visible;
    gtk_widget_set_visible(data.outer, visible);
    if (data.overlay) {
        data.overlay->setVisible(visible);
    }
}

bool LinuxPlatform::isVisible(Handle control) const {
    return controlData(control).visible;
}

void LinuxPlatform::setEnabled(Handle control, bool enabled) {
    ControlData& data = controlData(control);
    data.enabled = enabled;
    gtk_widget_set_sensitive(data.outer, enabled);
}

bool LinuxPlatform::isEnabled(Handle control) const {
    return controlData(control).enabled;
}

bool LinuxPlatform::effectiveVisible(const ControlData& data) const {
    if (!data.visible) {
        return false;
    }
    auto parent = controls_.find(data.design.parent);
    return parent == controls_.end() || effectiveVisible(*parent->second);
}

bool LinuxPlatform::effectiveEnabled(const ControlData& data) const {
    if (!data.enabled) {
        return false;
    }
    auto parent = controls_.find(data.design.parent);
    return parent == controls_.end() || effectiveEnabled(*parent->second);
}

void LinuxPlatform::setFocus(Handle control) {
    ControlData& data = controlData(control);
    gtk_widget_grab_focus(data.inner != nullptr ? data.inner : data.outer);
}

void LinuxPlatform::setChecked(Handle control, bool checked) {
    ControlData& data = controlData(control);
    if (data.design.kind == ControlKind::CheckBox) {
        const ScopedFlag quiet = quietly();
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(data.inner), checked);
        return;
    }
    if (data.design.kind != ControlKind::RadioButton) {
        return;
    }
    const ScopedFlag quiet = quietly();
    if (checked) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(data.inner), TRUE);
    } else if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(data.inner))) {
        gtk_toggle_button_set_active(
            GTK_TOGGLE_BUTTON(radioGroupAnchor(data.window, data.design.parent)), TRUE);
    }
}

bool LinuxPlatform::isChecked(Handle control) const {
    const ControlData& data = controlData(control);
    return (data.design.kind == ControlKind::RadioButton ||
            data.design.kind == ControlKind::CheckBox) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(data.inner));
}

LinuxPlatform::ControlData& LinuxPlatform::controlData(Handle control) const {
    auto found = controls_.find(control);
    if (found == controls_.end()) {
        throw std::invalid_argument("No control with handle " + std::to_string(control));
    }
    return *found->second;
}

}  // namespace morvel::linux_backend

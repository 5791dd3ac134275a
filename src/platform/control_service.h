// The controls of a window: labels, panels, buttons, radio buttons, group boxes, list boxes,
// edits and scroll bars.
//
// Thread: the user-interface thread only. Controls live as long as their window. Changes the
// program makes (a caption, a selection, a scroll position) never run the control's event
// handlers; only the user's actions do. A handle the backend does not know:
// std::invalid_argument. A list index out of range: itemText throws std::out_of_range
// ("List index out of bounds (N)"), deleteItem does nothing and setSelectedIndex selects
// nothing; the same in every backend.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/types.h"

namespace morvel::platform {

enum class ControlKind {
    Label,
    Panel,
    Button,
    RadioButton,
    GroupBox,
    ListBox,
    Edit,
    ScrollBar,
    CheckBox,  // on or off by itself, whatever the others of its parent are
    // A horizontal slider (a trackbar) over the scroll bars' range and position; onScroll
    // runs after each move, by mouse or keys.
    Slider,
    // Text over whatever lies under it (the video, black): white with a dark shadow that
    // reads on any picture, right-aligned at the bottom of its bounds, each '\n' a new line.
    // It has no background and takes no input: a key or click on it reaches the window as
    // it would anywhere else. It stays above the window's other controls, and video drawn
    // into them never covers it.
    Overlay,
};

enum class Bevel { None, Lowered };

struct ControlSpec {
    ControlKind kind = ControlKind::Label;
    std::string name;   // the control's name in its form: "lblinfo", "Button2", ...
    Handle parent = 0;  // a group or panel of the same window; 0 for the window itself
    Rect bounds;        // within the parent's client area; width/height 0 = natural size
    std::string caption;
    Font font;
    std::optional<Color> background;  // none: the parent's colour
    std::string hint;                 // tooltip; empty for none
    // Buttons: the name of one of the program's own small pictures, shown beside the caption
    // ("add", "folder", "clear", "remove", "sound", "preview", "support", "web", "ok",
    // "play", "pause", "stop"); empty for none.
    std::string image;
    bool visible = true;
    bool enabled = true;
    bool wordWrap = false;
    // Edits: the user may type in it (digits only where `digitsOnly`); otherwise it only
    // shows its text.
    bool editable = false;
    bool digitsOnly = false;
    Bevel bevel = Bevel::None;
    bool defaultButton = false;  // Enter presses it
    int listRowHeight = 0;       // list boxes: 0 for the font's height
    // The control's place in the keyboard focus order among the controls of its parent,
    // from 0; -1: after those that have a place, in creation order.
    int tabOrder = -1;
    // Scroll bars: the step of an arrow click and of a click beside the thumb.
    int smallChange = 1;
    int largeChange = 1;

    std::function<void()> onClick;
    std::function<void()> onDoubleClick;
    std::function<void()> onScroll;  // scroll bars and sliders: after each scroll action
};

class ControlService {
  public:
    virtual ~ControlService() = default;

    // Creates the control in `window` (or in the group or panel `design.parent` of it). Its
    // events run on the user-interface thread through invokeHandler.
    virtual Handle createControl(Handle window, const ControlSpec& design) = 0;
    virtual void setBounds(Handle control, Rect bounds) = 0;
    virtual Rect bounds(Handle control) const = 0;
    virtual void setCaption(Handle control, const std::string& caption) = 0;
    virtual std::string caption(Handle control) const = 0;
    virtual void setVisible(Handle control, bool visible) = 0;
    virtual bool isVisible(Handle control) const = 0;
    virtual void setEnabled(Handle control, bool enabled) = 0;
    virtual bool isEnabled(Handle control) const = 0;
    virtual void setFocus(Handle control) = 0;
    // Radio buttons: checking one unchecks the others of its parent. Check boxes: this one.
    virtual void setChecked(Handle control, bool checked) = 0;
    virtual bool isChecked(Handle control) const = 0;
    // List boxes.
    virtual void addItem(Handle list, const std::string& text) = 0;
    virtual void deleteItem(Handle list, int index) = 0;
    virtual void clearItems(Handle list) = 0;
    virtual int itemCount(Handle list) const = 0;
    virtual std::string itemText(Handle list, int index) const = 0;
    virtual int selectedIndex(Handle list) const = 0;  // -1 for none
    virtual void setSelectedIndex(Handle list, int index) = 0;
    // Scroll bars and sliders.
    virtual void setScrollRange(Handle bar, int minimum, int maximum) = 0;
    virtual void setScrollPosition(Handle bar, int position) = 0;
    virtual int scrollPosition(Handle bar) const = 0;
};

}  // namespace morvel::platform

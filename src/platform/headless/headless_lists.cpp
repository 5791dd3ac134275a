// List boxes and scroll bars.
#include <algorithm>
#include <stdexcept>

#include "platform/headless/headless_platform.h"

namespace morvel::headless {

namespace {

bool InRange(const ControlState& list, int index) {
    return index >= 0 && index < static_cast<int>(list.items.size());
}

}  // namespace

void HeadlessPlatform::addItem(Handle list, const std::string& text) {
    controlRef(list).items.push_back(text);
}

// Out of range: nothing happens, as the seam says; the call is recorded all the same, as the
// program never means to make it.
void HeadlessPlatform::deleteItem(Handle list, int index) {
    ControlState& target = controlRef(list);
    if (!InRange(target, index)) {
        misuse.push_back("delete of list item " + std::to_string(index) + " out of range");
        return;
    }
    target.items.erase(target.items.begin() + index);
    if (target.selected >= static_cast<int>(target.items.size()) || target.selected == index) {
        target.selected = -1;
    } else if (target.selected > index) {
        --target.selected;
    }
}

void HeadlessPlatform::clearItems(Handle list) {
    ControlState& target = controlRef(list);
    target.items.clear();
    target.selected = -1;
}

int HeadlessPlatform::itemCount(Handle list) const {
    return static_cast<int>(controlRef(list).items.size());
}

std::string HeadlessPlatform::itemText(Handle list, int index) const {
    const ControlState& target = controlRef(list);
    if (!InRange(target, index)) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return target.items[static_cast<std::size_t>(index)];
}

int HeadlessPlatform::selectedIndex(Handle list) const {
    return controlRef(list).selected;
}

void HeadlessPlatform::setSelectedIndex(Handle list, int index) {
    ControlState& target = controlRef(list);
    target.selected = InRange(target, index) ? index : -1;
}

void HeadlessPlatform::setScrollRange(Handle bar, int minimum, int maximum) {
    ControlState& target = controlRef(bar);
    target.scrollMin = minimum;
    target.scrollMax = maximum;
    target.scrollPos = std::clamp(target.scrollPos, minimum, std::max(minimum, maximum));
}

void HeadlessPlatform::setScrollPosition(Handle bar, int position) {
    ControlState& target = controlRef(bar);
    target.scrollPos =
        std::clamp(position, target.scrollMin, std::max(target.scrollMin, target.scrollMax));
}

int HeadlessPlatform::scrollPosition(Handle bar) const {
    return controlRef(bar).scrollPos;
}

}  // namespace morvel::headless

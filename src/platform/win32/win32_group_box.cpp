// The group box's own erasing: a subclass of the standard group box that fills what lies
// inside its frame with the colour behind it.
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

namespace morvel::win32 {

// A group box paints only its frame and caption, and the form clips its children out of its
// own background, so the group fills what lies inside its frame itself.
LRESULT CALLBACK Win32Platform::GroupBoxProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR subclassId, DWORD_PTR self) {
    auto& backend = *reinterpret_cast<Win32Platform*>(self);
    if (id == WM_NCDESTROY) {
        RemoveWindowSubclass(window, GroupBoxProc, subclassId);
    } else if (id == WM_ERASEBKGND) {
        return backend.reportingExceptions(
            [&] { return backend.eraseGroupBox(window, reinterpret_cast<HDC>(wParam)); });
    }
    return DefSubclassProc(window, id, wParam, lParam);
}

LRESULT Win32Platform::eraseGroupBox(HWND group, HDC dc) {
    const ControlData* data = findControl(group);
    if (data == nullptr) {
        return DefSubclassProc(group, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    }
    // What the group holds are its siblings above it: they paint themselves.
    const int saved = SaveDC(dc);
    for (HWND above = GetWindow(group, GW_HWNDPREV); above != nullptr;
         above = GetWindow(above, GW_HWNDPREV)) {
        if (!IsWindowVisible(above)) {
            continue;
        }
        RECT area;
        GetWindowRect(above, &area);
        MapWindowPoints(nullptr, group, reinterpret_cast<POINT*>(&area), 2);
        ExcludeClipRect(dc, area.left, area.top, area.right, area.bottom);
    }
    RECT client;
    GetClientRect(group, &client);
    FillRect(dc, &client, backgroundBrush(*data));
    RestoreDC(dc, saved);
    return 1;
}

}  // namespace morvel::win32

// The floor the saver's start-up is measured against: a program that does only what any
// program playing one video needs. A black topmost window over the screen, a black panel
// in it, and MCI open, window, put and play into the panel; any key ends it.
//
//   bare_mci.exe FILE [LEFT TOP WIDTH HEIGHT]   (default: medium size on the screen)
//
// No settings file, no controls, no hook, no timers. bench/saver-start-wine runs it in turn
// with the saver and compares them.
#include <windows.h>

#include <mmsystem.h>

#include <digitalv.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kFormClass = "BareMciForm";
constexpr const char* kPanelClass = "BareMciPanel";

LRESULT CALLBACK FormProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
            PostQuitMessage(0);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, id, wParam, lParam);
    }
}

void Register(HINSTANCE instance, const char* name, WNDPROC procedure) {
    WNDCLASSEXA form{};
    form.cbSize = sizeof(form);
    form.lpfnWndProc = procedure;
    form.hInstance = instance;
    form.hCursor = LoadCursor(nullptr, IDC_ARROW);
    form.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    form.lpszClassName = name;
    RegisterClassExA(&form);
}

// The arguments after the program's own name.
std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    for (int i = 1; i < __argc; ++i) {
        arguments.emplace_back(__argv[i]);
    }
    return arguments;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    const std::vector<std::string> arguments = Arguments();
    if (arguments.empty()) {
        return 2;
    }
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT panel{screenWidth / 4, screenHeight / 4, screenWidth / 2, screenHeight / 2};
    if (arguments.size() >= 5) {
        panel = RECT{std::atoi(arguments[1].c_str()), std::atoi(arguments[2].c_str()),
                     std::atoi(arguments[3].c_str()), std::atoi(arguments[4].c_str())};
    }

    Register(instance, kFormClass, FormProc);
    Register(instance, kPanelClass, DefWindowProcA);
    const HWND form =
        CreateWindowExA(WS_EX_TOPMOST, kFormClass, "Bare MCI", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                        screenWidth, screenHeight, nullptr, nullptr, instance, nullptr);
    const HWND video =
        CreateWindowExA(0, kPanelClass, nullptr, WS_CHILD | WS_VISIBLE, panel.left, panel.top,
                        panel.right, panel.bottom, form, nullptr, instance, nullptr);
    ShowWindow(form, SW_SHOW);
    SetForegroundWindow(form);
    UpdateWindow(form);

    MCI_OPEN_PARMSA open{};
    open.lpstrElementName = arguments[0].c_str();
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        return 1;
    }
    const MCIDEVICEID device = open.wDeviceID;
    MCI_DGV_WINDOW_PARMSA window{};
    window.hWnd = video;
    mciSendCommandA(device, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT,
                    reinterpret_cast<DWORD_PTR>(&window));
    MCI_DGV_PUT_PARMS put{};
    put.rc = RECT{0, 0, panel.right, panel.bottom};
    mciSendCommandA(device, MCI_PUT, MCI_DGV_PUT_DESTINATION | MCI_DGV_RECT | MCI_WAIT,
                    reinterpret_cast<DWORD_PTR>(&put));
    MCI_PLAY_PARMS play{};
    mciSendCommandA(device, MCI_PLAY, 0, reinterpret_cast<DWORD_PTR>(&play));

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    MCI_GENERIC_PARMS close{};
    mciSendCommandA(device, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    return 0;
}

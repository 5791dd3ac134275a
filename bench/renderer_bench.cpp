// Frames shown and CPU of the saver on this machine's screens, by the settings' `Renderer`
// (1 GDI, 2 Direct3D 11): the Windows side of bench/renderer-frames, for a real Windows
// machine (it also runs under Wine).
//
//   morvel_renderer_bench.exe --clip FILE [--renderers 1,2] [--seconds 15] [--runs 1]
//                             [--monitors-mode 1|2] [--scr PATH]
//
// FILE is a clip whose frames carry their numbers, made by bench/renderer-frames (in
// build/bench-frames/clips: "frames-WIDTHxHEIGHT-23s.mp4"; best the size of the screens).
// For each renderer the program writes the saver's settings file (full screen, the clip
// alone, no sound; the file there before is put back at the end), starts morvel.scr /s
// (beside this program unless --scr names one) and, from the first numbered frame on, looks
// at one row of every monitor every few milliseconds (BitBlt from the screen) for the given
// seconds: the frames shown (different numbers seen), the longest a number stayed, the
// saver's CPU (GetProcessTimes) and the whole machine's (GetSystemTimes: the desktop's
// compositor and the graphics driver's work are in it). Touching the mouse or a key ends the
// saver and the run. Nothing is asserted: it is a measurement.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <shlobj.h>

namespace {

namespace fs = std::filesystem;

// The band of blocks across the top of each frame: a white one, the number's bits in Gray
// code, a black one (bench/frame_code.py makes it and tells why).
constexpr int kBits = 10;
constexpr int kBlocks = kBits + 2;
constexpr int kRate = 30;
constexpr DWORD kLookIntervalMs = 3;
// Where no numbered frame shows in this time (a renderer whose picture does not reach the
// screen), the run is measured from then on, its frames shown 0.
constexpr double kFirstFrameTimeoutS = 45;

struct Options {
    std::string clip;
    std::vector<int> renderers{1, 2};
    double seconds = 15;
    int runs = 1;
    int monitorsMode = 1;
    std::string scr;
};

struct Figures {
    std::vector<int> shown, span;
    std::vector<double> longest;
    double elapsed = 0, saver = 0, machine = 0, looker = 0;
};

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Seconds(const FILETIME& time) {
    return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime) /
           1e7;
}

double ProcessCpu(HANDLE process) {
    FILETIME created, ended, kernel, user;
    return GetProcessTimes(process, &created, &ended, &kernel, &user)
               ? Seconds(kernel) + Seconds(user)
               : 0;
}

// Busy time of all the machine's cores together.
double MachineCpu() {
    FILETIME idle, kernel, user;
    return GetSystemTimes(&idle, &kernel, &user) ? Seconds(kernel) + Seconds(user) - Seconds(idle)
                                                 : 0;
}

std::vector<int> NumbersOf(const std::string& text) {
    std::vector<int> numbers;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        numbers.push_back(std::atoi(item.c_str()));
    }
    return numbers;
}

std::optional<Options> Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--clip") {
            options.clip = value;
        } else if (name == "--renderers") {
            options.renderers = NumbersOf(value);
        } else if (name == "--seconds") {
            options.seconds = std::atof(value.c_str());
        } else if (name == "--runs") {
            options.runs = std::atoi(value.c_str());
        } else if (name == "--monitors-mode") {
            options.monitorsMode = std::atoi(value.c_str());
        } else if (name == "--scr") {
            options.scr = value;
        } else {
            return std::nullopt;
        }
    }
    if (options.clip.empty() || argc % 2 == 0) {
        return std::nullopt;
    }
    if (options.scr.empty()) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        options.scr = (fs::path(path).parent_path() / "morvel.scr").string();
    }
    return options;
}

// The clip's size from its name ("frames-1280x720-23s.mp4"); the first monitor's where the
// name does not say.
SIZE ClipSize(const std::string& clip, SIZE fallback) {
    const std::string name = fs::path(clip).filename().string();
    int width = 0, height = 0;
    if (std::sscanf(name.c_str(), "frames-%dx%d-", &width, &height) == 2 && width > 0 &&
        height > 0) {
        return SIZE{width, height};
    }
    return fallback;
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
    return TRUE;
}

// Where the clip's picture lies on a monitor at full screen: as large as fits, centred.
RECT PictureOn(const RECT& monitor, SIZE clip) {
    const long width = monitor.right - monitor.left, height = monitor.bottom - monitor.top;
    long w = width, h = width * clip.cy / clip.cx;
    if (h > height) {
        h = height;
        w = height * clip.cx / clip.cy;
    }
    const long left = monitor.left + (width - w) / 2, top = monitor.top + (height - h) / 2;
    return RECT{left, top, left + w, top + h};
}

// One row of one monitor's picture, read from the screen through a one-row DIB.
class RowReader {
  public:
    explicit RowReader(const RECT& picture) : picture_(picture) {
        screen_ = GetDC(nullptr);
        memory_ = CreateCompatibleDC(screen_);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = Width();
        info.bmiHeader.biHeight = -1;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS,
                                   reinterpret_cast<void**>(&pixels_), nullptr, 0);
        previous_ = SelectObject(memory_, bitmap_);
    }
    ~RowReader() {
        SelectObject(memory_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    // The frame number the band shows, or -1 where it shows none.
    int number() {
        const int y = picture_.top + (picture_.bottom - picture_.top) / 8;
        if (!BitBlt(memory_, 0, 0, Width(), 1, screen_, picture_.left, y, SRCCOPY)) {
            return -1;
        }
        GdiFlush();
        unsigned blocks = 0;
        for (int k = 0; k < kBlocks; ++k) {
            const DWORD pixel = pixels_[(2 * k + 1) * Width() / (2 * kBlocks)];
            const int b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
            const int level = (r + g + b) / 3;
            if ((level > 60 && level < 195) || std::max({r, g, b}) - std::min({r, g, b}) > 60) {
                return -1;
            }
            blocks |= static_cast<unsigned>(level >= 128) << k;
        }
        if ((blocks & 1) == 0 || (blocks >> (kBlocks - 1)) != 0) {
            return -1;  // the white and the black block are not there
        }
        unsigned gray = blocks >> 1;
        unsigned number = 0;
        for (; gray != 0; gray >>= 1) {
            number ^= gray;
        }
        return static_cast<int>(number);
    }

  private:
    int Width() const { return picture_.right - picture_.left; }

    RECT picture_;
    HDC screen_ = nullptr;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    DWORD* pixels_ = nullptr;
};

// The settings file the saver reads, and what was there before, put back by the destructor.
class SettingsFile {
  public:
    SettingsFile() {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        shared_ = fs::path(windows) / "morvel4.ini";
        char local[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local))) {
            userCopy_ = fs::path(local) / "VirtualStore" / fs::path(windows).relative_path() /
                        "morvel4.ini";
        }
        for (const fs::path& path : {shared_, userCopy_}) {
            if (!path.empty() && fs::exists(path)) {
                std::ifstream in(path, std::ios::binary);
                saved_.push_back({path, std::string(std::istreambuf_iterator<char>(in), {})});
            }
        }
    }
    ~SettingsFile() {
        std::error_code ignored;
        for (const fs::path& path : written_) {
            fs::remove(path, ignored);
        }
        for (const auto& [path, text] : saved_) {
            std::ofstream(path, std::ios::binary) << text;
        }
    }
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // The saver reads the user's copy where there is one: that one, else the shared file,
    // else (an ordinary user may not write in the Windows folder) a user's copy made now.
    bool write(const std::string& clip, int renderer, int monitorsMode) {
        std::string text = "[VidConfig]\r\nName1=" + clip + "\r\n";
        for (int n = 2; n <= 500; ++n) {
            text += "Name" + std::to_string(n) + "=Null\r\n";
        }
        text +=
            "[WavConfig]\r\nName1=Null\r\n[Options]\r\nPicdis=1\r\nPicord=2\r\nSound=0\r\n"
            "Repeat=0\r\nStarton=5\r\nEndon=5\r\nHeight=-1\r\nWidth=-1\r\nMonitors=" +
            std::to_string(monitorsMode) + "\r\nRenderer=" + std::to_string(renderer) + "\r\n";
        std::vector<fs::path> targets;
        if (!userCopy_.empty() && fs::exists(userCopy_)) {
            targets = {userCopy_};
        } else {
            targets = {shared_, userCopy_};
        }
        for (const fs::path& path : targets) {
            if (path.empty()) {
                continue;
            }
            std::error_code ignored;
            fs::create_directories(path.parent_path(), ignored);
            const bool existed = fs::exists(path);
            if (std::ofstream out(path, std::ios::binary); out << text && out.flush()) {
                if (!existed) {
                    written_.push_back(path);
                }
                return true;
            }
        }
        return false;
    }

  private:
    fs::path shared_, userCopy_;
    std::vector<std::pair<fs::path, std::string>> saved_;
    std::vector<fs::path> written_;
};

struct ProcessHandles {
    PROCESS_INFORMATION info{};
    ~ProcessHandles() {
        if (info.hProcess) {
            TerminateProcess(info.hProcess, 0);
            WaitForSingleObject(info.hProcess, 10000);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

bool Running(HANDLE process) {
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

std::optional<Figures> Measure(const Options& options, const std::vector<RECT>& pictures,
                               std::string& error) {
    std::vector<std::unique_ptr<RowReader>> readers;
    for (const RECT& picture : pictures) {
        readers.push_back(std::make_unique<RowReader>(picture));
    }
    ProcessHandles saver;
    std::string command = "\"" + options.scr + "\" /s";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &saver.info)) {
        error = "cannot start " + options.scr + " (error " + std::to_string(GetLastError()) + ")";
        return std::nullopt;
    }
    const double launched = Now();
    while (readers[0]->number() < 0) {
        if (!Running(saver.info.hProcess)) {
            error = "the saver ended before its first frame";
            return std::nullopt;
        }
        if (Now() - launched > kFirstFrameTimeoutS) {
            std::printf("no numbered frame in %g s: measured from now\n", kFirstFrameTimeoutS);
            break;
        }
        Sleep(kLookIntervalMs);
    }
    const double start = Now();
    const double saver0 = ProcessCpu(saver.info.hProcess), machine0 = MachineCpu(),
                 looker0 = ProcessCpu(GetCurrentProcess());
    std::vector<std::set<int>> seen(readers.size());
    std::vector<std::pair<int, double>> last(readers.size(), {-1, start});
    Figures figures;
    figures.longest.assign(readers.size(), 0);
    double now = start;
    while ((now = Now()) < start + options.seconds) {
        if (!Running(saver.info.hProcess)) {
            error = "the saver ended during the run (a key or the mouse?)";
            return std::nullopt;
        }
        for (std::size_t n = 0; n < readers.size(); ++n) {
            const int number = readers[n]->number();
            if (number < 0 || number == last[n].first) {
                continue;
            }
            seen[n].insert(number);
            figures.longest[n] = std::max(figures.longest[n], now - last[n].second);
            last[n] = {number, now};
        }
        Sleep(kLookIntervalMs);
    }
    figures.elapsed = Now() - start;
    figures.saver = ProcessCpu(saver.info.hProcess) - saver0;
    figures.machine = MachineCpu() - machine0;
    figures.looker = ProcessCpu(GetCurrentProcess()) - looker0;
    for (const std::set<int>& numbers : seen) {
        figures.shown.push_back(static_cast<int>(numbers.size()));
        figures.span.push_back(numbers.empty() ? 0 : *numbers.rbegin() - *numbers.begin() + 1);
    }
    return figures;
}

template <typename T, typename F>
std::string Joined(const std::vector<T>& values, F format) {
    std::string text;
    for (const T& value : values) {
        text += (text.empty() ? "" : "/") + format(value);
    }
    return text;
}

std::string Row(const RECT& monitor, int renderer, const Figures& f, double seconds) {
    const std::string screen = std::to_string(monitor.right - monitor.left) + "x" +
                               std::to_string(monitor.bottom - monitor.top);
    const std::string shown = Joined(f.shown, [](int n) { return std::to_string(n); });
    const std::string span = Joined(f.span, [](int n) { return std::to_string(n); });
    const std::string held =
        Joined(f.longest, [](double s) { return std::to_string(static_cast<int>(s * 1000)); });
    char line[256];
    std::snprintf(line, sizeof(line), "%10s %2d %-11s %3zu %9s %5d %9s %9s %7.2f %6.2f %6.2f %6.2f",
                  screen.c_str(), renderer, renderer == 1 ? "GDI" : "Direct3D 11", f.shown.size(),
                  shown.c_str(), static_cast<int>(seconds * kRate + 0.5), span.c_str(),
                  held.c_str(), f.saver, f.saver / f.elapsed, f.machine / f.elapsed, f.looker);
    return line;
}

constexpr const char* kHeader =
    "    screen renderer       mon     shown    of      span   held ms saver s  cores machine"
    " look s";
constexpr const char* kLegend =
    "shown: different frames seen on each monitor (first/second) in the time; of: every frame;\n"
    "span: first number seen to last, +1 (less than `of`: the clip played slower than its "
    "time);\nheld: the longest a frame stayed; saver s: the saver's CPU seconds; cores: the "
    "saver's\nCPU / time; machine: every process's CPU / time, in cores (the compositor and "
    "the driver\nare in it, and the looks at the screen: look s, this program's CPU seconds).";

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = Parse(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: morvel_renderer_bench.exe --clip FILE [--renderers 1,2] "
                     "[--seconds 15] [--runs 1] [--monitors-mode 1|2] [--scr PATH]\n");
        return 2;
    }
    if (!fs::exists(options->clip) || !fs::exists(options->scr)) {
        std::fprintf(stderr, "no such file: %s\n",
                     (fs::exists(options->clip) ? options->scr : options->clip).c_str());
        return 2;
    }
    SetProcessDPIAware();  // the monitors' rectangles in real pixels
    timeBeginPeriod(1);
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    std::sort(monitors.begin(), monitors.end(),
              [](const RECT& a, const RECT& b) { return a.left < b.left; });
    const SIZE clip = ClipSize(options->clip, SIZE{monitors[0].right - monitors[0].left,
                                                   monitors[0].bottom - monitors[0].top});
    std::vector<RECT> pictures;
    for (const RECT& monitor : monitors) {
        pictures.push_back(PictureOn(monitor, clip));
    }
    std::printf("%g s of %s (%ldx%ld, %d fps) full screen on %zu monitor(s)\n%s\n",
                options->seconds, options->clip.c_str(), clip.cx, clip.cy, kRate, monitors.size(),
                kHeader);
    std::fflush(stdout);
    int failures = 0;
    {
        SettingsFile settings;
        for (int renderer : options->renderers) {
            for (int run = 0; run < options->runs; ++run) {
                if (!settings.write(options->clip, renderer, options->monitorsMode)) {
                    std::fprintf(stderr, "cannot write the saver's settings file\n");
                    return 1;
                }
                std::string error;
                const std::optional<Figures> figures = Measure(*options, pictures, error);
                if (figures) {
                    std::printf("%s\n",
                                Row(monitors[0], renderer, *figures, options->seconds).c_str());
                } else {
                    ++failures;
                    std::printf("renderer %d: no figures: %s\n", renderer, error.c_str());
                }
                std::fflush(stdout);
                Sleep(1500);  // the saver's windows gone before the next run looks
            }
        }
    }
    std::printf("%s\n", kLegend);
    // Wine's GetProcessTimes of another process and its GetSystemTimes do not measure them.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
        std::printf(
            "Under Wine the CPU figures are not the saver's nor the machine's: "
            "bench/renderer-frames measures them from Linux.\n");
    }
    timeEndPeriod(1);
    return failures == 0 ? 0 : 1;
}

// Times what the user waits for around the settings file: the saver's start-up read of a
// full list (key by key, and from one snapshot as the saver does), one list change in the
// dialog, and a cleared list. Run by hand:
//   scripts/build native && build/native/morvel_bench
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include <unistd.h>

#include "store/ini_file.h"

namespace {

using Clock = std::chrono::steady_clock;

void report(const char* what, int repetitions, const std::function<void()>& body) {
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i) {
        body();
    }
    const std::chrono::duration<double, std::milli> elapsed = Clock::now() - start;
    std::printf("%-46s %9.3f ms\n", what, elapsed.count() / repetitions);
}

std::string fullList(const std::filesystem::path& folder) {
    std::string text = "[VidConfig]\r\n";
    for (int n = 1; n <= 500; ++n) {
        text += "Name" + std::to_string(n) + "=" +
                (folder / ("video" + std::to_string(n) + ".avi")).string() + "\r\n";
    }
    return text + "[Options]\r\nPicdis=2\r\nPicord=2\r\n[WavConfig]\r\nName1=\r\n";
}

}  // namespace

int main() {
    using morvel::store::IniFile;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("morvel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto path = (folder / "morvel4.ini").string();
    const std::string text = fullList(folder);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);

    IniFile file(path);
    report("read 500 list slots, one key at a time", 5, [&] {
        for (int n = 1; n <= 500; ++n) {
            file.readString("vidConfig", "Name" + std::to_string(n), " ");
        }
    });
    report("read 500 list slots from one snapshot", 5, [&] {
        const morvel::store::IniSnapshot snapshot = file.snapshot();
        for (int n = 1; n <= 500; ++n) {
            snapshot.readString("vidConfig", "Name" + std::to_string(n), " ");
        }
    });
    report("rewrite one list slot (atomic replace)", 50,
           [&] { file.writeString("VidConfig", "Name250", "Null"); });
    report("clear the list slot by slot (500 replaces)", 1, [&] {
        for (int n = 1; n <= 500; ++n) {
            file.writeString("VidConfig", "Name" + std::to_string(n), "Null");
        }
    });
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}

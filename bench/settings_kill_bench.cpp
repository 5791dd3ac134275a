// Kills a writer of the settings file at random moments and checks that the file left behind
// is always one whole version: the one it held before, or one that the writer made. Counts
// the temporary files that the killed writers leave beside it. Run by hand (about a minute):
//   scripts/build native && build/native/morvel_kill_bench [kills [seed]]
// Exits non-zero when any file is torn, empty or missing.
//
// The same program is the writer: "morvel_kill_bench --writer PATH" makes the settings
// dialog's writes to PATH through IniFile, single keys and whole lists, over and over until
// it is killed.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "store/ini_file.h"

namespace {

namespace fs = std::filesystem;
using morvel::store::IniFile;
using morvel::store::KeyChange;
using Clock = std::chrono::steady_clock;
using Write = std::function<void(IniFile&)>;

constexpr const char* kFileName = "morvel4.ini";

std::string videoPath(int slot) {
    return "C:\\Videos\\Holiday\\clip" + std::to_string(slot) + ".avi";
}

// All 500 slots in one replace, as Clear Entire List (filled false) and Add Entire Folder
// write them.
Write wholeList(bool filled) {
    std::vector<KeyChange> changes;
    for (int slot = 1; slot <= 500; ++slot) {
        changes.push_back(
            {"VidConfig", "Name" + std::to_string(slot), filled ? videoPath(slot) : "Null"});
    }
    if (filled) {
        changes.push_back({"History", "Last Dir", "C:\\Videos\\Holiday\\"});
    }
    return [changes](IniFile& file) { file.writeAll(changes); };
}

Write oneKey(std::string section, std::string key, std::string value) {
    return [=](IniFile& file) { file.writeString(section, key, value); };
}

// One round of the dialog's writes. Every write changes the file, and once a file has been
// through a round the next round ends with the very same bytes, so a round's versions are
// all the versions the writer ever makes.
std::vector<Write> dialogRound() {
    std::vector<Write> writes = {wholeList(false), oneKey("Options", "Picdis", "1")};
    for (int slot = 1; slot <= 3; ++slot) {
        writes.push_back(oneKey("VidConfig", "Name" + std::to_string(slot), videoPath(slot)));
        writes.push_back(oneKey("History", "Last Dir", "C:\\Videos\\" + std::to_string(slot)));
    }
    writes.push_back(oneKey("VidConfig", "Name2", "Null"));
    writes.push_back(wholeList(true));
    writes.push_back(oneKey("Options", "Picdis", "2"));
    return writes;
}

int runWriter(const std::string& path) {
    IniFile file(path);
    const std::vector<Write> writes = dialogRound();
    for (;;) {
        for (const Write& write : writes) {
            write(file);
        }
    }
}

// The file's bytes, read without the code under test; nothing when there is no file.
std::optional<std::string> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct Versions {
    std::vector<std::string> texts;  // after each write of a round; the last is the start
    double writeMs = 0;              // mean time of one write
};

// Makes one round on a scratch file to learn every version and what a write costs here.
Versions recordVersions(const fs::path& path) {
    IniFile file(path.string());
    const std::vector<Write> writes = dialogRound();
    for (const Write& write : writes) {
        write(file);  // from no file to the state a round starts and ends in
    }
    const std::string start = readBytes(path).value();
    Versions versions;
    const auto began = Clock::now();
    for (const Write& write : writes) {
        write(file);
        versions.texts.push_back(readBytes(path).value());
    }
    const std::chrono::duration<double, std::milli> elapsed = Clock::now() - began;
    versions.writeMs = elapsed.count() / static_cast<double>(writes.size());
    if (versions.texts.back() != start) {
        throw std::logic_error("the writer's round does not end where it began");
    }
    fs::remove(path);
    return versions;
}

pid_t startWriter(std::string self, std::string path) {
    std::string flag = "--writer";
    std::vector<char*> argv = {self.data(), flag.data(), path.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start the writer");
    }
    return pid;
}

struct Tally {
    int kills = 0;
    int unchanged = 0;  // the starting version
    int replaced = 0;   // another whole version
    int torn = 0;
    int missing = 0;
    int writerStopped = 0;  // the writer ended before the kill: nothing was tested
    int killsLeavingTemporary = 0;
    int temporaryFiles = 0;
    int otherFiles = 0;
    std::vector<bool> versionSeen;
};

// What a kill left in the folder besides the settings file; empties the folder.
void sweepFolder(const fs::path& folder, Tally& tally) {
    int temporary = 0;
    const std::string prefix = std::string(kFileName) + ".";
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(".tmp")) {
            ++temporary;
        } else if (name != kFileName) {
            ++tally.otherFiles;
        }
        fs::remove(entry.path());
    }
    tally.temporaryFiles += temporary;
    tally.killsLeavingTemporary += temporary > 0 ? 1 : 0;
}

void judge(const std::optional<std::string>& text, const Versions& versions, const fs::path& keep,
           Tally& tally) {
    if (!text) {
        ++tally.missing;
        return;
    }
    const auto found = std::find(versions.texts.begin(), versions.texts.end(), *text);
    if (found == versions.texts.end()) {
        if (tally.torn++ == 0) {
            writeBytes(keep, *text);
            std::printf("torn file (%zu bytes) kept as %s\n", text->size(), keep.c_str());
        }
        return;
    }
    tally.versionSeen[static_cast<std::size_t>(found - versions.texts.begin())] = true;
    ++(found + 1 == versions.texts.end() ? tally.unchanged : tally.replaced);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--writer") {
        return runWriter(argv[2]);
    }
    const int kills = argc > 1 ? std::atoi(argv[1]) : 1000;
    const unsigned seed =
        argc > 2 ? static_cast<unsigned>(std::atoll(argv[2])) : std::random_device{}();
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string pattern = (fs::temp_directory_path() / "morvel-kill-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path folder = pattern;
    const fs::path path = folder / kFileName;

    const Versions versions = recordVersions(path);
    // From before the writer's first write (it needs about a millisecond to start) to some
    // forty writes in, capped so that a slow disk still finishes in a few minutes.
    const double maxDelayMs = std::min(1.0 + 40 * versions.writeMs, 150.0);
    std::printf("one write takes %.2f ms; kills from 0 to %.1f ms after the start (seed %u)\n",
                versions.writeMs, maxDelayMs, seed);

    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayUs(0, static_cast<int>(maxDelayMs * 1000));
    Tally tally;
    tally.versionSeen.assign(versions.texts.size(), false);
    for (int i = 0; i < kills; ++i) {
        writeBytes(path, versions.texts.back());
        const pid_t writer = startWriter(self, path.string());
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        ++tally.kills;
        tally.writerStopped += WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? 0 : 1;
        judge(readBytes(path), versions, folder.parent_path() / "morvel-kill-torn.ini", tally);
        sweepFolder(folder, tally);
    }
    fs::remove(folder);

    const auto seen = std::count(tally.versionSeen.begin(), tally.versionSeen.end(), true);
    std::printf("kills: %d\n", tally.kills);
    std::printf("files intact: %d (the starting version %d, a new one %d; %td of %zu versions)\n",
                tally.unchanged + tally.replaced, tally.unchanged, tally.replaced, seen,
                versions.texts.size());
    std::printf("torn files: %d (and missing files: %d)\n", tally.torn, tally.missing);
    std::printf("temporary files left beside the settings file: %d (by %d kills)\n",
                tally.temporaryFiles, tally.killsLeavingTemporary);
    if (tally.otherFiles > 0 || tally.writerStopped > 0) {
        std::printf("other files left: %d; writers that stopped before the kill: %d\n",
                    tally.otherFiles, tally.writerStopped);
    }
    const bool failed = tally.torn + tally.missing + tally.writerStopped > 0;
    return failed ? 1 : 0;
}

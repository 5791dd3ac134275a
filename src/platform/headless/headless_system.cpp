// The screens, the cursor, the screen-saver host (registry, password libraries, the window
// list), the system (files, clock, shell) and the mixer: fakes the driver sets up and reads.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/ascii.h"
#include "common/utf8.h"
#include "platform/headless/headless_platform.h"

namespace morvel::headless {

namespace {

class FakeRegistryKey final : public platform::RegistryKey {
  public:
    explicit FakeRegistryKey(std::map<std::string, std::optional<std::uint32_t>> values)
        : values_(std::move(values)) {}
    bool hasValue(std::string_view name) override { return find(name) != values_.end(); }
    std::optional<std::uint32_t> readInteger(std::string_view name) override {
        auto it = find(name);
        return it == values_.end() ? std::nullopt : it->second;
    }

  private:
    std::map<std::string, std::optional<std::uint32_t>>::iterator find(std::string_view name) {
        return std::find_if(values_.begin(), values_.end(), [&](const auto& entry) {
            return ascii::equalsIgnoringCase(entry.first, name);
        });
    }
    std::map<std::string, std::optional<std::uint32_t>> values_;
};

class FakeLibrary final : public platform::Library {
  public:
    FakeLibrary(HeadlessPlatform& platform, LibraryFake fake)
        : platform_(platform), fake_(std::move(fake)) {
        ++platform_.librariesLoaded;
    }
    ~FakeLibrary() override { --platform_.librariesLoaded; }

    bool hasEntryPoint(std::string_view name) override {
        return fake_.entryPoints.count(std::string(name)) > 0;
    }
    bool verifyScreenSavePassword(Handle owner) override {
        require("VerifyScreenSavePwd");
        Prompt prompt;
        prompt.kind = Prompt::Kind::Password;
        prompt.owner = owner;
        return platform_.runPrompt(std::move(prompt)).passwordAccepted;
    }
    void changePassword(const std::string& provider, Handle owner) override {
        require("PwdChangePasswordA");
        Prompt prompt;
        prompt.kind = Prompt::Kind::PasswordChange;
        prompt.owner = owner;
        prompt.text = provider;
        platform_.runPrompt(std::move(prompt));
    }

  private:
    void require(const std::string& entry) {
        if (!fake_.entryPoints.count(entry)) {
            platform_.misuse.push_back("called missing entry point " + entry);
        }
    }
    HeadlessPlatform& platform_;
    LibraryFake fake_;
};

}  // namespace

// --- Screens ---------------------------------------------------------------------------------

std::vector<platform::Rect> HeadlessPlatform::monitors() const {
    if (screens.empty()) {
        misuse.push_back("monitors asked of a machine without screens");
        return {platform::Rect{0, 0, 0, 0}};
    }
    std::vector<platform::Rect> ordered = screens;
    std::stable_sort(ordered.begin() + 1, ordered.end(),
                     [](const platform::Rect& a, const platform::Rect& b) {
                         return a.left != b.left ? a.left < b.left : a.top < b.top;
                     });
    return ordered;
}

platform::Size HeadlessPlatform::screenSize() const {
    if (screens.empty()) {
        misuse.push_back("screen size asked of a machine without screens");
        return {};
    }
    return {screens.front().width, screens.front().height};
}

int HeadlessPlatform::showCursor(bool show) {
    cursorCount += show ? 1 : -1;
    return cursorCount;
}

void HeadlessPlatform::setScreenSaverRunning(bool running) {
    screenSaverRunning = running;
    screenSaverRunningCalls.push_back(running);
}

// --- System ---------------------------------------------------------------------------------

char HeadlessPlatform::pathSeparator() const {
    return static_cast<char>(std::filesystem::path::preferred_separator);
}

bool HeadlessPlatform::fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(utf8::toPath(path), error);
}

std::uint32_t HeadlessPlatform::millisecondsSinceMidnight() {
    return static_cast<std::uint32_t>((clockBaseMs + nowMs_) % (24LL * 3600 * 1000));
}

std::string HeadlessPlatform::localTimeText() {
    const std::uint32_t minutes = millisecondsSinceMidnight() / 60000;
    char text[8];
    std::snprintf(text, sizeof text, "%02u:%02u", minutes / 60 % 24, minutes % 60);
    return text;
}

std::vector<std::string> HeadlessPlatform::filesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(utf8::toPath(folder), error), end;
         !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) {
            names.push_back(utf8::fromPath(it->path().filename()));
        }
    }
    return names;
}

// Windows-1252: Latin-1 but for 0x80 to 0x9F, which hold typographic marks and a few letters.
std::string HeadlessPlatform::codePageToUtf8(std::string_view text) {
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021, 0x2C6,  0x2030, 0x160,
        0x2039, 0x152,  0x8D,   0x17D,  0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t code = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
        if (code < 0x80) {
            result += static_cast<char>(code);
        } else if (code < 0x800) {
            result += static_cast<char>(0xC0 | (code >> 6));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            result += static_cast<char>(0xE0 | (code >> 12));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return result;
}

std::intptr_t HeadlessPlatform::shellOpen(Handle parent, const std::string& target,
                                          platform::ShowCommand show) {
    shellOpens.push_back({parent, target, show});
    return shellResult;
}

// --- Host -----------------------------------------------------------------------------------

std::unique_ptr<platform::RegistryKey> HeadlessPlatform::openCurrentUserKey(
    const std::string& path) {
    for (const auto& [key, values] : registry) {
        if (ascii::equalsIgnoringCase(key, path)) {
            return std::make_unique<FakeRegistryKey>(values);
        }
    }
    return nullptr;
}

std::unique_ptr<platform::Library> HeadlessPlatform::loadLibrary(const std::string& path) {
    libraryLoads.push_back(path);
    for (const auto& [where, fake] : libraries) {
        if (ascii::equalsIgnoringCase(where, path)) {
            return std::make_unique<FakeLibrary>(*this, fake);
        }
    }
    return nullptr;
}

bool HeadlessPlatform::findWindow(const std::string& className, const std::string& caption) {
    auto matches = [&](const std::string& c, const std::string& t) {
        return ascii::equalsIgnoringCase(c, className) && t == caption;
    };
    return std::any_of(foreignWindows.begin(), foreignWindows.end(),
                       [&](const auto& w) { return matches(w.first, w.second); }) ||
           std::any_of(windows_.begin(), windows_.end(), [&](const auto& w) {
               return matches(w.second.design.className, w.second.design.caption);
           });
}

// --- Mixer -----------------------------------------------------------------------------------

std::uint32_t HeadlessPlatform::mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                              std::uint32_t& lineId) {
    ++mixer.queries;
    if (mixerId != 0 || componentType != platform::mixer::kComponentTypeDstSpeakers) {
        misuse.push_back("mixer line query for another device or line");
    }
    if (mixer.lineResult == 0) {
        lineId = mixer.lineId;
    }
    return mixer.lineResult;
}

std::uint32_t HeadlessPlatform::mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                                 std::uint32_t controlType,
                                                 std::uint32_t& controlId) {
    if (mixerId != 0 || lineId != mixer.lineId ||
        controlType != platform::mixer::kControlTypeMute) {
        misuse.push_back("mixer control query for another line or control");
    }
    if (mixer.controlResult == 0) {
        controlId = mixer.controlId;
    }
    return mixer.controlResult;
}

std::uint32_t HeadlessPlatform::mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                                bool value) {
    if (mixerId != 0 || controlId != mixer.controlId) {
        misuse.push_back("mixer value set on another control");
    }
    if (mixer.setResult == 0) {
        mixer.muteValues.push_back(value);
    }
    return mixer.setResult;
}

}  // namespace morvel::headless

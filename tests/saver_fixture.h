// What the saver and start-up tests share: a simulated machine with a settings folder,
// video files on disk and helpers to check what the user saw.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "harness/simulation.h"

namespace morvel::platform {
inline void PrintTo(const Rect& rect, std::ostream* out) {
    *out << "{" << rect.left << ", " << rect.top << ", " << rect.width << " x " << rect.height
         << "}";
}
}  // namespace morvel::platform

namespace morvel::testing {

// A simulation that fails the test, at its end, on every prompt or report the test did not
// look at and on every misuse of the backend. `context` names the run among several.
class CheckedSimulation : public harness::Simulation {
  public:
    explicit CheckedSimulation(std::string context = "") : context_(std::move(context)) {}
    ~CheckedSimulation() override {
        for (const std::string& problem : unexpected()) {
            ADD_FAILURE() << context_ << (context_.empty() ? "" : ": ") << problem;
        }
    }
    CheckedSimulation(const CheckedSimulation&) = delete;
    CheckedSimulation& operator=(const CheckedSimulation&) = delete;

  private:
    std::string context_;
};

class SimulationTest : public ::testing::Test {
  protected:
    CheckedSimulation sim;
    headless::HeadlessPlatform& os = sim.platform();

    std::string settingsPath() const { return (sim.folder() / "morvel4.ini").string(); }

    void writeSettings(const std::string& text) const {
        std::ofstream(settingsPath(), std::ios::binary) << text;
    }

    // A real file on disk (the saver checks that listed files exist), with a media script.
    std::string makeMedia(const std::string& name, headless::MediaScript script = {}) {
        const std::filesystem::path path = sim.folder() / "media" / utf8::toPath(name);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << "not really a video";
        os.media[utf8::fromPath(path)] = script;
        return utf8::fromPath(path);
    }

    // A settings file listing `videos` in slots 1.., the rest "Null", plus `options` lines.
    static std::string settingsText(const std::vector<std::string>& videos,
                                    const std::string& options = "",
                                    const std::string& soundFile = "") {
        std::string text = "[VidConfig]\r\n";
        for (int n = 1; n <= 500; ++n) {
            const auto index = static_cast<std::size_t>(n - 1);
            text += "Name" + std::to_string(n) + "=" +
                    (index < videos.size() ? videos[index] : std::string("Null")) + "\r\n";
        }
        text += "[Options]\r\n" + options;
        text += "[WavConfig]\r\nName1=" + soundFile + "\r\n";
        return text;
    }

    // Checks the innermost open prompt is this message box and closes it with OK.
    void expectBox(platform::MessageBoxKind kind, const std::string& caption,
                   const std::string& text) {
        headless::Prompt* prompt = sim.openPrompt();
        ASSERT_NE(prompt, nullptr) << "expected a box: " << text;
        EXPECT_EQ(prompt->kind, headless::Prompt::Kind::MessageBox);
        EXPECT_EQ(prompt->boxKind, kind);
        EXPECT_EQ(prompt->caption, caption);
        EXPECT_EQ(prompt->text, text);
        sim.answer();
    }

    std::vector<std::string> playedFiles() const {
        std::vector<std::string> files;
        for (const auto& play : os.plays) {
            files.push_back(play.file);
        }
        return files;
    }
};

}  // namespace morvel::testing

// What the settings dialog tests share: a simulated machine whose Windows directory is a
// folder of its own (so a test can take it away), the dialog started with /C, and readers
// for its controls and the settings file's bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "saver_fixture.h"

namespace morvel::testing {

class SettingsTest : public SimulationTest {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(windowsFolder());
        os.windowsDir = windowsFolder().string();
    }

    std::filesystem::path windowsFolder() const { return sim.folder() / "windows"; }
    std::string storeFile() const { return (windowsFolder() / "morvel4.ini").string(); }

    void writeStore(const std::string& text) const {
        std::ofstream(storeFile(), std::ios::binary) << text;
    }
    std::string storeText() const {
        std::ifstream in(storeFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // "[VidConfig]" with Name1..Name500: `videos` first, "Null" after them.
    static std::string slotsText(const std::vector<std::string>& videos = {}) {
        std::string text = "[VidConfig]\r\n";
        for (std::size_t n = 1; n <= 500; ++n) {
            text += "Name" + std::to_string(n) + "=" +
                    (n <= videos.size() ? videos[n - 1] : std::string("Null")) + "\r\n";
        }
        return text;
    }

    // A video path; the dialog never needs the file to exist.
    std::string video(const std::string& name) const {
        return utf8::fromPath(sim.folder() / "videos" / utf8::toPath(name));
    }

    void startSettings() {
        sim.start("morvel.scr /C");
        ASSERT_FALSE(sim.ended());
        ASSERT_NE(os.window("TForm2"), nullptr);
    }

    // The settings dialog's own controls (the sound dialog and the preview reuse names).
    const headless::ControlState& control(const std::string& name) const {
        const headless::ControlState* found = os.control("TForm2", name);
        if (found == nullptr) {
            throw std::invalid_argument("no control " + name + " in TForm2");
        }
        return *found;
    }
    std::string caption(const std::string& name) const { return control(name).caption; }
    bool checked(const std::string& name) const { return control(name).checked; }
    std::vector<std::string> listed() const { return control("ListBox1").items; }
    void click(const std::string& name) { sim.click("TForm2", name); }

    // Answers the open file (or folder) dialog with this path, or cancels it.
    void pick(std::optional<std::string> path) {
        headless::Prompt* prompt = sim.openPrompt();
        ASSERT_NE(prompt, nullptr) << "no dialog to answer";
        EXPECT_NE(prompt->kind, headless::Prompt::Kind::MessageBox) << prompt->text;
        sim.answerPath(std::move(path));
    }
    void addVideo(const std::string& path) {
        click("Button2");
        pick(path);
    }

    bool dialogOpen() const { return !sim.ended() && os.window("TForm2")->visible; }
    void pressOk() { click("Cmdexit"); }
};

}  // namespace morvel::testing

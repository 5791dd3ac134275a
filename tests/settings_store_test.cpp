// The settings file's bulk write, which the settings dialog uses for the new file, for
// Clear Entire List, for adding a folder and for OK.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "store/ini_file.h"

namespace morvel::store {
namespace {

namespace fs = std::filesystem;

class IniWriteAllTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("morvel_write_all_" + std::to_string(std::random_device()()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string fileWith(const std::string& name, const std::string& text) const {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder_;
};

TEST_F(IniWriteAllTest, GivesTheBytesOfTheSingleWritesInOrder) {
    const std::string text = "; mine\n[Options]\nStarton=1\nSound=1\n[Other]\nx=y\n";
    IniFile single(fileWith("single.ini", text));
    single.deleteKey("options", "STARTON");
    single.writeString("Options", "Sound", "0");
    single.writeString("WavConfig", "Name1", "");
    single.writeString("Options", "Picdis", "4");
    single.deleteKey("Options", "Endon");

    IniFile bulk(fileWith("bulk.ini", text));
    bulk.writeAll({{"options", "STARTON", std::nullopt},
                   {"Options", "Sound", "0"},
                   {"WavConfig", "Name1", ""},
                   {"Options", "Picdis", "4"},
                   {"Options", "Endon", std::nullopt}});
    EXPECT_EQ(contents(bulk.path()), contents(single.path()));
    EXPECT_EQ(contents(bulk.path()),
              "; mine\n[Options]\nSound=0\nPicdis=4\n[Other]\nx=y\n[WavConfig]\nName1=\n");
}

TEST_F(IniWriteAllTest, OneUnstorableChangeWritesNothingAtAll) {
    const std::string path = fileWith("morvel4.ini", "[s]\r\na=1\r\n");
    EXPECT_THROW(IniFile(path).writeAll({{"s", "a", "2"}, {"s", "b", "x\r\n[t]"}}),
                 std::invalid_argument);
    EXPECT_EQ(contents(path), "[s]\r\na=1\r\n");

    const std::string absent = (folder_ / "absent.ini").string();
    IniFile(absent).writeAll({{"s", "gone", std::nullopt}});
    EXPECT_FALSE(fs::exists(absent));  // nothing to change: no file made
}

TEST_F(IniWriteAllTest, AFolderThatCannotBeMadeIsReported) {
    std::ofstream(folder_ / "plain") << "a file where the folder should be";
    const std::string blocked = (folder_ / "plain" / "morvel4.ini").string();
    try {
        IniFile(blocked).writeAll({{"s", "a", "2"}});
        ADD_FAILURE() << "no StoreError";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.what(), "Unable to write to " + blocked);
    }
}

TEST_F(IniWriteAllTest, TemporaryFilesOfKilledWritersAreRemovedWhenOld) {
    const std::string path = fileWith("morvel4.ini", "[s]\r\na=1\r\n");
    const std::string abandoned = fileWith("morvel4.ini.1f-2e-3.tmp", "[s]\r\n");
    const std::string fresh = fileWith("morvel4.ini.4f-5e-6.tmp", "[s]\r\n");
    const std::string other = fileWith("other.ini.1f-2e-3.tmp", "[s]\r\n");
    for (const std::string& old : {abandoned, other}) {
        fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    IniFile(path).writeAll({{"s", "a", "2"}});
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(fresh));  // perhaps another writer's, still at work
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(contents(path), "[s]\r\na=2\r\n");
}

TEST_F(IniWriteAllTest, WhenNeitherCopyCanBeWrittenTheUsersCopyIsNamed) {
    std::ofstream(folder_ / "plain") << "a file where the folders should be";
    const StoreLocation blocked{(folder_ / "plain" / "morvel4.ini").string(),
                                (folder_ / "plain" / "user" / "morvel4.ini").string()};
    try {
        IniFile(blocked).writeAll({{"s", "a", "2"}});
        ADD_FAILURE() << "no StoreError";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.what(), "Unable to write to " + blocked.userCopy);
    }
}

}  // namespace
}  // namespace morvel::store

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "common/utf8.h"
#include "latin1.h"
#include "store/ini_file.h"
#include "store/store_path.h"

namespace morvel::store {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using std::nullopt;

// --- Reading the format -----------------------------------------------------------------

// A read straight from the text, checked against a snapshot of the same text: the saver
// reads through snapshots and the dialog straight from the file, and the two must agree.
std::optional<std::string> lookUp(std::string_view text, std::string_view section,
                                  std::string_view key) {
    std::optional<std::string> direct = findValue(text, section, key);
    EXPECT_EQ(IniSnapshot(text).find(section, key), direct)
        << "[" << section << "] " << key << " in " << testing::PrintToString(std::string(text));
    return direct;
}

TEST(IniRead, MatchesNamesWithoutRegardToCaseAndTrimsBlanks) {
    const std::string text = "[ Vid Config ]\r\n  Name1 =  a value \t\r\nOTHER=x\n[e]\nk= \t\r\n";
    EXPECT_EQ(lookUp(text, "vid config", "NAME1"), "a value");
    EXPECT_EQ(lookUp(text, "VID CONFIG", "other"), "x");
    EXPECT_EQ(lookUp(text, "E", "K"), "");
}

TEST(IniRead, CutsValuesAtNulAndAtTheLengthLimit) {
    EXPECT_EQ(lookUp("[s]\nk=ab \0cd\n"s, "s", "k"), "ab");
    EXPECT_EQ(lookUp("[s]\nk=" + std::string(5000, 'v'), "s", "k"),
              std::string(kMaxValueLength, 'v'));
    // The cut value carries no trailing blank either.
    EXPECT_EQ(lookUp("[s]\nk=" + std::string(2046, 'a') + " b\n", "s", "k"),
              std::string(2046, 'a'));
}

TEST(IniRead, FindsNothingOutsideTheSectionsKeyLines) {
    const std::string text =
        "k=before any section\n[a]\n;k=comment\n  ; k=comment\nk without equals\n[b]\nk=in b\n";
    EXPECT_EQ(lookUp(text, "a", "k"), nullopt);
    EXPECT_EQ(lookUp(text, "c", "k"), nullopt);
    EXPECT_EQ(lookUp(text, "", "k"), nullopt);
    EXPECT_EQ(lookUp(text, "b", "k"), "in b");
    EXPECT_EQ(lookUp("", "a", "k"), nullopt);
}

TEST(IniRead, TheFirstSectionAndTheFirstKeyWin) {
    const std::string text = "[s]\nk=1\nk=2\n[t]\nj=t\n[S]\nk=3\nj=4\n";
    EXPECT_EQ(lookUp(text, "s", "k"), "1");
    EXPECT_EQ(lookUp(text, "s", "j"), nullopt);  // only the first [s] is searched
}

TEST(IniRead, SkipsAByteOrderMarkOnlyAtTheStart) {
    EXPECT_EQ(lookUp("\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k"), "1");
    EXPECT_EQ(lookUp("[t]\n\xEF\xBB\xBF[s]\nk=1\n", "s", "k"), nullopt);
}

TEST(IniRead, ALoneCarriageReturnDoesNotEndALine) {
    EXPECT_EQ(lookUp("[s]\rk=1\n[t]\nk=2", "s", "k"), nullopt);
    EXPECT_EQ(lookUp("[s]\rk=1\n[t]\nk=2", "t", "k"), "2");
    EXPECT_EQ(lookUp("[s]\nk=1\r2\r\n", "s", "k"), "1\r2");
}

// One pair of the same quote around a value is not part of it, as the system's own reader
// takes it (these answers are Wine's GetPrivateProfileStringA's); blanks inside stay.
TEST(IniRead, DropsOnePairOfMatchingQuotesAsTheSystemReaderDoes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"("C:\My Videos\a.avi")", R"(C:\My Videos\a.avi)"},
        {"'a'", "a"},
        {R"("a')", R"("a')"},
        {R"("")", ""},
        {"''", ""},
        {R"(")", R"(")"},
        {"'", "'"},
        {R"(  " a "  )", " a "},
        {R"("a"b")", R"(a"b)"},
        {R"(""a"")", R"("a")"},
        {R"('"')", R"(")"},
        {R"(x"a")", R"(x"a")"},
        {"`a`", "`a`"},
    };
    for (const auto& [stored, read] : cases) {
        EXPECT_EQ(lookUp("[s]\r\nk=" + stored + "\r\n", "s", "k"), read) << stored;
    }
}

using morvel::test_support::latin1;

TEST(IniRead, AValueThatIsNotUtf8IsReadInTheSystemsCodePage) {
    const std::string text = "[s]\r\nold=\"C:\\caf\xE9.avi\"\r\nnew=C:\\\xD0\xB2\xD0\xB8.avi\r\n";
    std::vector<std::string> decoded;
    const LegacyDecoder decoder = [&](std::string_view value) {
        decoded.emplace_back(value);
        return latin1(value);
    };
    EXPECT_EQ(findValue(text, "s", "old", decoder), "C:\\caf\xC3\xA9.avi");
    EXPECT_EQ(findValue(text, "s", "new", decoder), "C:\\\xD0\xB2\xD0\xB8.avi");
    EXPECT_EQ(IniSnapshot(text, decoder).find("s", "old"), "C:\\caf\xC3\xA9.avi");
    EXPECT_EQ(IniSnapshot(text, decoder).find("s", "new"), "C:\\\xD0\xB2\xD0\xB8.avi");
    // Only the value, without its quotes, and only where it is not UTF-8 already (one read
    // and two snapshots).
    EXPECT_EQ(decoded, std::vector<std::string>(3, "C:\\caf\xE9.avi"));
    EXPECT_EQ(findValue(text, "s", "old"), "C:\\caf\xE9.avi");  // no decoder: the bytes

    // The length limit counts characters and never cuts one in two.
    const std::string cyrillic = "\xD1\x8F";  // one character, two bytes
    std::string many;
    for (int i = 0; i < 2100; ++i) {
        many += cyrillic;
    }
    std::string limit;
    for (std::size_t i = 0; i < kMaxValueLength; ++i) {
        limit += cyrillic;
    }
    EXPECT_EQ(lookUp("[s]\nk=" + many, "s", "k"), limit);
    EXPECT_EQ(findValue("[s]\nk=" + std::string(3000, '\xE9'), "s", "k", decoder),
              latin1(std::string(kMaxValueLength, '\xE9')));
}

// --- Writing the format -----------------------------------------------------------------

TEST(IniWrite, RewritesAKeyInPlaceKeepingEveryOtherByte) {
    const std::string text =
        "; settings\r\n[General]\r\n  speed = 3 \r\nname=x\r\n\r\n[Other]\r\nspeed=9\r\n";
    EXPECT_EQ(withValue(text, "general", "Speed", "12"),
              "; settings\r\n[General]\r\nSpeed=12\r\nname=x\r\n\r\n[Other]\r\nspeed=9\r\n");
}

TEST(IniWrite, PutsANewKeyAfterTheLastKeyOfItsSection) {
    EXPECT_EQ(withValue("[a]\nx=1\n; note\ny=2\n\n; about b\n[b]\nz=3\n", "A", "new", "v"),
              "[a]\nx=1\n; note\ny=2\nnew=v\n\n; about b\n[b]\nz=3\n");
    EXPECT_EQ(withValue("[a]\n\n[b]\n", "a", "k", "v"), "[a]\nk=v\n\n[b]\n");
    EXPECT_EQ(withValue("[a]\r\nx=1", "a", "k", "v"), "[a]\r\nx=1\r\nk=v\r\n");
}

TEST(IniWrite, PutsANewSectionAtTheEndInTheFilesLineEnding) {
    EXPECT_EQ(withValue("[a]\nx=1", "b", "k", "v"), "[a]\nx=1\n[b]\nk=v\n");
    EXPECT_EQ(withValue("", "VidConfig", "k", "v"), "[VidConfig]\r\nk=v\r\n");
    EXPECT_EQ(withValue("\xEF\xBB\xBF", "s", "k", "v"), "\xEF\xBB\xBF[s]\r\nk=v\r\n");
    EXPECT_EQ(withValue("; comment", "s", "k", "v"), "; comment\r\n[s]\r\nk=v\r\n");
}

TEST(IniWrite, DeletesOnlyTheOneKeyLine) {
    const std::string text = "\xEF\xBB\xBFx=0\r\n[a]\r\nx=1\r\ny=2\r\n[b]\r\nx=3\r\n";
    EXPECT_EQ(withValue(text, "a", "X", nullopt),
              "\xEF\xBB\xBFx=0\r\n[a]\r\ny=2\r\n[b]\r\nx=3\r\n");
    EXPECT_EQ(withValue(text, "a", "z", nullopt), text);
    EXPECT_EQ(withValue(text, "c", "x", nullopt), text);
    EXPECT_EQ(withValue("[a]\nx=1", "a", "x", nullopt), "[a]\n");
}

TEST(IniWrite, ChangesOnlyTheFirstOfDuplicates) {
    const std::string text = "[s]\nk=1\nk=2\n[S]\nk=3\nj=4\n";
    EXPECT_EQ(withValue(text, "s", "k", "9"), "[s]\nk=9\nk=2\n[S]\nk=3\nj=4\n");
    EXPECT_EQ(withValue(text, "s", "j", "5"), "[s]\nk=1\nk=2\nj=5\n[S]\nk=3\nj=4\n");
}

TEST(IniWrite, AValueThatWouldLoseItsQuotesGoesInsideOneMorePair) {
    EXPECT_EQ(withValue("", "s", "k", "'a'"), "[s]\r\nk=\"'a'\"\r\n");
    EXPECT_EQ(withValue("", "s", "k", " \"\" "), "[s]\r\nk=\"\"\"\"\r\n");
    EXPECT_EQ(withValue("", "s", "k", "\"a'"), "[s]\r\nk=\"a'\r\n");
    // Read back as written, less the blanks around it, as every value.
    for (const std::string& value : {"'a'"s, "\"a\""s, "\"\""s, "\"a'"s, "\""s, "'"s}) {
        EXPECT_EQ(lookUp(withValue("", "s", "k", " " + value + " "), "s", "k"), value);
    }
}

TEST(IniWrite, RefusesWhatWouldBreakTheFormat) {
    try {
        withValue("", "s", "k", "a\nb");
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "The value cannot be stored because it contains a line break.");
    }
    for (const std::string& value : {"a\r"s, "a\0b"s}) {
        EXPECT_THROW(withValue("", "s", "k", value), std::invalid_argument);
    }
    for (const std::string& name : {"a]"s, "a=b"s, "a\nb"s, "a\0"s}) {
        EXPECT_THROW(withValue("", name, "k", "v"), std::invalid_argument);
        EXPECT_THROW(withValue("", "s", name, "v"), std::invalid_argument);
    }
    EXPECT_THROW(withValue("", "s", " ;k", "v"), std::invalid_argument);
    EXPECT_THROW(withValue("", "s", "[k", "v"), std::invalid_argument);
}

// Random texts built from the characters that matter to the format: reading never fails
// (nor disagrees with a snapshot), a written value reads back, and other keys keep their
// values.
TEST(IniWrite, RoundTripsOnArbitraryTexts) {
    std::mt19937 random(12345);
    const std::string alphabet = "[]=;\r\n \t\0ksKS\xEF\xBB\xBF\xFF"s;
    const std::vector<std::string> names = {"s", "K", "k"};
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 60, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        const std::string& section = names[random() % names.size()];
        const std::string& key = names[random() % names.size()];
        const std::string other = section == "s" ? "k" : "s";
        const auto before = lookUp(text, other, key);
        const std::string written = withValue(text, section, key, " v ");
        ASSERT_EQ(lookUp(written, section, key), "v") << testing::PrintToString(text);
        ASSERT_EQ(lookUp(written, other, key), before) << testing::PrintToString(text);
        ASSERT_EQ(withValue(written, section, key, " v "), written);
        ASSERT_EQ(lookUp(withValue(text, section, key, nullopt), other, key), before);
    }
}

TEST(IniWrite, HandlesLargeTexts) {
    std::string text = "[s]\n" + std::string(4'000'000, 'x') + "\n";
    for (int i = 0; i < 300'000; ++i) {
        text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(findValue(text, "s", "key299999"), "299999");
    EXPECT_EQ(findValue(withValue(text, "S", "new", "1"), "s", "new"), "1");
}

TEST(IniInteger, ParsesDecimalAndHexadecimalText) {
    const std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases = {
        {"0x1F", 31},
        {"0X1f", 31},
        {"0X", nullopt},
        {"0x", nullopt},
        {"-5", -5},
        {"+5", 5},
        {"12abc", nullopt},
        {"99999999999", nullopt},
        {" 7 ", 7},
        {"0xFFFFFFFF", -1},
        {"0x100000000", nullopt},
        {"0x7g", nullopt},
        {"0x-1", nullopt},
        {"", nullopt},
        {"-", nullopt},
        {"- 5", nullopt},
        {"1 2", nullopt},
        {"\t-12\r", -12},
        {"0", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", nullopt},
        {"-2147483648", INT32_MIN},
        {"-2147483649", nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseInteger(text), expected) << '"' << text << '"';
    }
}

TEST(StorePath, JoinsTheDirectoryAndTheFileName) {
    EXPECT_EQ(storePath("", '\\'), "c:\\windows\\morvel4.ini");
    EXPECT_EQ(storePath("C:\\WINDOWS", '\\'), "C:\\WINDOWS\\morvel4.ini");
    EXPECT_EQ(storePath("C:\\", '\\'), "C:\\morvel4.ini");
    EXPECT_EQ(storePath("/home/ann/.config", '/'), "/home/ann/.config/morvel4.ini");
}

TEST(StorePath, TheUsersCopyLiesWhereWindowsRedirectsOlderPrograms) {
    const std::string local = "C:\\Users\\ann\\AppData\\Local";
    EXPECT_EQ(storeLocation("C:\\Windows", local, '\\').userCopy,
              local + "\\VirtualStore\\Windows\\morvel4.ini");
    EXPECT_EQ(storeLocation("", local + "\\", '\\').userCopy,
              local + "\\VirtualStore\\windows\\morvel4.ini");
    const StoreLocation onLinux = storeLocation("/home/ann/.config", "", '/');
    EXPECT_EQ(onLinux.shared, "/home/ann/.config/morvel4.ini");
    EXPECT_EQ(onLinux.userCopy, "");
}

// --- The file ---------------------------------------------------------------------------

class IniFileTest : public testing::Test {
  protected:
    void SetUp() override {
        std::random_device device;
        folder_ = fs::temp_directory_path() /
                  ("morvel_store_" +
                   std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   "_" + std::to_string(device()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(folder_, error);
    }

    std::string pathOf(const std::string& name) const { return (folder_ / name).string(); }

    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void put(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(utf8::fromPath(entry.path().filename()));
        }
        return names;
    }
    template <typename Write>
    static void expectStoreError(const std::string& path, Write write) {
        try {
            write();
            ADD_FAILURE() << "no StoreError";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.what(), "Unable to write to " + path);
        }
    }

    fs::path folder_;
};

TEST_F(IniFileTest, WritesReachTheFileAtOnceAndReadBack) {
    IniFile file(pathOf("morvel4.ini"));
    file.writeString("VidConfig", "Path", " c:\\videos ");
    file.writeInteger("VidConfig", "Speed", -42);
    file.writeBool("General", "Sound", false);
    EXPECT_EQ(contents(file.path()),
              "[VidConfig]\r\nPath= c:\\videos \r\nSpeed=-42\r\n[General]\r\nSound=0\r\n");
    EXPECT_EQ(file.readString("vidconfig", "path", "x"), "c:\\videos");
    EXPECT_EQ(file.readInteger("VidConfig", "Speed", 7), -42);
    EXPECT_FALSE(file.readBool("General", "Sound", true));

    put(file.path(), "[General]\nSound=2\nBad=12abc\nHuge=99999999999\n");  // another program
    EXPECT_TRUE(file.readBool("General", "Sound", false));
    EXPECT_EQ(file.readInteger("General", "Bad", 5), 5);
    EXPECT_EQ(file.readInteger("General", "Huge", 5), 5);
    EXPECT_TRUE(file.readBool("General", "Bad", true));
    EXPECT_FALSE(file.readBool("General", "Bad", false));
}

TEST_F(IniFileTest, AMissingFileReadsAsDefaultsAndDeletingDoesNotCreateIt) {
    IniFile file(pathOf("morvel4.ini"));
    EXPECT_FALSE(file.exists());
    EXPECT_EQ(file.readString("s", "k", "default"), "default");
    EXPECT_EQ(file.readInteger("s", "k", 3), 3);
    EXPECT_TRUE(file.readBool("s", "k", true));
    file.deleteKey("s", "k");
    EXPECT_FALSE(fs::exists(file.path()));

    file.writeInteger("s", "k", 1);
    file.writeInteger("s", "j", 2);
    EXPECT_TRUE(file.exists());
    file.deleteKey("S", "K");
    EXPECT_EQ(contents(file.path()), "[s]\r\nj=2\r\n");
}

TEST_F(IniFileTest, CreatesMissingFoldersOnTheFirstWrite) {
    IniFile file((folder_ / "config" / "deeper" / "morvel4.ini").string());
    file.writeString("s", "k", "v");
    EXPECT_EQ(IniFile(file.path()).readString("s", "k", ""), "v");
}

TEST_F(IniFileTest, AFolderThatCannotBeMadeFails) {
    put(folder_ / "plain", "not a folder");
    const std::string path = (folder_ / "plain" / "morvel4.ini").string();
    expectStoreError(path, [&] { IniFile(path).writeString("s", "k", "v"); });
}

TEST_F(IniFileTest, AFailedRenameLeavesNoTemporaryFile) {
    const std::string path = pathOf("morvel4.ini");
    fs::create_directory(path);
    put(fs::path(path) / "inside", "x");
    expectStoreError(path, [&] { IniFile(path).writeString("s", "k", "v"); });
    EXPECT_EQ(entries(), std::vector<std::string>{"morvel4.ini"});
}

TEST_F(IniFileTest, AReadOnlyFolderKeepsTheOldFile) {
    const std::string path = pathOf("morvel4.ini");
    put(path, "[s]\nk=old\n");
    std::error_code error;
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec, error);
    if (std::ofstream(folder_ / "probe")) {
        GTEST_SKIP() << "the folder stays writable here (administrator, or no such permission)";
    }
    expectStoreError(path, [&] { IniFile(path).writeString("s", "k", "new"); });
    EXPECT_EQ(contents(path), "[s]\nk=old\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"morvel4.ini"});
}

TEST_F(IniFileTest, AFileThatCannotBeReadIsNotOverwritten) {
    const std::string path = pathOf("morvel4.ini");
    put(path, "[s]\nk=old\n");
    std::error_code error;
    fs::permissions(path, fs::perms::owner_write, error);
    if (std::ifstream(path)) {
        GTEST_SKIP() << "the file stays readable here (administrator, or no such permission)";
    }
    expectStoreError(path, [&] { IniFile(path).writeString("s", "j", "new"); });
    fs::permissions(path, fs::perms::owner_read, fs::perm_options::add, error);
    EXPECT_EQ(contents(path), "[s]\nk=old\n");
}

TEST_F(IniFileTest, AValueThatWouldInjectLinesLeavesTheFileAlone) {
    IniFile file(pathOf("morvel4.ini"));
    file.writeString("s", "k", "v");
    EXPECT_THROW(file.writeString("s", "k", "v\r\n[t]\r\nx=1"), std::invalid_argument);
    EXPECT_EQ(contents(file.path()), "[s]\r\nk=v\r\n");
}

TEST_F(IniFileTest, ASnapshotHoldsTheFileAsItWasWhenTaken) {
    IniFile file(pathOf("morvel4.ini"));
    EXPECT_EQ(file.snapshot().readString("s", "k", "none"), "none");  // no file yet
    put(file.path(), "[s]\r\nk= one \r\nn=0x10\r\nb=0\r\nbad=1x\r\n");
    const IniSnapshot before = file.snapshot();
    put(file.path(), "[s]\r\nk=two\r\n");
    EXPECT_EQ(before.readString("S", "K", ""), "one");
    EXPECT_EQ(before.readInteger("s", "n", -1), 16);
    EXPECT_EQ(before.readInteger("s", "bad", -1), -1);
    EXPECT_FALSE(before.readBool("s", "b", true));
    EXPECT_TRUE(before.readBool("s", "absent", true));
    EXPECT_EQ(file.readString("s", "k", ""), "two");
    EXPECT_EQ(file.snapshot().readString("s", "k", ""), "two");
}

// An earlier version wrote the file in the system's code page; the user's folder may have a
// name in any script. Reads give UTF-8, and a write changes its one line and keeps the bytes
// of the others.
TEST_F(IniFileTest, AFileInTheCodePageInAFolderOfAnyScript) {
    const fs::path folder = folder_ / utf8::toPath("Пользователь 用户");
    fs::create_directories(folder);
    put(folder / "morvel4.ini", "[VidConfig]\r\nName1=C:\\caf\xE9.avi\r\nName2=Null\r\n");
    IniFile file(utf8::fromPath(folder / "morvel4.ini"), latin1);
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(file.readString("VidConfig", "Name1", ""), "C:\\café.avi");
    EXPECT_EQ(file.snapshot().readString("VidConfig", "Name1", ""), "C:\\café.avi");

    file.writeString("VidConfig", "Name2", "C:\\видео.avi");
    file.writeString("History", "Last Dir", "C:\\视频\\");
    EXPECT_EQ(contents(folder / "morvel4.ini"),
              "[VidConfig]\r\nName1=C:\\caf\xE9.avi\r\nName2=C:\\видео.avi\r\n"
              "[History]\r\nLast Dir=C:\\视频\\\r\n");
    EXPECT_EQ(file.readString("VidConfig", "Name2", ""), "C:\\видео.avi");
    EXPECT_EQ(entries(), std::vector<std::string>{utf8::fromPath(folder.filename())});
}

TEST_F(IniFileTest, FiveHundredKeysOneByOne) {
    IniFile file(pathOf("morvel4.ini"));
    for (int i = 1; i <= 500; ++i) {
        file.writeInteger("VidConfig", "Name" + std::to_string(i), i * 3);
    }
    for (int i = 1; i <= 500; ++i) {
        ASSERT_EQ(file.readInteger("VidConfig", "Name" + std::to_string(i), -1), i * 3);
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"morvel4.ini"});
}

}  // namespace
}  // namespace morvel::store

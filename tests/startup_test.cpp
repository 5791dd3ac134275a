#include <gtest/gtest.h>

#include "app/startup.h"
#include "saver_fixture.h"

namespace morvel::testing {
namespace {

using app::Mode;
using app::SelectMode;
using app::SplitCommandLine;

TEST(CommandLine, SplitsAtBlanksAndControlCharactersAndKeepsQuotedStretches) {
    EXPECT_EQ(SplitCommandLine("morvel.scr /S"), (std::vector<std::string>{"morvel.scr", "/S"}));
    EXPECT_EQ(SplitCommandLine("  \"C:\\Program Files\\morvel.scr\"\t/c:1234  \r\n"),
              (std::vector<std::string>{"C:\\Program Files\\morvel.scr", "/c:1234"}));
    EXPECT_EQ(SplitCommandLine("a\x01"
                               "b\x1f"
                               "c"),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("x /p\" 12\"34"), (std::vector<std::string>{"x", "/p 1234"}));
    EXPECT_TRUE(SplitCommandLine("").empty());
    EXPECT_TRUE(SplitCommandLine(" \t ").empty());
    EXPECT_EQ(SplitCommandLine("x \"unterminated quote"),
              (std::vector<std::string>{"x", "unterminated quote"}));
}

TEST(CommandLine, SelectsTheModeFromTheFirstArgumentOnly) {
    struct Case {
        std::vector<std::string> arguments;
        Mode expected;
    };
    const Case cases[] = {
        {{"/S"}, Mode::Saver},
        {{"/s"}, Mode::Saver},
        {{"/s", "1234"}, Mode::Saver},
        {{"/S", "/C"}, Mode::Saver},
        {{"/S:1234"}, Mode::None},
        {{"/Sx"}, Mode::None},
        {{"/C"}, Mode::Settings},
        {{"/c"}, Mode::Settings},
        {{"/c:1234"}, Mode::Settings},
        {{"/Cxyz"}, Mode::Settings},
        {{"/A"}, Mode::PasswordChange},
        {{"/a:1234"}, Mode::PasswordChange},
        {{"/p", "1234"}, Mode::None},
        {{"/P:1234"}, Mode::None},
        {{"/"}, Mode::None},
        {{""}, Mode::None},
        {{"S"}, Mode::None},
        {{"-s"}, Mode::None},
        {{}, Mode::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SelectMode(c.arguments), c.expected)
            << (c.arguments.empty() ? "(none)" : c.arguments.front());
    }
}

class StartupTest : public SimulationTest {};

TEST_F(StartupTest, ArgumentsThatSelectNothingEndAtOnceWithoutAWindow) {
    for (const char* line :
         {"morvel.scr", "morvel.scr /p 1234", "morvel.scr /S:1234", "morvel.scr /"}) {
        CheckedSimulation other{line};
        other.start(line);
        EXPECT_TRUE(other.ended()) << line;
        EXPECT_EQ(other.platform().window("TForm1"), nullptr) << line;
    }
}

TEST_F(StartupTest, ARunningSaverMakesEverySwitchEndAtOnce) {
    for (const char* line : {"morvel.scr /S", "morvel.scr /c", "morvel.scr /a"}) {
        CheckedSimulation other{line};
        other.platform().foreignWindows.push_back({"TForm1", "Frmmorvel33"});
        other.platform().libraries[other.platform().systemDir + "\\MPR.DLL"] = {};
        other.start(line);
        EXPECT_TRUE(other.ended()) << line;
        EXPECT_EQ(other.platform().window("TForm1"), nullptr) << line;
        EXPECT_TRUE(other.platform().libraryLoads.empty()) << line;
        EXPECT_TRUE(other.platform().screenSaverRunningCalls.empty()) << line;
    }
}

TEST_F(StartupTest, AWindowOfAnotherCaptionIsNoRunningSaver) {
    os.foreignWindows.push_back({"TForm1", "Something else"});
    os.foreignWindows.push_back({"TForm2", "Frmmorvel33"});
    sim.start("morvel.scr /S");
    EXPECT_FALSE(sim.ended());
    EXPECT_NE(os.window("TForm1"), nullptr);
}

TEST_F(StartupTest, PasswordChangeCallsTheProviderDialogAndReleasesTheLibrary) {
    const std::string library = os.systemDir + os.pathSeparator() + "MPR.DLL";
    os.libraries[library].entryPoints = {"PwdChangePasswordA"};
    sim.start("morvel.scr /a:1234");
    headless::Prompt* prompt = sim.openPrompt();
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->kind, headless::Prompt::Kind::PasswordChange);
    EXPECT_EQ(prompt->text, "SCRSAVE");
    EXPECT_EQ(prompt->owner, 0u);
    sim.answer();
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.libraryLoads, (std::vector<std::string>{library}));
    EXPECT_EQ(os.librariesLoaded, 0);
    EXPECT_EQ(os.window("TForm1"), nullptr);
}

TEST_F(StartupTest, PasswordChangeWithoutLibraryOrEntryPointDoesNothing) {
    sim.start("morvel.scr /A");
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.libraryLoads.size(), 1u);

    CheckedSimulation noEntry{"no entry point"};
    noEntry.platform().libraries[noEntry.platform().systemDir + noEntry.platform().pathSeparator() +
                                 "MPR.DLL"] = {};
    noEntry.start("morvel.scr /A");
    EXPECT_TRUE(noEntry.ended());
    EXPECT_EQ(noEntry.platform().librariesLoaded, 0);
}

TEST_F(StartupTest, PasswordChangeLoadsTheBareNameWithoutASystemDirectory) {
    os.systemDir.clear();
    sim.start("morvel.scr /A");
    EXPECT_EQ(os.libraryLoads, (std::vector<std::string>{"MPR.DLL"}));
}

TEST(ErrorReport, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(platform::errorReportText("Volume setting error... error is #2"),
              "Volume setting error... error is #2.");
    EXPECT_EQ(platform::errorReportText("Done."), "Done.");
    EXPECT_EQ(platform::errorReportText("Really!"), "Really!");
    EXPECT_EQ(platform::errorReportText("path/"), "path/.");
    EXPECT_EQ(platform::errorReportText(""), "");
}

}  // namespace
}  // namespace morvel::testing

// The settings dialog: the list of videos, the display, order, monitor and sound options, and
// the About, Support and More Software buttons. It is settings mode's main window.
//
// The list is written to the settings file at once on every change; the options only when
// the user presses OK. Each action opens the file by its path for that action only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/window.h"
#include "store/ini_file.h"

namespace morvel::settings {

class TFrmSound;
class TFrmMore;
class Tfrmdisc;

inline constexpr const char* kSettingsClassName = "TForm2";
inline constexpr int kSlotCount = 500;
inline constexpr int kMinimumVideoSize = 25;
// What an empty slot holds in the settings file.
inline constexpr const char* kEmptySlot = "Null";

// An empty slot: "Null" exactly, or a blank value (a key missing from the file reads as one
// blank). Any other text, "NULL" included, is a video.
bool IsEmptySlot(const std::string& value);

// The file name part of a path, after its last directory separator.
std::string FileNamePart(const std::string& path, char separator);
// The directory part of a path, with its trailing separator; empty when there is none.
std::string DirectoryPart(const std::string& path, char separator);
// Whether `name` matches one of the ";"-separated wildcard patterns ("*" and "?"), without
// regard to letter case.
bool MatchesAnyPattern(const std::string& name, const std::string& patterns);

class TForm2 {
  public:
    // Creates the window and its controls and runs FormCreate; an exception leaving
    // FormCreate is shown as the standard error report and the dialog works regardless.
    explicit TForm2(platform::Platform& platform);
    ~TForm2();
    TForm2(const TForm2&) = delete;
    TForm2& operator=(const TForm2&) = delete;

    platform::Handle handle() const { return window_.get(); }
    // The about box that About shows; settings mode creates it beside the dialog.
    void AttachAboutBox(Tfrmdisc& about) { frmdisc_ = &about; }
    // Shows the dialog with the keyboard focus in the list.
    void Show();

    // Options; settings_options.cpp reads them from the file and writes them back.
    void FormCreate();
    void LoadSettings();
    void SaveSettings();
    void RefreshListLabels();
    void LoadLastDir();
    void ScrollBar1Scroll();
    void ScrollBar2Scroll();
    void cmdwavClick();
    void CmdexitClick();
    bool FormCloseQuery();
    void FormKeyDown(int virtualKey);
    void cmdhelpClick();
    void CmdSoundClick();
    void CmdMoreClick();
    void BitBtn1Click();
    void button4Click();

    // The video list.
    // Puts `path` into the first empty slot, in the file and the list; false when the list
    // is full (reported to the user when `reportFull`).
    bool AddVideo(const std::string& path, bool reportFull);
    // Puts as many of `paths` as fit into empty slots, in order, in one write of the file;
    // returns how many.
    int AddVideos(const std::vector<std::string>& paths);
    void RemoveSelectedVideo();
    void SaveLastDir(const std::string& path);
    void Button2Click();
    void Button3Click();
    void CmdClearListClick();
    void CmdPreviewClick();
    void ListBox1Click();
    void ListBox1DblClick();
    void CmdAddEntireClick();

  private:
    platform::WindowSpec windowSpec();
    void createControls();
    void createListControls();
    void createListButtons(platform::Handle group);
    void createDisplayGroup();
    void createCustomSizeGroup(platform::Handle displayGroup);
    void createPlayOrderGroup();
    void createMonitorsGroup();
    void createSoundGroups();
    void createCommandButtons();
    platform::Handle createButton(platform::ControlSpec design, void (TForm2::*handler)());
    // Runs `step`, remembering a write of the file that was refused before passing it on.
    void NotingRefusals(const std::function<void()>& step);
    void CloseAndEnd();
    platform::Handle createOption(const char* name, platform::Handle group, int left, int top,
                                  const char* caption);
    // An option button of a fixed size, with its hint as a tooltip.
    platform::Handle createOption(const char* name, platform::Handle group, platform::Rect bounds,
                                  const char* caption, const char* hint);

    // The file, its values that an earlier version wrote in the system's code page read
    // through the platform.
    store::IniFile Store() const {
        return store::IniFile(StorePath, [&platform = platform_](std::string_view text) {
            return platform.codePageToUtf8(text);
        });
    }
    void CreateCompleteStore();
    // Every slot of the file set empty, for one write.
    static std::vector<store::KeyChange> AllSlotsEmpty();
    void LoadSizeLabels(int storedHeight, int storedWidth);
    void ListFilledSlots();
    std::optional<int> FirstEmptySlot(int from = 1) const;
    void ListVideo(int slot, const std::string& path);
    std::optional<std::string> SelectedVideo() const;
    std::vector<std::string> VideosInFolder(const std::string& folder) const;
    int DisplaySizeChoice() const;
    int PlayOrderChoice() const;
    // The monitor buttons in the order of their stored values, 0 to 3.
    std::array<platform::Handle, 4> MonitorButtons() const;
    int MonitorsChoice() const;
    void Tell(const std::string& text);
    void ShowNoItems();
    char Separator() const { return platform_.pathSeparator(); }

    platform::Platform& platform_;
    platform::UniqueWindow window_;
    Tfrmdisc* frmdisc_ = nullptr;
    std::unique_ptr<TFrmSound> FrmSound;
    std::unique_ptr<TFrmMore> FrmMore;

    store::StoreLocation StorePath;
    // OK is the one way out, unless the file refused a write: then Esc and the system's
    // close leave too, without saving the options, so the user is never trapped.
    bool StoreRefused = false;
    bool OptionsSaved = false;
    // Entry 0: the sound file as loaded; entries 1 to 500 mirror the file's Name1..Name500.
    std::array<std::string, kSlotCount + 1> Slots;
    std::int16_t VideoCount = 0;
    // Where the video open dialog starts: Last Dir at first, then the folder of the last pick.
    std::string OpenDialog2Directory;

    platform::Handle ListBox1_ = 0;
    platform::Handle Lblcount_ = 0;
    platform::Handle LblVidName_ = 0;
    platform::Handle Radpicdef_ = 0;
    platform::Handle radpicl_ = 0;
    platform::Handle radpicm_ = 0;
    platform::Handle radpics_ = 0;
    platform::Handle Radpicc_ = 0;
    platform::Handle ScrollBar1_ = 0;
    platform::Handle ScrollBar2_ = 0;
    platform::Handle Lblwidth_ = 0;
    platform::Handle Lblheight_ = 0;
    platform::Handle RadioButton1_ = 0;
    platform::Handle RadioButton2_ = 0;
    platform::Handle radshuffle_ = 0;
    platform::Handle radmonblack_ = 0;
    platform::Handle radmonsame_ = 0;
    platform::Handle radmondiff_ = 0;
    platform::Handle radmonspan_ = 0;
    platform::Handle edwav_ = 0;
    platform::Handle radsndon_ = 0;
    platform::Handle radsndof_ = 0;
    platform::Handle radrepon_ = 0;
    platform::Handle radrepoff_ = 0;
};

}  // namespace morvel::settings

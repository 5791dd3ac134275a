// The settings dialog's window, its controls and their handlers, outside the video list.
// How the options map to the settings file is settings_options.cpp's.
#include "settings/settings_dialog.h"

#include <algorithm>
#include <memory>
#include <string>

#include "settings/about_box.h"
#include "settings/form_controls.h"
#include "settings/maker.h"
#include "settings/more_dialog.h"
#include "settings/sound_dialog.h"
#include "store/store_path.h"

namespace morvel::settings {

using platform::ControlKind;
using platform::Handle;
using platform::Rect;

namespace {

constexpr const char* kIntroduction =
    "Click the \"Add\" button to add any video files to your screensaver. Note that you can "
    "double-click any video in your list to automatically open it, or click the \"Preview\" "
    "button to open a viewer. You can also play videos full-screen.";

constexpr const char* kOpeningWebSite =
    "We will now display the software downloads site. Please be sure you are connected to "
    "the internet, then click OK to view more software downloads.";
constexpr const char* kBrowserFailed =
    "You cannot view the download site because your browser would not open. You can still "
    "view the download site by opening your web browser and pointing to ";

// The shell reports failure with a value below this.
constexpr std::intptr_t kShellFirstSuccess = 32;

constexpr int kEscapeKey = 0x1B;

}  // namespace

TForm2::TForm2(platform::Platform& platform)
    : platform_(platform), window_(platform, windowSpec()) {
    createControls();
    platform::invokeHandler(platform_, [this] { NotingRefusals([this] { FormCreate(); }); });
}

TForm2::~TForm2() = default;

void TForm2::Show() {
    platform_.showWindow(handle(), true);
    platform_.setFocus(ListBox1_);
}

// --- The window and its controls ------------------------------------------------------------

platform::WindowSpec TForm2::windowSpec() {
    platform::WindowSpec design;
    design.className = kSettingsClassName;
    design.caption = "Morvel Screensaver Options";
    design.style = platform::WindowStyle::FixedDialog;
    design.clientSize = {642, 477};
    design.centered = true;
    design.background = kDialogGrey;
    design.onCloseQuery = [this] { return FormCloseQuery(); };
    design.keyPreview = true;
    design.onKeyDown = [this](int virtualKey) { FormKeyDown(virtualKey); };
    return design;
}

void TForm2::createControls() {
    createListControls();
    createDisplayGroup();
    createMonitorsGroup();
    createPlayOrderGroup();
    createSoundGroups();
    createCommandButtons();
}

Handle TForm2::createButton(platform::ControlSpec design, void (TForm2::*handler)()) {
    design.kind = ControlKind::Button;
    design.onClick = [this, handler] { NotingRefusals([this, handler] { (this->*handler)(); }); };
    return platform_.createControl(handle(), design);
}

void TForm2::NotingRefusals(const std::function<void()>& step) {
    try {
        step();
    } catch (const store::StoreError&) {
        StoreRefused = true;
        throw;
    }
}

Handle TForm2::createOption(const char* name, Handle group, int left, int top,
                            const char* caption) {
    return createOption(name, group, Rect{left, top, 0, 0}, caption, "");
}

Handle TForm2::createOption(const char* name, Handle group, Rect bounds, const char* caption,
                            const char* hint) {
    platform::ControlSpec design =
        MakeSpec(ControlKind::RadioButton, name, group, bounds, caption, Arial(9, false, kNavy));
    design.hint = hint;
    return platform_.createControl(handle(), design);
}

void TForm2::createListControls() {
    platform::ControlSpec intro =
        MakeSpec(ControlKind::Label, "Label3", 0, Rect{5, 5, 631, 28}, kIntroduction);
    intro.wordWrap = true;
    platform_.createControl(handle(), intro);

    platform::ControlSpec list =
        MakeSpec(ControlKind::ListBox, "ListBox1", 0, Rect{1, 37, 640, 100}, "", Arial(8, true));
    list.background = platform::Color::rgb(232, 232, 232);
    list.listRowHeight = 14;
    list.tabOrder = 0;
    list.onClick = [this] { ListBox1Click(); };
    list.onDoubleClick = [this] { ListBox1DblClick(); };
    ListBox1_ = platform_.createControl(handle(), list);

    platform::ControlSpec group =
        MakeSpec(ControlKind::GroupBox, "GroupBox2", 0, Rect{1, 140, 640, 64},
                 "Add or Remove Video Files", Arial(8, true));
    group.tabOrder = 1;
    const Handle group2 = platform_.createControl(handle(), group);
    createListButtons(group2);
    Lblcount_ = platform_.createControl(
        handle(), MakeSpec(ControlKind::Label, "Lblcount", group2, Rect{14, 46, 209, 13}));
    LblVidName_ = platform_.createControl(
        handle(), MakeSpec(ControlKind::Label, "LblVidName", group2, Rect{246, 46, 385, 13}));
}

void TForm2::createListButtons(Handle group) {
    struct ListButton {
        const char* name;
        Rect bounds;
        const char* caption;
        const char* hint;
        const char* image;
        void (TForm2::*handler)();
    };
    const ListButton buttons[] = {
        {"Button2",
         {6, 18, 106, 21},
         "Add Video",
         "Add a video to your list",
         "add",
         &TForm2::Button2Click},
        {"CmdAddEntire",
         {115, 18, 106, 21},
         "Add Entire Folder",
         "Add an entire folder of videos at once",
         "folder",
         &TForm2::CmdAddEntireClick},
        {"CmdClearList",
         {225, 18, 106, 21},
         "Clear Entire List",
         "Empty your list of videos",
         "clear",
         &TForm2::CmdClearListClick},
        {"Button3",
         {335, 18, 106, 21},
         "Remove Video",
         "Remove the highlighted video from your list",
         "remove",
         &TForm2::Button3Click},
        {"CmdSound",
         {445, 18, 106, 20},
         "Video Sound",
         "Turn mute on/off by video",
         "sound",
         &TForm2::CmdSoundClick},
        {"CmdPreview",
         {560, 15, 75, 24},
         "Preview",
         "Preview the highlighted video",
         "preview",
         &TForm2::CmdPreviewClick},
    };
    for (const ListButton& button : buttons) {
        platform::ControlSpec design =
            MakeSpec(ControlKind::Button, button.name, group, button.bounds, button.caption);
        design.hint = button.hint;
        design.image = button.image;
        createButton(design, button.handler);
    }
}

void TForm2::createDisplayGroup() {
    platform::ControlSpec group =
        MakeSpec(ControlKind::GroupBox, "GroupBox6", 0, Rect{2, 210, 350, 202},
                 "Video Display Options", Arial(8, true));
    group.tabOrder = 5;
    const Handle group6 = platform_.createControl(handle(), group);
    Radpicdef_ = createOption("Radpicdef", group6, 10, 16, "Default Video Size (Clearest)");
    radpicl_ = createOption("radpicl", group6, 204, 16, "Large (Full Screen)");
    radpicm_ = createOption("radpicm", group6, 204, 33, "Medium");
    radpics_ = createOption("radpics", group6, 204, 49, "Small");
    Radpicc_ = createOption("Radpicc", group6, 10, 83, "Customize Video Window Below");
    createCustomSizeGroup(group6);
}

void TForm2::createCustomSizeGroup(Handle displayGroup) {
    const Handle custom = platform_.createControl(
        handle(), MakeSpec(ControlKind::GroupBox, "Groupcust", displayGroup, Rect{10, 109, 335, 87},
                           "Customize Video Display", Arial(8, true)));
    auto sizeBar = [&](const char* name, int left, void (TForm2::*onScroll)()) {
        platform::ControlSpec bar =
            MakeSpec(ControlKind::ScrollBar, name, custom, Rect{left, 43, 74, 13});
        bar.smallChange = 1;
        bar.largeChange = 1;
        bar.onScroll = [this, onScroll] { (this->*onScroll)(); };
        const Handle handle = platform_.createControl(this->handle(), bar);
        platform_.setScrollRange(handle, kMinimumVideoSize, 100);
        platform_.setScrollPosition(handle, kMinimumVideoSize);
        return handle;
    };
    const std::string start = std::to_string(kMinimumVideoSize);
    platform_.createControl(handle(), MakeSpec(ControlKind::Label, "Label1", custom,
                                               Rect{10, 24, 0, 0}, "Video Width"));
    ScrollBar1_ = sizeBar("ScrollBar1", 10, &TForm2::ScrollBar1Scroll);
    Lblwidth_ = platform_.createControl(
        handle(), MakeSpec(ControlKind::Label, "Lblwidth", custom, Rect{10, 65, 0, 0}, start));
    platform_.createControl(handle(), MakeSpec(ControlKind::Label, "Label2", custom,
                                               Rect{108, 24, 0, 0}, "Video Height"));
    ScrollBar2_ = sizeBar("ScrollBar2", 108, &TForm2::ScrollBar2Scroll);
    Lblheight_ = platform_.createControl(
        handle(), MakeSpec(ControlKind::Label, "Lblheight", custom, Rect{106, 65, 0, 0}, start));
}

void TForm2::createPlayOrderGroup() {
    platform::ControlSpec group = MakeSpec(ControlKind::GroupBox, "GroupBox5", 0,
                                           Rect{379, 210, 261, 44}, "Video Plays:", Arial(8, true));
    group.tabOrder = 8;
    const Handle group5 = platform_.createControl(handle(), group);
    // Sized rather than fitted to their captions: three side by side keep their gaps in every
    // backend's font.
    RadioButton2_ = createOption("RadioButton2", group5, Rect{6, 19, 96, 17}, "In Sequence", "");
    RadioButton1_ = createOption("RadioButton1", group5, Rect{108, 19, 72, 17}, "Random", "");
    radshuffle_ = createOption("radshuffle", group5, Rect{186, 19, 70, 17}, "Shuffle",
                               "Each round plays every video once, in a new order");
}

// What the saver shows on the monitors besides the primary; below the display options, in
// one row.
void TForm2::createMonitorsGroup() {
    platform::ControlSpec group = MakeSpec(ControlKind::GroupBox, "Groupmon", 0,
                                           Rect{2, 416, 528, 44}, "Other Monitors", Arial(8, true));
    group.tabOrder = 6;
    const Handle monitors = platform_.createControl(handle(), group);
    radmonblack_ = createOption("radmonblack", monitors, Rect{10, 19, 64, 17}, "Black",
                                "The video on the primary monitor, every other monitor black");
    radmonsame_ = createOption("radmonsame", monitors, Rect{90, 19, 96, 17}, "Same Video",
                               "The same video on every monitor");
    radmondiff_ = createOption("radmondiff", monitors, Rect{202, 19, 126, 17}, "Different Videos",
                               "A different video on each monitor");
    radmonspan_ = createOption("radmonspan", monitors, Rect{334, 19, 160, 17},
                               "One Video Across All", "One video spread across all the monitors");
}

void TForm2::createSoundGroups() {
    platform::ControlSpec soundGroup =
        MakeSpec(ControlKind::GroupBox, "GroupBox4", 0, Rect{379, 258, 261, 77},
                 "Wav or Midi Sound?", Arial(8, true));
    soundGroup.tabOrder = 2;
    const Handle group4 = platform_.createControl(handle(), soundGroup);
    platform::ControlSpec path = MakeSpec(ControlKind::Edit, "edwav", group4, Rect{3, 15, 253, 22});
    path.enabled = false;  // shown, not typed into: the file comes from the picker
    edwav_ = platform_.createControl(handle(), path);
    createButton(MakeSpec(ControlKind::Button, "cmdwav", group4, Rect{21, 47, 102, 19},
                          "Add a Sound File ", Arial(8, false, kNavy)),
                 &TForm2::cmdwavClick);
    radsndon_ = createOption("radsndon", group4, 142, 40, "Sound ON");
    radsndof_ = createOption("radsndof", group4, 142, 57, "Sound OFF");

    platform::ControlSpec repeatGroup =
        MakeSpec(ControlKind::GroupBox, "GroupBox3", 0, Rect{379, 340, 123, 72}, "Repeat Sound ",
                 Arial(8, true));
    repeatGroup.tabOrder = 3;
    const Handle group3 = platform_.createControl(handle(), repeatGroup);
    radrepon_ = createOption("radrepon", group3, 18, 22, "Repeat On");
    radrepoff_ = createOption("radrepoff", group3, 18, 45, "Repeat Off");
}

void TForm2::createCommandButtons() {
    platform::ControlSpec options =
        MakeSpec(ControlKind::Button, "CmdMore", 0, Rect{537, 354, 102, 21}, "More Options");
    options.hint = "Fit or fill the screen, the clock and the video's name";
    options.tabOrder = 11;
    createButton(options, &TForm2::CmdMoreClick);

    platform::ControlSpec support =
        MakeSpec(ControlKind::Button, "BitBtn1", 0, Rect{537, 379, 102, 21}, "Support");
    support.image = "support";
    support.tabOrder = 10;
    createButton(support, &TForm2::BitBtn1Click);

    platform::ControlSpec more =
        MakeSpec(ControlKind::Button, "button4", 0, Rect{537, 404, 102, 21}, "More Software");
    more.hint = "More software downloads";
    more.image = "web";
    more.tabOrder = 7;
    createButton(more, &TForm2::button4Click);

    platform::ControlSpec about =
        MakeSpec(ControlKind::Button, "cmdhelp", 0, Rect{537, 430, 102, 21}, "About");
    about.hint = "Version Information";
    about.tabOrder = 4;
    createButton(about, &TForm2::cmdhelpClick);

    platform::ControlSpec ok =
        MakeSpec(ControlKind::Button, "Cmdexit", 0, Rect{537, 455, 102, 21}, "OK");
    ok.hint = "Exit the software";
    ok.image = "ok";
    ok.defaultButton = true;
    ok.tabOrder = 9;
    createButton(ok, &TForm2::CmdexitClick);
}

// --- Loading ---------------------------------------------------------------------------------

void TForm2::FormCreate() {
    FrmSound = std::make_unique<TFrmSound>(platform_, handle());
    FrmMore = std::make_unique<TFrmMore>(platform_, handle());
    StorePath = store::storeLocation(platform_.windowsDirectory(),
                                     platform_.localAppDataDirectory(), Separator());
    VideoCount = 0;
    std::fill(Slots.begin() + 1, Slots.end(), kEmptySlot);
    const platform::Size screen = platform_.screenSize();
    platform_.setScrollRange(ScrollBar1_, kMinimumVideoSize,
                             std::max(screen.width, kMinimumVideoSize));
    platform_.setScrollRange(ScrollBar2_, kMinimumVideoSize,
                             std::max(screen.height, kMinimumVideoSize));
    const bool storeExists = Store().exists();
    if (storeExists) {
        LoadSettings();
    }
    ListFilledSlots();
    RefreshListLabels();
    if (IsEmptySlot(Slots[0])) {
        platform_.setEnabled(radsndon_, false);
        platform_.setEnabled(radsndof_, false);
    }
    LoadLastDir();
    if (!storeExists) {
        // Last, so that a refused write leaves a dialog that is set up all the same.
        CreateCompleteStore();
    }
}

// A new file holds the 500 empty slots and nothing else, so that both readers see an empty
// list rather than 500 blank keys. Options stay unwritten until OK.
void TForm2::CreateCompleteStore() {
    Store().writeAll(AllSlotsEmpty());
}

// --- The option controls' handlers -----------------------------------------------------------

void TForm2::ScrollBar1Scroll() {
    platform_.setCaption(Lblwidth_, std::to_string(platform_.scrollPosition(ScrollBar1_)));
}

void TForm2::ScrollBar2Scroll() {
    platform_.setCaption(Lblheight_, std::to_string(platform_.scrollPosition(ScrollBar2_)));
}

void TForm2::cmdwavClick() {
    platform::OpenFileRequest request;
    request.filters = {{"wav (*.wav);midi (*.mid)", "*.wav;*.mid"}};
    const std::optional<std::string> chosen = platform_.openFileDialog(handle(), request);
    if (!chosen || chosen->empty()) {
        return;
    }
    // The path reaches the file only through OK; the sound choice stays as it was.
    platform_.setCaption(edwav_, *chosen);
    platform_.setEnabled(radsndon_, true);
    platform_.setEnabled(radsndof_, true);
}

// --- Closing ---------------------------------------------------------------------------------

void TForm2::CmdexitClick() {
    SaveSettings();
    OptionsSaved = true;
    CloseAndEnd();
}

bool TForm2::FormCloseQuery() {
    if (!OptionsSaved && !StoreRefused) {
        return false;
    }
    FrmSound.reset();
    FrmMore.reset();
    return true;
}

void TForm2::FormKeyDown(int virtualKey) {
    if (virtualKey == kEscapeKey && StoreRefused) {
        CloseAndEnd();
    }
}

// The dialog is the main window: the program ends with it.
void TForm2::CloseAndEnd() {
    if (platform_.closeWindow(handle())) {
        platform_.quit();
    }
}

// --- The other buttons -----------------------------------------------------------------------

void TForm2::cmdhelpClick() {
    if (frmdisc_ != nullptr) {
        frmdisc_->ShowModal();
    }
}

void TForm2::CmdSoundClick() {
    if (FrmSound) {
        FrmSound->ShowModal();
    }
}

void TForm2::CmdMoreClick() {
    if (FrmMore) {
        FrmMore->ShowModal();
    }
}

void TForm2::BitBtn1Click() {
    Tell(std::string("For help with Morvel Screensaver, e-mail our support team at ") +
         kSupportEmail +
         ".\n\nA help file of questions and answers is installed in your Start menu, in the "
         "Morvel Screensaver folder.");
}

void TForm2::button4Click() {
    Tell(kOpeningWebSite);
    if (platform_.shellOpen(handle(), kWebSite, platform::ShowCommand::Maximized) <
        kShellFirstSuccess) {
        Tell(kBrowserFailed + std::string(kWebSite));
    }
}

void TForm2::Tell(const std::string& text) {
    platform_.messageBox(handle(), platform_.applicationTitle(), text,
                         platform::MessageBoxKind::Plain);
}

}  // namespace morvel::settings

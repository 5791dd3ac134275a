// The settings dialog's options and the settings file: the stored options read into the
// controls when the dialog opens, and the controls written back, in one write, on OK.
#include "settings/settings_dialog.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/more_dialog.h"
#include "settings/sound_dialog.h"
#include "store/ini_file.h"

namespace morvel::settings {

using platform::Handle;

namespace {

constexpr const char* kOptions = "Options";

// The option changes OK makes, collected so that they reach the file in one write.
class OptionChanges {
  public:
    void integer(const char* section, const char* key, int value) {
        changes_.push_back({section, key, std::to_string(value)});
    }
    void boolean(const char* key, bool value) { integer(kOptions, key, value ? 1 : 0); }
    void text(const char* section, const char* key, std::string value) {
        changes_.push_back({section, key, std::move(value)});
    }
    void remove(const char* section, const char* key) {
        changes_.push_back({section, key, std::nullopt});
    }
    const std::vector<store::KeyChange>& list() const { return changes_; }

  private:
    std::vector<store::KeyChange> changes_;
};

int ClampedSize(int stored, int screenSize) {
    if (stored > screenSize) {
        return screenSize;
    }
    return stored < kMinimumVideoSize ? kMinimumVideoSize : stored;
}

}  // namespace

// --- Reading the options into the controls ---------------------------------------------------

// One read of the file for every key: a file grown huge by hand is parsed once, not once for
// each of its 500 slots.
void TForm2::LoadSettings() {
    const store::IniSnapshot ini = Store().snapshot();
    const int starton = ini.readInteger(kOptions, "Starton", -1);
    const int endon = ini.readInteger(kOptions, "Endon", -1);
    FrmSound->LoadChoices(starton, endon);
    // A file of an earlier version, without the keys, shows what the saver does without
    // them: stretched, nothing over the video.
    MoreChoices more;
    more.fit = ini.readInteger(kOptions, "Fit", 0);
    more.clock = ini.readInteger(kOptions, "Clock", 0);
    more.caption = ini.readInteger(kOptions, "Caption", 0);
    more.nextKey = ini.readInteger(kOptions, "NextKey", 0);
    more.fade = ini.readInteger(kOptions, "Fade", 0);
    more.startAt = ini.readInteger(kOptions, "StartAt", 0);
    more.dark = ini.readInteger(kOptions, "Dark", 0);
    more.battery = ini.readInteger(kOptions, "Battery", 0);
    more.volume = ini.readInteger(kOptions, "Volume", 100);
    more.renderer = ini.readInteger(kOptions, "Renderer", 0);
    FrmMore->LoadChoices(more);

    platform_.setChecked(ini.readBool(kOptions, "Sound", true) ? radsndon_ : radsndof_, true);
    platform_.setChecked(ini.readBool(kOptions, "Repeat", true) ? radrepon_ : radrepoff_, true);

    const Handle displaySizes[] = {Radpicdef_, radpicl_, radpicm_, radpics_, Radpicc_};
    const int picdis = ini.readInteger(kOptions, "Picdis", -1);
    platform_.setChecked(displaySizes[picdis >= 1 && picdis <= 4 ? picdis : 0], true);
    // 1 random, 3 shuffled, anything else in sequence.
    const int picord = ini.readInteger(kOptions, "Picord", -1);
    const Handle playOrder = picord == 1   ? RadioButton1_
                             : picord == 3 ? radshuffle_
                                           : RadioButton2_;
    platform_.setChecked(playOrder, true);
    // Without the key the saver keeps the other monitors black. A value it does not know
    // selects none of the four rather than one the file does not hold.
    const int monitors = ini.readInteger(kOptions, "Monitors", 0);
    const std::array<Handle, 4> monitorButtons = MonitorButtons();
    if (monitors >= 0 && monitors < static_cast<int>(monitorButtons.size())) {
        platform_.setChecked(monitorButtons[static_cast<std::size_t>(monitors)], true);
    }

    const int height = ini.readInteger(kOptions, "Height", -1);
    const int width = ini.readInteger(kOptions, "Width", -1);
    LoadSizeLabels(height, width);

    for (int n = 1; n <= kSlotCount; ++n) {
        Slots[static_cast<std::size_t>(n)] =
            ini.readString("VidConfig", "Name" + std::to_string(n), " ");
    }
    Slots[0] = ini.readString("WavConfig", "Name1", " ");
    if (!IsEmptySlot(Slots[0])) {
        platform_.setCaption(edwav_, Slots[0]);
    }
}

void TForm2::LoadSizeLabels(int storedHeight, int storedWidth) {
    const platform::Size screen = platform_.screenSize();
    const int height = ClampedSize(storedHeight, screen.height);
    const int width = ClampedSize(storedWidth, screen.width);
    platform_.setCaption(Lblheight_, std::to_string(height));
    platform_.setCaption(Lblwidth_, std::to_string(width));
    platform_.setScrollPosition(ScrollBar1_, width);
    platform_.setScrollPosition(ScrollBar2_, height);
}

void TForm2::LoadLastDir() {
    OpenDialog2Directory = Store().readString("History", "Last Dir", "");
}

// --- Writing the controls back ---------------------------------------------------------------

int TForm2::DisplaySizeChoice() const {
    if (platform_.isChecked(Radpicdef_)) {
        return 5;
    }
    if (platform_.isChecked(Radpicc_)) {
        return 4;
    }
    if (platform_.isChecked(radpics_)) {
        return 3;
    }
    return platform_.isChecked(radpicm_) ? 2 : 1;
}

int TForm2::PlayOrderChoice() const {
    if (platform_.isChecked(radshuffle_)) {
        return 3;
    }
    return platform_.isChecked(RadioButton1_) ? 1 : 2;
}

std::array<Handle, 4> TForm2::MonitorButtons() const {
    return {radmonblack_, radmonsame_, radmondiff_, radmonspan_};
}

// None selected (no file, or a value the saver does not know) saves the black monitors.
int TForm2::MonitorsChoice() const {
    const std::array<Handle, 4> buttons = MonitorButtons();
    const auto checked = std::find_if(buttons.begin(), buttons.end(), [this](Handle button) {
        return platform_.isChecked(button);
    });
    return checked == buttons.end() ? 0 : static_cast<int>(checked - buttons.begin());
}

// All options go in one write: a refused write leaves the old options whole, and the dialog
// stays open with the user's choices so that OK can be tried again.
void TForm2::SaveSettings() {
    OptionChanges changes;
    const std::optional<int> start = FrmSound ? FrmSound->StartChoice() : std::nullopt;
    const std::optional<int> end = FrmSound ? FrmSound->EndChoice() : std::nullopt;
    if (start) {
        changes.integer(kOptions, "Starton", *start);
    }
    if (end) {
        changes.integer(kOptions, "Endon", *end);
    }
    if (!start && !end) {
        changes.remove(kOptions, "Starton");
        changes.remove(kOptions, "Endon");
    }
    changes.boolean("Sound", platform_.isChecked(radsndon_));
    changes.boolean("Repeat", platform_.isChecked(radrepon_));
    changes.integer(kOptions, "Picdis", DisplaySizeChoice());
    changes.integer(kOptions, "Picord", PlayOrderChoice());
    changes.integer(kOptions, "Monitors", MonitorsChoice());
    // Only FormCreate, LoadSettings and the scroll handlers set the labels: always numbers.
    const auto labelNumber = [this](Handle label) {
        return store::parseInteger(platform_.caption(label)).value_or(kMinimumVideoSize);
    };
    changes.integer(kOptions, "Height", labelNumber(Lblheight_));
    changes.integer(kOptions, "Width", labelNumber(Lblwidth_));
    if (FrmMore) {
        const MoreChoices more = FrmMore->Choices();
        changes.integer(kOptions, "Fit", more.fit);
        changes.integer(kOptions, "Clock", more.clock);
        changes.integer(kOptions, "Caption", more.caption);
        changes.integer(kOptions, "NextKey", more.nextKey);
        changes.integer(kOptions, "Fade", more.fade);
        changes.integer(kOptions, "StartAt", more.startAt);
        changes.integer(kOptions, "Dark", more.dark);
        changes.integer(kOptions, "Battery", more.battery);
        changes.integer(kOptions, "Volume", more.volume);
        changes.integer(kOptions, "Renderer", more.renderer);
    }
    changes.text("WavConfig", "Name1", platform_.caption(edwav_));
    Store().writeAll(changes.list());
}

}  // namespace morvel::settings

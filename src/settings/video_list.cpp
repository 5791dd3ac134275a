// The settings dialog's video list: every change is written to the settings file before the
// handler returns, slot by slot, so the file always holds the videos the user sees.
#include <algorithm>

#include "common/ascii.h"
#include "settings/preview_window.h"
#include "settings/settings_dialog.h"

namespace morvel::settings {

using platform::MessageBoxKind;

namespace {

constexpr const char* kListFull =
    "You have reached the maximum number of entries stored.  Please delete one if you wish to "
    "add another.";
constexpr const char* kNoItems =
    "There are no items in the list. Click ADD to add some pictures to the list.";
constexpr const char* kNothingToClear =
    "There are no videos in the list above. Please add some videos first.";
constexpr const char* kNotFoundInStore =
    "An error occurred while looking for the string to delete. You may need to delete your "
    "file and run the screen saver settings again which will re-create the file. If this "
    "continues contact technical support.";
constexpr const char* kFolderDialogTitle = "Choose a folder of videos to add to your list";

// The patterns of the video open dialog's first filter: the files that count as videos, also
// for a whole folder. Beside the four the filter's label names, what Windows 10 and 11 play
// through Media Foundation: MP4, M4V, MKV, WebM, MPEG transport streams (a camcorder's
// .mts and .m2ts), and 3GP from older phones.
constexpr const char* kVideoPatterns =
    "*.mpg;*.avi;*.mov;*.wmv;*.mpe;*.mpeg;*.mp4;*.m4v;*.mkv;*.webm;*.ts;*.m2ts;*.mts;*.3gp";

std::vector<platform::FileFilter> VideoFilters() {
    return {{"MPEG AVI MOV WMV", kVideoPatterns},
            {"MPEG", "*.mpg;*.mpe;*.mpeg"},
            {"AVI", "*.avi"},
            {"MOV", "*.mov"},
            {"WMV", "*.wmv"}};
}

std::string SlotKey(int slot) {
    return "Name" + std::to_string(slot);
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    // Iterative glob: remembers the last "*" to retry from, so it stays linear in practice.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || ascii::toLower(pattern[p]) == ascii::toLower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool NameOrder(const std::string& a, const std::string& b) {
    const auto lowerLess = [](char x, char y) { return ascii::toLower(x) < ascii::toLower(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerLess)) {
        return true;
    }
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lowerLess)) {
        return false;
    }
    return a < b;  // names that differ only in letter case keep a fixed order
}

std::string Videos(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " video" : " videos");
}

// What the user is told after adding a folder: how many were added, and how many did not fit.
std::string FolderAddedText(std::size_t added, std::size_t found) {
    if (found == 0) {
        return "There are no video files (MPEG, AVI, MOV or WMV) in this folder.";
    }
    const std::string listLimit = "Your list holds at most " + std::to_string(kSlotCount) +
                                  " videos; please delete some if you wish to add others.";
    if (added == 0) {
        return "Your list is full: none of the " + Videos(found) +
               " in this folder could be added. " + listLimit;
    }
    std::string text = Videos(added) + (added == 1 ? " was" : " were") + " added to your list.";
    if (added < found) {
        const std::size_t left = found - added;
        text += " The list is now full: " + std::to_string(left) + " more " +
                (left == 1 ? "was" : "were") + " not added. " + listLimit;
    }
    return text;
}

std::size_t LastSeparator(const std::string& path, char separator) {
    // "/" separates directories on every platform we run on; a drive colon ends one too.
    const std::string separators = separator == '\\' ? "\\/:" : std::string(1, separator) + "/";
    return path.find_last_of(separators);
}

}  // namespace

// --- Helpers --------------------------------------------------------------------------------

bool IsEmptySlot(const std::string& value) {
    return value == kEmptySlot ||
           std::all_of(value.begin(), value.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string FileNamePart(const std::string& path, char separator) {
    const std::size_t at = LastSeparator(path, separator);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string DirectoryPart(const std::string& path, char separator) {
    const std::size_t at = LastSeparator(path, separator);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

bool MatchesAnyPattern(const std::string& name, const std::string& patterns) {
    std::size_t begin = 0;
    while (begin <= patterns.size()) {
        const std::size_t end = std::min(patterns.find(';', begin), patterns.size());
        const std::string_view pattern(patterns.data() + begin, end - begin);
        if (!pattern.empty() && WildcardMatch(pattern, name)) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

std::vector<store::KeyChange> TForm2::AllSlotsEmpty() {
    std::vector<store::KeyChange> changes;
    for (int n = 1; n <= kSlotCount; ++n) {
        changes.push_back({"VidConfig", SlotKey(n), kEmptySlot});
    }
    return changes;
}

// --- The list as shown -------------------------------------------------------------------------

void TForm2::ListFilledSlots() {
    for (int n = 1; n <= kSlotCount; ++n) {
        const std::string& value = Slots[static_cast<std::size_t>(n)];
        if (!IsEmptySlot(value)) {
            platform_.addItem(ListBox1_, value);
            ++VideoCount;
        }
    }
}

void TForm2::RefreshListLabels() {
    const int count = platform_.itemCount(ListBox1_);
    if (count == 0) {
        platform_.setCaption(LblVidName_, "");
        platform_.setCaption(Lblcount_, "");
        return;
    }
    platform_.setSelectedIndex(ListBox1_, 0);
    platform_.setCaption(LblVidName_,
                         "Video: " + FileNamePart(platform_.itemText(ListBox1_, 0), Separator()));
    platform_.setCaption(Lblcount_, "Total Videos = " + std::to_string(count));
}

std::optional<std::string> TForm2::SelectedVideo() const {
    const int index = platform_.selectedIndex(ListBox1_);
    if (index < 0 || index >= platform_.itemCount(ListBox1_)) {
        return std::nullopt;
    }
    return platform_.itemText(ListBox1_, index);
}

void TForm2::ListBox1Click() {
    if (const std::optional<std::string> video = SelectedVideo()) {
        platform_.setCaption(LblVidName_, "Video: " + FileNamePart(*video, Separator()));
    }
}

void TForm2::ListBox1DblClick() {
    // The associated program opens it, or the platform reports the problem itself.
    if (const std::optional<std::string> video = SelectedVideo()) {
        platform_.shellOpen(handle(), *video, platform::ShowCommand::Normal);
    }
}

void TForm2::ShowNoItems() {
    platform_.messageBox(handle(), "Information", kNoItems, MessageBoxKind::Information);
}

// --- Adding --------------------------------------------------------------------------------------

std::optional<int> TForm2::FirstEmptySlot(int from) const {
    for (int n = from; n <= kSlotCount; ++n) {
        if (IsEmptySlot(Slots[static_cast<std::size_t>(n)])) {
            return n;
        }
    }
    return std::nullopt;
}

// The slot and the list change only after the file has taken the value.
void TForm2::ListVideo(int slot, const std::string& path) {
    Slots[static_cast<std::size_t>(slot)] = path;
    platform_.addItem(ListBox1_, path);
    ++VideoCount;
}

bool TForm2::AddVideo(const std::string& path, bool reportFull) {
    const std::optional<int> slot = FirstEmptySlot();
    if (!slot) {
        if (reportFull) {
            platform_.messageBox(handle(), "Confirm", kListFull, MessageBoxKind::Confirmation);
        }
        return false;
    }
    Store().writeString("VidConfig", SlotKey(*slot), path);
    ListVideo(*slot, path);
    RefreshListLabels();
    return true;
}

int TForm2::AddVideos(const std::vector<std::string>& paths) {
    std::vector<store::KeyChange> changes;
    std::vector<std::pair<int, std::string>> placed;
    std::optional<int> slot = FirstEmptySlot();
    for (const std::string& path : paths) {
        if (!slot) {
            break;
        }
        changes.push_back({"VidConfig", SlotKey(*slot), path});
        placed.emplace_back(*slot, path);
        slot = FirstEmptySlot(*slot + 1);
    }
    if (placed.empty()) {
        return 0;
    }
    Store().writeAll(changes);
    for (const auto& [number, path] : placed) {
        ListVideo(number, path);
    }
    RefreshListLabels();
    return static_cast<int>(placed.size());
}

void TForm2::SaveLastDir(const std::string& path) {
    Store().writeString("History", "Last Dir", DirectoryPart(path, Separator()));
}

void TForm2::Button2Click() {
    platform::OpenFileRequest request;
    request.filters = VideoFilters();
    request.initialDirectory = OpenDialog2Directory;
    const std::optional<std::string> chosen = platform_.openFileDialog(handle(), request);
    if (!chosen || chosen->empty()) {
        return;
    }
    AddVideo(*chosen, true);
    // Remembered even when the list was full.
    SaveLastDir(*chosen);
    OpenDialog2Directory = DirectoryPart(*chosen, Separator());
}

std::vector<std::string> TForm2::VideosInFolder(const std::string& folder) const {
    std::vector<std::string> names = platform_.filesInFolder(folder);
    std::erase_if(names,
                  [](const std::string& name) { return !MatchesAnyPattern(name, kVideoPatterns); });
    std::sort(names.begin(), names.end(), NameOrder);
    const bool endsWithSeparator =
        !folder.empty() && (folder.back() == Separator() || folder.back() == '/');
    const std::string prefix = endsWithSeparator ? folder : folder + Separator();
    for (std::string& name : names) {
        name = prefix + name;
    }
    return names;
}

void TForm2::CmdAddEntireClick() {
    // The folder picker starts where the video open dialog does.
    const std::optional<std::string> folder =
        platform_.folderDialog(handle(), kFolderDialogTitle, OpenDialog2Directory);
    if (!folder || folder->empty()) {
        return;
    }
    const std::vector<std::string> videos = VideosInFolder(*folder);
    const int added = AddVideos(videos);
    platform_.messageBox(handle(), "Information",
                         FolderAddedText(static_cast<std::size_t>(added), videos.size()),
                         MessageBoxKind::Information);
}

// --- Removing
// --------------------------------------------------------------------------------------

void TForm2::Button3Click() {
    if (VideoCount <= 0) {
        ShowNoItems();
        return;
    }
    RemoveSelectedVideo();
}

// Looks the entry up in the file, not in Slots: the file is what the saver plays, and another
// program may have changed it while the dialog was open.
void TForm2::RemoveSelectedVideo() {
    const int index = platform_.selectedIndex(ListBox1_);
    if (index < 0 || index >= platform_.itemCount(ListBox1_)) {
        return;
    }
    const std::string video = platform_.itemText(ListBox1_, index);
    store::IniFile ini = Store();
    const store::IniSnapshot stored = ini.snapshot();
    for (int n = 1; n <= kSlotCount; ++n) {
        if (stored.readString("VidConfig", SlotKey(n), " ") == video) {
            ini.writeString("VidConfig", SlotKey(n), kEmptySlot);
            platform_.deleteItem(ListBox1_, index);
            Slots[static_cast<std::size_t>(n)] = kEmptySlot;
            --VideoCount;
            RefreshListLabels();
            return;
        }
    }
    platform_.messageBox(handle(), "Error", kNotFoundInStore, MessageBoxKind::Error);
}

void TForm2::CmdClearListClick() {
    if (platform_.itemCount(ListBox1_) == 0) {
        Tell(kNothingToClear);
        return;
    }
    // One write for all 500 slots: a crash or a refused write never leaves half a list, and
    // the dialog changes only once the file has changed.
    Store().writeAll(AllSlotsEmpty());
    VideoCount = 0;
    std::fill(Slots.begin() + 1, Slots.end(), kEmptySlot);
    platform_.clearItems(ListBox1_);
    platform_.setCaption(LblVidName_, "");
    platform_.setCaption(Lblcount_, "");
}

// --- Preview
// -----------------------------------------------------------------------------------------

void TForm2::CmdPreviewClick() {
    if (VideoCount < 1) {
        ShowNoItems();
        return;
    }
    const std::optional<std::string> video = SelectedVideo();
    if (!video) {
        return;
    }
    // A new window for every preview; its device closes when it goes at the end of this scope.
    TFrmviddis preview(platform_, handle());
    preview.SetVideo(*video);
    preview.ShowModal();
}

}  // namespace morvel::settings

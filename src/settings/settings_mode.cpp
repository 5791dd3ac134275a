#include "app/startup.h"
#include "settings/about_box.h"
#include "settings/settings_dialog.h"

namespace morvel::app {

namespace {
// Settings mode uses the saver's title too, so its error reports carry the program's name.
constexpr const char* kApplicationTitle = "Morvel Screensaver";
}  // namespace

void RunSettingsMode(platform::Platform& platform) {
    platform.setApplicationTitle(kApplicationTitle);
    settings::TForm2 dialog(platform);
    settings::Tfrmdisc about(platform, dialog.handle());
    dialog.AttachAboutBox(about);
    dialog.Show();
    platform.runMessageLoop();
}

}  // namespace morvel::app

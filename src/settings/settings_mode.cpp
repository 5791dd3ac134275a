#include "app/startup.h"

namespace morvel::app {

// The settings dialog is not built yet; settings mode ends at once.
void RunSettingsMode(platform::Platform& /*platform*/) {}

}  // namespace morvel::app

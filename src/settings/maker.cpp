#include "settings/maker.h"

namespace morvel::settings {

const char* const kSupportEmail = MORVEL_SUPPORT_EMAIL;
const char* const kWebSite = MORVEL_WEBSITE;

}  // namespace morvel::settings

// The maker's support address and downloads site. Both are set when the program is built
// (the MORVEL_SUPPORT_EMAIL and MORVEL_WEBSITE cache variables), so a rebranded build
// changes them in one place.
#pragma once

namespace morvel::settings {

extern const char* const kSupportEmail;
extern const char* const kWebSite;

}  // namespace morvel::settings

// The about box: the version and the disclaimer. Settings mode creates it hidden beside the
// settings dialog; About shows it modally as often as the user asks.
#pragma once

#include "platform/platform.h"
#include "platform/window.h"

namespace morvel::settings {

inline constexpr const char* kAboutClassName = "Tfrmdisc";

class Tfrmdisc {
  public:
    Tfrmdisc(platform::Platform& platform, platform::Handle owner);
    Tfrmdisc(const Tfrmdisc&) = delete;
    Tfrmdisc& operator=(const Tfrmdisc&) = delete;

    platform::Handle handle() const { return window_.get(); }
    void ShowModal() { platform_.showModal(handle()); }

    void Button1Click();

  private:
    platform::WindowSpec windowSpec(platform::Handle owner) const;
    void createControls();

    platform::Platform& platform_;
    platform::UniqueWindow window_;
};

}  // namespace morvel::settings

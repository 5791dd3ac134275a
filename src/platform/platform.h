// The seam between the program and the operating system.
//
// Everything the program asks of the operating system goes through `Platform`, which
// gathers one small interface per service, each in a header of its own:
//
//   types.h            handles, messages, rectangles, colours, fonts
//   event_loop.h       the message loop, the application-wide handler, timers, the end
//   window_service.h   top-level windows
//   control_service.h  the controls of a window
//   dialog_service.h   message boxes and the file and folder choosers (nested loops)
//   screen_service.h   the screens and the cursor
//   host_service.h     the screen-saver host: running flag, registry, password libraries
//   system_service.h   files, folders, the clock, the shell
//   mixer_service.h    the system mixer
//   power_service.h    the power source, what the program holds awake
//   media_service.h    playback engines
//
// The forms in saver/ and settings/ create their windows and controls here with the
// positions, captions, fonts and colours they need; a backend never knows which form it is
// drawing. Backends live in platform/<name>/ and are the only code that includes an
// operating-system header. Every entry is required: a backend answers each one, the way its
// header says, also where its platform lacks the feature.
#pragma once

#include <functional>
#include <string>

#include "platform/control_service.h"
#include "platform/dialog_service.h"
#include "platform/event_loop.h"
#include "platform/host_service.h"
#include "platform/media_service.h"
#include "platform/mixer_service.h"
#include "platform/power_service.h"
#include "platform/screen_service.h"
#include "platform/system_service.h"
#include "platform/types.h"
#include "platform/window_service.h"

namespace morvel::platform {

class Platform : public EventLoop,
                 public WindowService,
                 public ControlService,
                 public DialogService,
                 public ScreenService,
                 public HostService,
                 public SystemService,
                 public MixerService,
                 public PowerService,
                 public MediaService {
  public:
    ~Platform() override = default;
};

// Runs an event handler; an exception that leaves it is shown as the standard error report.
void invokeHandler(Platform& platform, const std::function<void()>& handler);

// The standard error report: a box captioned with the application title, with the error
// icon, showing the message with a full stop appended when its last character sorts after ".".
void showErrorReport(Platform& platform, const std::string& message);
std::string errorReportText(const std::string& message);

// Runs the application-wide handler; an exception that leaves it ends the process with a
// report (Platform::endProcessWithReport). Backends call the handler only through this.
void invokeMessageHandler(Platform& platform, const Platform::MessageHandler& handler,
                          const Message& message, bool& handled);

}  // namespace morvel::platform

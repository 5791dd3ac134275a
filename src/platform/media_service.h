// Playback devices. Each engine is one device; MediaDevice (media/media_device.h) layers the
// callers' contract over it. Engines are made and used on the user-interface thread; see
// media/media_engine.h for what they do on threads of their own.
#pragma once

#include <memory>

#include "media/media_engine.h"

namespace morvel::platform {

// How the pictures of the playback engines reach the screen, numbered as the settings file
// stores the choice.
enum class Renderer : int {
    Automatic = 0,  // the graphics card where it can, else the system's drawing
    Gdi = 1,        // the system's drawing on the CPU
    Direct3D = 2,   // the graphics card; the system's drawing where there is none
};

class MediaService {
  public:
    virtual ~MediaService() = default;

    // A new engine with no device open. Never null.
    virtual std::unique_ptr<media::MediaEngine> createMediaEngine() = 0;
    // How the engines draw their pictures from now on, made before the first plays. A platform
    // with one way of drawing takes it and draws as before; one whose graphics card fails
    // (or is lost) draws as Gdi without a word, whatever was asked.
    virtual void preferRenderer(Renderer renderer) = 0;
};

}  // namespace morvel::platform

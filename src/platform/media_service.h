// Playback devices. Each engine is one device; MediaDevice (media/media_device.h) layers the
// callers' contract over it. Engines are made and used on the user-interface thread; see
// media/media_engine.h for what they do on threads of their own.
#pragma once

#include <memory>

#include "media/media_engine.h"

namespace morvel::platform {

class MediaService {
  public:
    virtual ~MediaService() = default;

    // A new engine with no device open. Never null.
    virtual std::unique_ptr<media::MediaEngine> createMediaEngine() = 0;
};

}  // namespace morvel::platform

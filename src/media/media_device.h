// One playback device: what the saver and the preview window play through.
//
// Every use runs: set the file name, Open, set the display rectangle (video only), Play;
// callers then poll Mode. Only Open raises on a platform failure; every other failure is
// kept in the last result code. Destroying the device closes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "media/media_engine.h"

namespace morvel::media {

// The device error; callers catch every exception alike.
class EMCIDeviceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class MediaDevice {
  public:
    // `display`: the window video is drawn into (a platform::Handle), 0 for none.
    MediaDevice(std::unique_ptr<MediaEngine> engine, std::uintptr_t display);
    ~MediaDevice();
    MediaDevice(const MediaDevice&) = delete;
    MediaDevice& operator=(const MediaDevice&) = delete;

    std::string FileName;

    void Open();
    void Play();
    void Stop();
    void Pause();
    void Resume();
    void Close();
    int Mode();
    void SetDisplayRect(VideoRect rect);
    // Whether the open device's own sound is heard (it is after every Open); set it between
    // Open and Play.
    void SetAudible(bool audible);
    VideoRect DisplayRect();
    // What the open clip is: its stored size, the shape of its pixels and its turn; all zero
    // when nothing with video is open or the device cannot tell.
    VideoShape Shape();
    // Draws the video also into `display` (a platform::Handle), from the same decoding, for
    // every Open after; false where the engine cannot, and then nothing changes. Made before
    // the first Open.
    bool AddMirror(std::uintptr_t display);
    // A mirror's rectangle, as SetDisplayRect (mirrors numbered from 0 in the order added);
    // set the mirrors' before the device's own.
    void SetMirrorRect(std::size_t mirror, VideoRect rect);
    // The open clip's length and where it is, in milliseconds; 0 when nothing is open or the
    // device cannot tell.
    std::uint32_t Length();
    std::uint32_t Position();
    // Between Open and Play: the clip starts `ms` from its start.
    void Seek(std::uint32_t ms);
    // Between Open and Play: the clip's own sound at this share (0 to 100) of full volume.
    void SetVolume(int percent);
    // Before an Open: the next files go where their pictures can be faded, where there is a
    // choice (MediaEngine::preferBlending).
    void PreferBlending(bool blending);
    // Whether the open clip's picture and sound can be faded; false when nothing is open.
    bool CanFade() const;
    // The weight of the picture over black, and of the sound, from `from` to `to` (0 to 1)
    // over `durationMs` from now; false where the device cannot.
    bool Fade(double from, double to, std::uint32_t durationMs);
    // The next request only goes without waiting.
    void WaitOffForNextRequest() { waitNext_ = false; }

    bool isOpen() const { return open_; }
    std::uint32_t Error() const { return lastResult_; }
    std::string ErrorMessage();

  private:
    void requireOpen() const;
    bool takeWait();
    std::uint32_t record(std::uint32_t result);

    std::unique_ptr<MediaEngine> engine_;
    std::uintptr_t display_;
    bool open_ = false;
    bool hasVideo_ = false;
    bool waitNext_ = true;
    std::uint32_t lastResult_ = 0;
};

}  // namespace morvel::media

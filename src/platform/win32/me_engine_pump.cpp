// The Media Engine's frame pump: the thread that asks the engine for each new frame,
// transfers it into the frame texture and hands it to the sink for every window.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "platform/win32/me_engine.h"

namespace morvel::win32 {

namespace {

// How often the pump asks for a new frame: a quarter of a 60 fps frame's time, so that a
// frame is passed on within a few milliseconds of its time, whatever the clip's rate. Asking
// costs the engine a comparison of clocks when there is none.
constexpr auto kPumpPeriod = std::chrono::milliseconds(4);

}  // namespace

void MeEngine::startPump() {
    pump_ = std::jthread([this](std::stop_token stop) { pumpFrames(stop); });
}

void MeEngine::stopPump() {
    if (pump_.joinable()) {
        pump_.request_stop();
        wake_.notify_all();
        pump_.join();
    }
}

void MeEngine::pumpFrames(std::stop_token stop) {
    // The engine's threads and this one share the device; the first frame of a clip not yet
    // played is passed on too, so the picture is there before play.
    double volumeSet = -1;
    LONGLONG lastTime = -1;
    while (!stop.stop_requested()) {
        // Wine's engine says a frame is new at every other tick, the same frame again: only a
        // frame of another time goes to the sink.
        LONGLONG presentationTime = 0;
        if (frame_ && engine_->OnVideoStreamTick(&presentationTime) == S_OK &&
            presentationTime != lastTime) {
            deliverFrame(presentationTime);
            lastTime = presentationTime;
        }
        std::unique_lock hold(lock_);
        const double volume = std::clamp(
            volumePercent_ / 100.0 * fade_.weightAt(media::FadeRamp::Clock::now()), 0.0, 1.0);
        hold.unlock();
        // Set only when it changes: the engine tells every listener of each change.
        if (std::abs(volume - volumeSet) > 1e-3) {
            engine_->SetVolume(volume);
            volumeSet = volume;
        }
        hold.lock();
        wake_.wait_for(hold, stop, kPumpPeriod, [] { return false; });
    }
}

void MeEngine::deliverFrame(LONGLONG presentationTime) {
    D3D11_TEXTURE2D_DESC description;
    frame_->GetDesc(&description);
    const RECT whole = {0, 0, static_cast<LONG>(description.Width),
                        static_cast<LONG>(description.Height)};
    const MFARGB black = {0, 0, 0, 255};
    if (FAILED(engine_->TransferVideoFrame(frame_.Get(), nullptr, &whole, &black))) {
        return;
    }
    EngineFrame frame;
    frame.texture = frame_.Get();
    frame.presentationTime = presentationTime;
    frame.engine = this;
    std::vector<Mirror> mirrors;
    {
        const std::scoped_lock hold(lock_);
        frame.place = place_;
        frame.window = window_;
        frame.weight = fade_.weightAt(media::FadeRamp::Clock::now());
        mirrors = mirrors_;
    }
    if (!sink_) {
        return;
    }
    sink_(frame);
    for (const Mirror& mirror : mirrors) {
        frame.window = mirror.window;
        frame.place = mirror.place;
        sink_(frame);
    }
}

}  // namespace morvel::win32

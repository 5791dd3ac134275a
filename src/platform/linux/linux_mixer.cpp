// The mixer: the ALSA simple mixer of the default card, one line, its mute switch, found by
// the same element each time.
#include "platform/linux/linux_platform.h"

#include <alsa/asoundlib.h>

#include <memory>
#include <string>

namespace morvel::linux_backend {

namespace {

// The mixer's result codes, numbered as the wave mixer numbers them, so that a failure reads
// the same in the program's report.
constexpr std::uint32_t kBadDevice = 2;       // no mixer on the default device
constexpr std::uint32_t kInvalidLine = 1024;  // no element with a playback switch
constexpr std::uint32_t kInvalidControl = 1025;

struct MixerClose {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using OwnedMixer = std::unique_ptr<snd_mixer_t, MixerClose>;

// ALSA's own complaints on the terminal: the program reports a failure by its code.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The default device's mixer, loaded; the ALSA error code when it cannot be had.
OwnedMixer OpenMixer(int& error) {
    snd_lib_error_set_handler(QuietAlsa);
    snd_mixer_t* raw = nullptr;
    error = snd_mixer_open(&raw, 0);
    OwnedMixer mixer(error == 0 ? raw : nullptr);
    if (error == 0 && (error = snd_mixer_attach(raw, "default")) == 0 &&
        (error = snd_mixer_selem_register(raw, nullptr, nullptr)) == 0) {
        error = snd_mixer_load(raw);
    }
    return error == 0 ? std::move(mixer) : nullptr;
}

// "Master" when it has a playback switch, else the first element that has one; its place
// among the elements is the line's number.
snd_mixer_elem_t* MuteElement(snd_mixer_t* mixer, std::uint32_t* index) {
    snd_mixer_elem_t* first = nullptr;
    std::uint32_t firstIndex = 0;
    std::uint32_t at = 0;
    for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer); element != nullptr;
         element = snd_mixer_elem_next(element), ++at) {
        if (!snd_mixer_selem_has_playback_switch(element)) {
            continue;
        }
        if (std::string(snd_mixer_selem_get_name(element)) == "Master") {
            *index = at;
            return element;
        }
        if (first == nullptr) {
            first = element;
            firstIndex = at;
        }
    }
    *index = firstIndex;
    return first;
}

}  // namespace

std::uint32_t LinuxPlatform::mixerFindLine(std::uint32_t /*mixerId*/, std::uint32_t /*type*/,
                                           std::uint32_t& lineId) {
    int error = 0;
    const OwnedMixer mixer = OpenMixer(error);
    if (!mixer) {
        return error < 0 ? static_cast<std::uint32_t>(-error) : kBadDevice;
    }
    return MuteElement(mixer.get(), &lineId) != nullptr ? 0 : kInvalidLine;
}

std::uint32_t LinuxPlatform::mixerFindControl(std::uint32_t /*mixerId*/, std::uint32_t lineId,
                                              std::uint32_t /*controlType*/,
                                              std::uint32_t& controlId) {
    controlId = lineId;  // the element's one switch
    return 0;
}

std::uint32_t LinuxPlatform::mixerSetBoolean(std::uint32_t /*mixerId*/, std::uint32_t controlId,
                                             bool value) {
    int error = 0;
    const OwnedMixer mixer = OpenMixer(error);
    if (!mixer) {
        return error < 0 ? static_cast<std::uint32_t>(-error) : kBadDevice;
    }
    std::uint32_t index = 0;
    snd_mixer_elem_t* element = MuteElement(mixer.get(), &index);
    if (element == nullptr || index != controlId) {
        return kInvalidControl;
    }
    // The switch is "sound on": muting turns it off.
    const int result = snd_mixer_selem_set_playback_switch_all(element, value ? 0 : 1);
    return result < 0 ? static_cast<std::uint32_t>(-result) : 0;
}

}  // namespace morvel::linux_backend

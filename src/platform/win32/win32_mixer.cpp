// The system mixer (platform/mixer_service.h): the wave mixer's records carry this build's
// own sizes.
#include "platform/win32/win32_platform.h"

#include <mmsystem.h>

namespace morvel::win32 {

namespace {

HMIXEROBJ MixerObject(std::uint32_t mixerId) {
    return reinterpret_cast<HMIXEROBJ>(static_cast<std::uintptr_t>(mixerId));
}

}  // namespace

std::uint32_t Win32Platform::mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                           std::uint32_t& lineId) {
    MIXERLINEA line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = componentType;
    const MMRESULT result = mixerGetLineInfoA(
        MixerObject(mixerId), &line, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_MIXER);
    if (result == MMSYSERR_NOERROR) {
        lineId = line.dwLineID;
    }
    return result;
}

std::uint32_t Win32Platform::mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                              std::uint32_t controlType, std::uint32_t& controlId) {
    MIXERCONTROLA control{};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA query{};
    query.cbStruct = sizeof(query);
    query.dwLineID = lineId;
    query.dwControlType = controlType;
    query.cControls = 1;
    query.cbmxctrl = sizeof(control);
    query.pamxctrl = &control;
    const MMRESULT result = mixerGetLineControlsA(
        MixerObject(mixerId), &query, MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_MIXER);
    if (result == MMSYSERR_NOERROR) {
        controlId = control.dwControlID;
    }
    return result;
}

std::uint32_t Win32Platform::mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                             bool value) {
    MIXERCONTROLDETAILS_BOOLEAN state{};
    state.fValue = value ? -1 : 0;
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof(details);
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(state);
    details.paDetails = &state;
    return mixerSetControlDetails(MixerObject(mixerId), &details,
                                  MIXER_SETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_MIXER);
}

}  // namespace morvel::win32

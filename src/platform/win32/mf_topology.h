// What the Media Foundation engine builds a file's session from: the file's source, the
// branches of its topology (a source stream to a sink), the sample grabber that hands the
// frames to a FrameSink, and what a video stream says of its picture.
#pragma once

#include <windows.h>

#include <mfidl.h>
#include <wrl/client.h>

#include <string>

#include "media/media_engine.h"
#include "platform/win32/mf_frame_sink.h"

namespace morvel::win32 {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

HRESULT CreateSource(const std::wstring& url, ComPtr<IMFMediaSource>& source);
HRESULT CreateFrameGrabber(FrameSink& frames, ComPtr<IMFActivate>& activate);
// Source stream -> sink, one branch of the topology. `keepSink`: the session does not shut
// the sink down when it closes (it serves the next file too).
HRESULT AddBranch(IMFTopology& topology, IMFMediaSource& source,
                  IMFPresentationDescriptor& presentation, IMFStreamDescriptor& stream,
                  IUnknown& sink, bool keepSink);
GUID MajorType(IMFStreamDescriptor& stream);
// The stored picture's size, the shape of its pixels and the turn the source reports
// (MF_MT_VIDEO_ROTATION; none reported, upright).
media::VideoShape StreamShape(IMFStreamDescriptor& stream);

}  // namespace morvel::win32

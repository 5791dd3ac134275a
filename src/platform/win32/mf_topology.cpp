#include "platform/win32/mf_topology.h"

#include <mfapi.h>

namespace morvel::win32 {

namespace {

// A pixel shape past this is junk in the file, and shown square.
constexpr UINT32 kMaxAspectTerm = 10000;

}  // namespace

HRESULT CreateSource(const std::wstring& url, ComPtr<IMFMediaSource>& source) {
    ComPtr<IMFSourceResolver> resolver;
    HRESULT result = MFCreateSourceResolver(&resolver);
    if (FAILED(result)) {
        return result;
    }
    MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
    ComPtr<IUnknown> object;
    // The extension does not decide: a renamed file plays by what it holds.
    result = resolver->CreateObjectFromURL(
        url.c_str(),
        MF_RESOLUTION_MEDIASOURCE |
            MF_RESOLUTION_CONTENT_DOES_NOT_HAVE_TO_MATCH_EXTENSION_OR_MIME_TYPE,
        nullptr, &type, &object);
    if (FAILED(result)) {
        return result;
    }
    return object.As(&source);
}

HRESULT CreateFrameGrabber(FrameSink& frames, ComPtr<IMFActivate>& activate) {
    ComPtr<IMFMediaType> type;
    HRESULT result = MFCreateMediaType(&type);
    if (SUCCEEDED(result)) {
        result = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    }
    if (SUCCEEDED(result)) {
        result = type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
    }
    if (SUCCEEDED(result)) {
        result = MFCreateSampleGrabberSinkActivate(type.Get(), &frames, &activate);
    }
    return result;
}

// Source stream -> sink, one branch of the topology.
HRESULT AddBranch(IMFTopology& topology, IMFMediaSource& source,
                  IMFPresentationDescriptor& presentation, IMFStreamDescriptor& stream,
                  IUnknown& sink, bool keepSink) {
    ComPtr<IMFTopologyNode> from;
    ComPtr<IMFTopologyNode> to;
    HRESULT result = MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, &from);
    if (SUCCEEDED(result)) {
        from->SetUnknown(MF_TOPONODE_SOURCE, &source);
        from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, &presentation);
        from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, &stream);
        result = topology.AddNode(from.Get());
    }
    if (SUCCEEDED(result)) {
        result = MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, &to);
    }
    if (SUCCEEDED(result)) {
        to->SetObject(&sink);
        // A sink kept for the next file is not the session's to shut down when it closes.
        to->SetUINT32(MF_TOPONODE_NOSHUTDOWN_ON_REMOVE, keepSink ? TRUE : FALSE);
        result = topology.AddNode(to.Get());
    }
    if (SUCCEEDED(result)) {
        result = from->ConnectOutput(0, to.Get(), 0);
    }
    return result;
}

GUID MajorType(IMFStreamDescriptor& stream) {
    ComPtr<IMFMediaTypeHandler> handler;
    GUID major = GUID_NULL;
    if (SUCCEEDED(stream.GetMediaTypeHandler(&handler))) {
        handler->GetMajorType(&major);
    }
    return major;
}

media::VideoShape StreamShape(IMFStreamDescriptor& stream) {
    media::VideoShape shape;
    ComPtr<IMFMediaTypeHandler> handler;
    ComPtr<IMFMediaType> type;
    if (FAILED(stream.GetMediaTypeHandler(&handler)) ||
        FAILED(handler->GetCurrentMediaType(&type))) {
        return shape;
    }
    UINT32 width = 0;
    UINT32 height = 0;
    MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &width, &height);
    shape.width = static_cast<int>(width);
    shape.height = static_cast<int>(height);
    UINT32 num = 0;
    UINT32 den = 0;
    if (SUCCEEDED(MFGetAttributeRatio(type.Get(), MF_MT_PIXEL_ASPECT_RATIO, &num, &den)) &&
        num > 0 && den > 0 && num <= kMaxAspectTerm && den <= kMaxAspectTerm) {
        shape.pixelAspectNum = static_cast<int>(num);
        shape.pixelAspectDen = static_cast<int>(den);
    }
    // The stored picture lies turned counter-clockwise by this much; it is shown turned back,
    // clockwise by as much.
    UINT32 rotation = 0;
    if (SUCCEEDED(type->GetUINT32(MF_MT_VIDEO_ROTATION, &rotation))) {
        shape.rotation =
            rotation == 90 || rotation == 180 || rotation == 270 ? static_cast<int>(rotation) : 0;
    }
    return shape;
}

}  // namespace morvel::win32

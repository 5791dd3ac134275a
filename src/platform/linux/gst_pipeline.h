// What the GStreamer engine builds its pipelines from: the plugins, the owning pointer of a
// GStreamer object, the file's URI, the check of a path before GStreamer opens it, the video
// sink.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;  // Xlib's Display, which this header leaves out with its macros

namespace morvel::linux_backend {

// Loads the plugins that the usual files play through (the player, the type finders, the
// containers, the decoders, the turn and the cut of the picture, the X output). Safe to run on a
// thread of its own after gst_init; a plugin that is being loaded when an element needs it is
// waited for.
void LoadMediaPlugins();

struct GstObjectRelease {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
// One reference to a GStreamer object.
template <typename T>
using GstOwned = std::unique_ptr<T, GstObjectRelease>;

// GDK's X connection, or nullptr when the display is not X.
::_XDisplay* XDisplay();

std::string FileUri(const std::string& file);

// Why `path` must not be handed to GStreamer, if it must not. GStreamer's file source opens
// the file on the thread that starts the pipeline, the user-interface thread, and a FIFO
// without a writer, or a path on a network share that has gone, never answers that open.
// So a path that is no regular file (a FIFO, a device, a folder) is refused at once, and one
// whose file system does not tell within `patience` what it is is refused then; the look
// that did not answer is left behind on a thread of its own. A missing or unreadable file
// passes: GStreamer refuses it with its own text, at once.
std::optional<std::string> RefusalOf(const std::string& path, std::chrono::milliseconds patience);

// The video sink of a pipeline: converts the frames once, then hands them to each branch
// (see VideoOutput::makeBranch), through a tee when there are several. Takes the branches;
// returns nullptr, having released them, when an element is missing.
GstElement* JoinBranches(const std::vector<GstElement*>& branches);

}  // namespace morvel::linux_backend

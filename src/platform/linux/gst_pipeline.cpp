#include "platform/linux/gst_pipeline.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <filesystem>
#include <future>
#include <thread>

namespace morvel::linux_backend {

namespace {

constexpr const char* kNotAFile =
    "Only a file can be played: this is a pipe, a device or a folder.";
constexpr const char* kNoAnswer =
    "The file does not answer: the drive or network share it is on may be gone.";

}  // namespace

void LoadMediaPlugins() {
    static constexpr const char* kPlugins[] = {
        "coreelements",
        "playback",
        "typefindfunctions",
        "isomp4",
        "videoparsersbad",
        "libav",
        "mpegpsdemux",
        "avi",
        "videoconvertscale",
        "videofilter",
        "deinterlace",
        "ximagesink",
        "volume",
    };
    for (const char* name : kPlugins) {
        if (GstPlugin* plugin = gst_plugin_load_by_name(name)) {
            gst_object_unref(plugin);
        }
    }
}

Display* XDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_X11_DISPLAY(display) ? GDK_DISPLAY_XDISPLAY(display)
                                                             : nullptr;
}

std::string FileUri(const std::string& file) {
    gchar* absolute = g_canonicalize_filename(file.c_str(), nullptr);
    gchar* uri = g_filename_to_uri(absolute, nullptr, nullptr);
    std::string result = uri != nullptr ? uri : "";
    g_free(uri);
    g_free(absolute);
    return result;
}

std::optional<std::string> RefusalOf(const std::string& path, std::chrono::milliseconds patience) {
    namespace fs = std::filesystem;
    // The look runs apart so that a file system that never answers keeps only that thread.
    auto answer = std::make_shared<std::promise<fs::file_type>>();
    std::future<fs::file_type> type = answer->get_future();
    std::thread([answer, path] {
        std::error_code ignored;
        answer->set_value(fs::status(path, ignored).type());
    }).detach();
    if (type.wait_for(patience) != std::future_status::ready) {
        return kNoAnswer;
    }
    switch (type.get()) {
        case fs::file_type::regular:
        case fs::file_type::not_found:
        case fs::file_type::none:  // not looked at: no permission to look
            return std::nullopt;
        default:
            return kNotAFile;
    }
}

GstElement* MakeVideoSink(GstElement** scaler) {
    GstElement* bin = gst_bin_new("morvel-video");
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* scale = gst_element_factory_make("videoscale", nullptr);
    *scaler = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("ximagesink", nullptr);
    if (convert == nullptr || scale == nullptr || *scaler == nullptr || sink == nullptr) {
        for (GstElement* made : {convert, scale, *scaler, sink}) {
            if (made != nullptr) {
                gst_object_unref(made);
            }
        }
        gst_object_unref(bin);
        return nullptr;
    }
    // Left to itself the sink watches the window on a thread that looks every 50 ms, and
    // stopping the sink waits for that look: up to 50 ms at every close, the last one
    // included, when a key has ended the saver. GTK says when the panel is drawn instead.
    g_object_set(sink, "force-aspect-ratio", FALSE, "handle-expose", FALSE, "handle-events", FALSE,
                 nullptr);
    // The picture fills the rectangle it is given, whatever its own shape, as on Windows.
    g_object_set(scale, "add-borders", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(bin), convert, scale, *scaler, sink, nullptr);
    gst_element_link_many(convert, scale, *scaler, sink, nullptr);
    GstPad* input = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    g_object_set_data(G_OBJECT(bin), "morvel-sink", sink);
    return bin;
}

}  // namespace morvel::linux_backend

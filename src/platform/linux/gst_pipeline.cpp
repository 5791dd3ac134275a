#include "platform/linux/gst_pipeline.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <algorithm>
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
        "videocrop",
        "asf",
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

GstElement* JoinBranches(const std::vector<GstElement*>& branches) {
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* tee = branches.size() > 1 ? gst_element_factory_make("tee", nullptr) : nullptr;
    const bool complete = convert != nullptr && !branches.empty() &&
                          (branches.size() == 1 || tee != nullptr) &&
                          std::find(branches.begin(), branches.end(), nullptr) == branches.end();
    if (!complete) {
        std::vector<GstElement*> made = branches;
        made.insert(made.end(), {convert, tee});
        for (GstElement* element : made) {
            if (element != nullptr) {
                gst_object_unref(element);
            }
        }
        return nullptr;
    }
    GstElement* bin = gst_bin_new("morvel-video");
    gst_bin_add(GST_BIN(bin), convert);
    // Converted once for every window: each branch only scales and draws.
    GstElement* fork = convert;
    if (tee != nullptr) {
        gst_bin_add(GST_BIN(bin), tee);
        gst_element_link(convert, tee);
        fork = tee;
    }
    for (GstElement* branch : branches) {
        gst_bin_add(GST_BIN(bin), branch);
        gst_element_link(fork, branch);
    }
    GstPad* input = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    return bin;
}

}  // namespace morvel::linux_backend

#include "platform/linux/gst_bus.h"

#include <utility>

namespace morvel::linux_backend {

PipelineReport::PipelineReport(GstElement* pipeline) : bus_(gst_element_get_bus(pipeline)) {
    gst_bus_set_sync_handler(bus_, OnMessage, this, nullptr);
}

PipelineReport::~PipelineReport() {
    gst_bus_set_sync_handler(bus_, nullptr, nullptr, nullptr);
    gst_object_unref(bus_);
}

GstBusSyncReply PipelineReport::OnMessage(GstBus* /*bus*/, GstMessage* message, gpointer self) {
    static_cast<PipelineReport*>(self)->record(message);
    return GST_BUS_DROP;
}

void PipelineReport::record(GstMessage* message) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        const std::lock_guard hold(lock_);
        events_.ended = true;
        return;
    }
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) {
        return;
    }
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error != nullptr && error->message != nullptr ? error->message : "";
    if (error != nullptr) {
        g_error_free(error);
    }
    {
        // The first error says what went wrong; the ones after are what it led to.
        const std::lock_guard hold(lock_);
        if (std::exchange(errorSeen_, true)) {
            return;
        }
        events_.error = std::move(text);
    }
    errorPosted_.notify_all();
}

PipelineEvents PipelineReport::take() {
    const std::lock_guard hold(lock_);
    return std::exchange(events_, PipelineEvents{});
}

std::optional<std::string> PipelineReport::waitForError(std::chrono::milliseconds patience) {
    std::unique_lock hold(lock_);
    errorPosted_.wait_for(hold, patience, [this] { return events_.error.has_value(); });
    return std::exchange(events_.error, std::nullopt);
}

}  // namespace morvel::linux_backend

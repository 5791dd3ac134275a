// What a pipeline's own threads tell the engine: the end of the stream and its first error.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace morvel::linux_backend {

// What happened on a pipeline since it was last asked.
struct PipelineEvents {
    bool ended = false;                // the end of the stream was reached
    std::optional<std::string> error;  // the first error's text (the later ones follow from it)
};

// Listens to one pipeline's bus from the moment it is made. The messages are read on the
// thread that posts them, as they are posted: an error is recorded when it happens, whether
// or not the user-interface thread is looking, and its text is kept until taken. Every other
// message is dropped there, so nothing piles up on the bus. Remove it only once the pipeline
// is in the NULL state (its threads gone).
class PipelineReport {
  public:
    explicit PipelineReport(GstElement* pipeline);
    ~PipelineReport();
    PipelineReport(const PipelineReport&) = delete;
    PipelineReport& operator=(const PipelineReport&) = delete;

    // What happened since the last take; each event is told once.
    PipelineEvents take();
    // The first error's text, waiting up to `patience` for one to be posted (a streaming
    // thread may post it just after a state change has failed). Taken with it.
    std::optional<std::string> waitForError(std::chrono::milliseconds patience);

  private:
    static GstBusSyncReply OnMessage(GstBus* bus, GstMessage* message, gpointer self);
    void record(GstMessage* message);

    GstBus* bus_;  // owned
    std::mutex lock_;
    std::condition_variable errorPosted_;
    PipelineEvents events_;   // behind lock_
    bool errorSeen_ = false;  // behind lock_: the first error is the one told
};

}  // namespace morvel::linux_backend

// What stands in for the search of the screen's windows where the display server shows a
// client no other client's windows (Wayland): each form holds a lock on a file named after its
// class and caption in the user's runtime folder while it exists, and a second program looks
// for that lock. The lock goes with the process, so a saver that was killed leaves none.
#pragma once

#include <string>

namespace morvel::linux_backend {

class WindowMarker {
  public:
    WindowMarker(const std::string& className, const std::string& caption);
    ~WindowMarker();
    WindowMarker(const WindowMarker&) = delete;
    WindowMarker& operator=(const WindowMarker&) = delete;

    // Whether a live window of another program (or of this one) holds the mark.
    static bool Held(const std::string& className, const std::string& caption);

  private:
    int descriptor_ = -1;
};

}  // namespace morvel::linux_backend

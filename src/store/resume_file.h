// Where long videos stopped: the saver's own small state file, so that a clip can go on
// next time where it was left. It is never the settings file, which the saver never writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvel::store {

// The files most recently left, each with the milliseconds it had played to, the latest
// first; at most kMaxFiles of them, the oldest dropped.
class ResumePoints {
  public:
    static constexpr std::size_t kMaxFiles = 500;

    // The points a file's text holds; a text that is not whole (torn, cut short, edited,
    // another program's) holds none.
    static ResumePoints Parse(std::string_view text);
    // The points of the file at this path; a missing, unreadable or corrupt file has none.
    static ResumePoints Load(const std::string& path);

    std::optional<std::uint32_t> find(const std::string& file) const;
    // The file was left at `ms`: it moves to the front.
    void remember(const std::string& file, std::uint32_t ms);
    // The file played to its end: next time it starts at its start.
    void forget(const std::string& file);
    std::size_t size() const { return points_.size(); }

    std::string text() const;
    // Replaces the file in one step (its folder made where missing); false when it cannot be
    // written, which the saver lives with.
    bool save(const std::string& path) const;

  private:
    std::vector<std::pair<std::string, std::uint32_t>> points_;
};

}  // namespace morvel::store

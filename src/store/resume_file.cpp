#include "store/resume_file.h"

#include <algorithm>
#include <charconv>
#include <exception>

#include "store/file_io.h"

namespace morvel::store {

namespace {

// The first line, and the last, which counts the points: a file that lacks either, or
// whose count is wrong, was not written whole.
constexpr std::string_view kHeader = "[Morvel resume points 1]";
constexpr std::string_view kTrailer = "[end ";

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);  // no final newline: cut short
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

ResumePoints ResumePoints::Parse(std::string_view text) {
    ResumePoints points;
    if (text.empty() || text.back() != '\n') {
        return points;
    }
    const std::vector<std::string_view> lines = Lines(text);
    if (lines.size() < 2 || lines.front() != kHeader) {
        return points;
    }
    const std::string_view last = lines.back();
    if (!last.starts_with(kTrailer) || !last.ends_with("]")) {
        return points;
    }
    const auto count = ParseNumber(last.substr(kTrailer.size(), last.size() - kTrailer.size() - 1));
    if (!count || *count != lines.size() - 2 || *count > kMaxFiles) {
        return points;
    }
    for (std::size_t n = 1; n + 1 < lines.size(); ++n) {
        const std::string_view line = lines[n];
        const std::size_t tab = line.find('\t');
        const auto ms = ParseNumber(line.substr(0, tab));
        if (tab == std::string_view::npos || !ms || tab + 1 == line.size()) {
            return ResumePoints();
        }
        points.points_.emplace_back(std::string(line.substr(tab + 1)), *ms);
    }
    return points;
}

ResumePoints ResumePoints::Load(const std::string& path) {
    try {
        return Parse(ReadWholeFile(path).value_or(std::string()));
    } catch (const std::exception&) {
        return ResumePoints();
    }
}

std::optional<std::uint32_t> ResumePoints::find(const std::string& file) const {
    const auto point = std::find_if(points_.begin(), points_.end(),
                                    [&](const auto& entry) { return entry.first == file; });
    return point == points_.end() ? std::nullopt : std::optional(point->second);
}

void ResumePoints::remember(const std::string& file, std::uint32_t ms) {
    // A name the format cannot hold on one line is not kept: the clip starts at its start.
    if (file.empty() || file.find('\n') != std::string::npos) {
        return;
    }
    forget(file);
    points_.emplace(points_.begin(), file, ms);
    if (points_.size() > kMaxFiles) {
        points_.resize(kMaxFiles);
    }
}

void ResumePoints::forget(const std::string& file) {
    std::erase_if(points_, [&](const auto& entry) { return entry.first == file; });
}

std::string ResumePoints::text() const {
    std::string text(kHeader);
    text += '\n';
    for (const auto& [file, ms] : points_) {
        text += std::to_string(ms) + '\t' + file + '\n';
    }
    text += std::string(kTrailer) + std::to_string(points_.size()) + "]\n";
    return text;
}

bool ResumePoints::save(const std::string& path) const {
    try {
        ReplaceFile(path, text());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace morvel::store

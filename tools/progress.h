// How far long work has come, as one line on standard error that is
// rewritten in place: only on a terminal (a log or a pipe would collect
// every version of it), only once the work has taken a second, and cleared
// when done.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zarnocrypt::cli {

class Progress {
public:
    explicit Progress(bool wanted);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();

    // A new stage of the work, counted from zero: what it is and, when
    // known, how many bytes it takes.
    void Begin(std::string what, std::optional<std::uint64_t> total) noexcept;
    void Advance(std::size_t bytes) noexcept;

private:
    using Clock = std::chrono::steady_clock;

    void Show(Clock::time_point now) noexcept;
    void Clear() noexcept;

    bool enabled_;
    std::string what_;
    std::optional<std::uint64_t> total_;
    std::uint64_t done_ = 0;
    Clock::time_point started_ = Clock::now();
    Clock::time_point shown_{};
    std::size_t width_ = 0;  // of the line on screen, 0 when there is none
};

}  // namespace zarnocrypt::cli

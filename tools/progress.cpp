#include "progress.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zarnocrypt::cli {
namespace {

constexpr auto FIRST_SHOWN = std::chrono::seconds(1);
constexpr auto REFRESH = std::chrono::milliseconds(200);

// A console, not a file or a pipe that merely stands in for one (the NUL
// device counts as a character device to isatty on Windows).
bool StandardErrorIsTerminal() noexcept
{
#ifdef _WIN32
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

unsigned long long Mebibytes(std::uint64_t bytes) noexcept { return bytes >> 20; }

}  // namespace

Progress::Progress(bool wanted) : enabled_(wanted && StandardErrorIsTerminal()) {}

Progress::~Progress() { Clear(); }

void Progress::Begin(std::string what, std::optional<std::uint64_t> total) noexcept
{
    what_.swap(what);
    total_ = total;
    done_ = 0;
}

void Progress::Advance(std::size_t bytes) noexcept
{
    done_ += bytes;
    if (!enabled_)
        return;
    const Clock::time_point now = Clock::now();
    if (now - started_ >= FIRST_SHOWN && now - shown_ >= REFRESH)
        Show(now);
}

void Progress::Show(Clock::time_point now) noexcept
{
    char line[160];
    int width = 0;
    if (total_ && *total_ > 0)
        width = std::snprintf(line, sizeof line, "%s: %llu of %llu MiB (%u%%)", what_.c_str(), Mebibytes(done_),
                              Mebibytes(*total_), static_cast<unsigned>(done_ * 100 / *total_));
    else
        width = std::snprintf(line, sizeof line, "%s: %llu MiB", what_.c_str(), Mebibytes(done_));
    if (width < 0)
        return;
    const std::size_t shown = std::min<std::size_t>(static_cast<std::size_t>(width), sizeof line - 1);
    // Spaces over whatever a longer earlier line left.
    std::fprintf(stderr, "\r%s%*s", line, static_cast<int>(width_ > shown ? width_ - shown : 0), "");
    std::fflush(stderr);
    width_ = shown;
    shown_ = now;
}

void Progress::Clear() noexcept
{
    if (width_ == 0)
        return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(width_), "");
    std::fflush(stderr);
    width_ = 0;
}

}  // namespace zarnocrypt::cli

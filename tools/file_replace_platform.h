// What each platform's file (file_replace_posix.cpp, file_replace_win.cpp)
// provides behind file_replace.h: one replacement, from Open to Commit; the
// temporary (or an uncommitted new file) is removed when it is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zarnocrypt::cli {

enum class ReplacementKind {
    Output,     // keeps the old file's mode, owner and group
    Secret,     // owner only (mode 0600 where there are modes)
    NewSecret,  // the same, and the path must not exist yet
};

class PlatformReplacement {
public:
    PlatformReplacement() = default;
    PlatformReplacement(const PlatformReplacement&) = delete;
    PlatformReplacement& operator=(const PlatformReplacement&) = delete;
    virtual ~PlatformReplacement() = default;
    virtual std::string Open(const std::string& path, ReplacementKind kind) = 0;
    virtual std::string Write(const std::uint8_t* data, std::size_t size) = 0;
    virtual std::string Commit() = 0;
};

std::unique_ptr<PlatformReplacement> NewPlatformReplacement();

}  // namespace zarnocrypt::cli

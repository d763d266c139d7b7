// Files, pipes and the standard streams as the core's byte sources and
// sinks, read and written in large pieces, never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "buffer.h"
#include "envelope_stream.h"
#include "file_replace.h"
#include "progress.h"

namespace zarnocrypt::cli {

// A file, or standard input, with its size when that is known up front
// (a regular file's, from where reading starts).
class InputStream final : public ByteSource {
public:
    explicit InputStream(Progress& progress) noexcept : progress_(progress) {}
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    ~InputStream();

    // Standard input when path is absent or "-". Empty on success, else the message.
    std::string Open(const std::optional<std::string>& path);

    // An input of unknown size (a pipe) copied whole, so that its size is
    // known: one that fits in memory stays there, a larger one goes to an
    // unlinked temporary file. More than limit bytes is TooLarge as soon
    // as they arrive; Io keeps its reason in Error().
    Status Spool(std::uint64_t limit);

    // Reads up to count bytes ahead, which Read then gives out first, so that
    // a format is told from its first bytes. Once, before Read and Spool.
    Status Peek(std::size_t count);
    std::span<const std::uint8_t> Peeked() const noexcept { return {held_.data(), held_.size()}; }

    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override;

    const std::string& Name() const noexcept { return name_; }
    std::optional<std::uint64_t> Size() const noexcept { return size_; }
    const std::string& Error() const noexcept { return error_; }

private:
    Status ReadFile(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept;
    Status CopyToTemporary(std::uint64_t limit);

    Progress& progress_;
    int fd_ = -1;
    bool owned_ = false;
    std::string name_;
    std::optional<std::uint64_t> size_;
    Buffer held_;  // bytes read ahead, given out before the file's
    std::size_t heldAt_ = 0;
    bool ended_ = false;
    std::string error_;
};

// Standard output, or a file replaced only once the command has succeeded.
// Written to standard output, a failing decryption cannot be taken back;
// holding back the last piece written until Finish means that a small
// message that fails its final check writes nothing.
class OutputStream final : public ByteSink {
public:
    OutputStream() = default;
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Standard output when path is absent or "-", holding back up to
    // holdBack bytes. Empty on success, else the message.
    std::string Open(const std::optional<std::string>& path, std::size_t holdBack);

    Status Write(const std::uint8_t* data, std::size_t size) noexcept override;

    // Everything written and, for a file, put in place.
    std::string Finish();

    const std::string& Error() const noexcept { return error_; }

    // Whether standard output was given bytes, which cannot be taken back.
    bool WroteToStandardOutput() const noexcept { return wroteToStandardOutput_; }

private:
    Status WriteThrough(const std::uint8_t* data, std::size_t size) noexcept;

    std::optional<ReplacementFile> file_;
    Buffer held_;
    std::size_t heldSize_ = 0;
    bool wroteToStandardOutput_ = false;
    std::string error_;
};

}  // namespace zarnocrypt::cli

// Writing output files so that they are either complete or untouched. The
// only platform-specific file operations of the tool live behind this
// interface (file_replace_posix.cpp, file_replace_win.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zarnocrypt::cli {

// A regular file (new or existing) written in pieces to a temporary file in
// the same directory, then flushed and put in place of path at Commit, so
// that a failure leaves neither a partial file nor a changed one; the
// temporary is removed unless committed. The target is found once, at Open:
// a symbolic link there stays a link to the replaced file (unless another
// user put it in a shared sticky directory such as /tmp), and if the name is
// swapped for something else before Commit, Commit refuses. An existing file
// keeps its mode, owner and group where permitted (a note on standard error
// says when not). Devices and pipes (e.g. /dev/stdout) are written directly.
// Every call returns an empty string on success, else the message.
class ReplacementFile {
public:
    ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();

    std::string Open(const std::string& path);
    std::string Write(const std::uint8_t* data, std::size_t size);
    std::string Commit();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The whole of data as path's new contents, through a ReplacementFile.
std::string ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// A new file of mode 0600 (owner only) holding data, for secrets such as a
// key. An existing path is refused unless replace is set; then it is
// replaced atomically and gets mode 0600 too.
std::string WriteSecretFile(const std::string& path, const std::uint8_t* data, std::size_t size, bool replace);

}  // namespace zarnocrypt::cli

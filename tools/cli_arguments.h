// The command line of the zarnocrypt tool: one command, then options and its
// operands. Keys are never taken from here: argv shows in process lists.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarnocrypt::cli {

enum class Command {
    Encrypt, HtmlEncrypt, MultilineEncrypt, Decrypt, EncryptBytes, DecryptBytes, Inspect, Keygen, Rekey
};

struct Arguments {
    std::optional<Command> command;  // absent only with help or version for the whole tool
    bool help = false;
    bool version = false;
    bool quiet = false;         // no progress line
    bool utf8 = false;          // encrypting text commands: the input is UTF-8, marked as such
    bool trimNewline = false;   // encrypting text commands: one final LF or CRLF is not part of the text
    bool sealed = false;        // encrypting commands: write sealed messages
    bool strict = false;        // decrypt: unmarked input fails
    bool check = false;         // inspect: exit 1 unless a well-formed message (that decrypts, with a key)
    bool force = false;         // keygen: an existing file may be replaced
    bool dryRun = false;        // rekey: report only
    bool toSealed = false;      // rekey: legacy messages become sealed ones
    std::optional<unsigned> toCodePage;    // encrypting text commands: UTF-8 input into this code page
    std::optional<unsigned> fromCodePage;  // decrypt: plaintext of type "X" from this code page to UTF-8
    std::optional<std::string> keyFile;
    std::optional<std::string> oldKeyFile;  // rekey
    std::optional<std::string> newKeyFile;  // rekey; with toSealed it may be absent: the old key stays
    std::optional<std::string> outputPath;  // absent or "-": standard output
    std::optional<std::string> inputPath;   // absent or "-": standard input
    std::vector<std::string> paths;         // rekey: files and folders
};

struct ParsedArguments {
    Arguments arguments;
    std::string error;  // non-empty: a usage error, to be reported with exit status 2
};

ParsedArguments ParseArguments(int argc, const char* const* argv);

const char* CommandName(Command command) noexcept;

// encrypt, html-encrypt and multiline-encrypt: the commands that make marked text.
bool MakesMarkedText(Command command) noexcept;

// Whether command accepts the option of this long name ("--output").
bool TakesOption(Command command, std::string_view longName) noexcept;

}  // namespace zarnocrypt::cli

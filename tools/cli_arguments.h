// The command line of the zarnocrypt tool: one command, then options and at
// most one input file. Keys are never taken from here: argv shows in process
// lists.
#pragma once

#include <optional>
#include <string>

namespace zarnocrypt::cli {

enum class Command { Encrypt, HtmlEncrypt, MultilineEncrypt, Decrypt, EncryptBytes, DecryptBytes, Inspect };

struct Arguments {
    std::optional<Command> command;  // absent only with help for the whole tool
    bool help = false;
    bool utf8 = false;  // the encrypting text commands: the input is UTF-8, marked as such
    std::optional<std::string> keyFile;
    std::optional<std::string> outputPath;  // absent or "-": standard output
    std::optional<std::string> inputPath;   // absent or "-": standard input
};

struct ParsedArguments {
    Arguments arguments;
    std::string error;  // non-empty: a usage error, to be reported with exit status 2
};

ParsedArguments ParseArguments(int argc, const char* const* argv);

const char* CommandName(Command command) noexcept;

// encrypt, html-encrypt and multiline-encrypt: the commands that make marked text.
bool MakesMarkedText(Command command) noexcept;

}  // namespace zarnocrypt::cli

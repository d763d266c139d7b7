// zarnocrypt: the component's text and byte formats from the command line.
#include <cstdio>
#include <new>
#include <string>

#include "byte_io.h"
#include "cipher_path.h"
#include "cli_arguments.h"
#include "cli_usage.h"
#include "commands.h"
#include "file_replace.h"
#include "key_loading.h"
#include "keygen.h"
#include "messages.h"
#include "process_guard.h"
#include "rekey.h"
#include "stream_commands.h"

namespace zarnocrypt::cli {
namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "zarnocrypt: %s\n", message.c_str());
    return EXIT_FAILED;
}

int UsageError(const ParsedArguments& parsed)
{
    std::fprintf(stderr, "zarnocrypt: %s\n%s", parsed.error.c_str(), UsageText(parsed.arguments.command).c_str());
    return EXIT_USAGE;
}

// Which cipher implementation this processor gets, for bug reports and audits.
std::string VersionText()
{
    const CipherImplementation& cipher = ChosenImplementation();
    return std::string("zarnocrypt " ZARNOCRYPT_TOOL_VERSION "\ncipher: ") + cipher.name +
           "\nconstant time: " + (cipher.constantTime ? "yes" : "no") + "\n";
}

std::string WriteOutput(const std::optional<std::string>& path, const Buffer& output)
{
    if (!path || *path == "-")
        return WriteStandardOutput(output.data(), output.size());
    return ReplaceFile(*path, output.data(), output.size());
}

int Run(int argc, const char* const* argv)
{
    const ParsedArguments parsed = ParseArguments(argc, argv);
    if (!parsed.error.empty())
        return UsageError(parsed);
    const Arguments& arguments = parsed.arguments;
    if (arguments.help || arguments.version) {
        const std::string text = arguments.help ? HelpText(arguments.command) : VersionText();
        const std::string problem = WriteStandardOutput(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        return problem.empty() ? EXIT_OK : Fail(problem);
    }
    const Command command = *arguments.command;
    if (command == Command::Keygen) {
        const std::string problem = WriteNewKeyFile(*arguments.outputPath, arguments.force);
        return problem.empty() ? EXIT_OK : Fail(problem);
    }
    if (command == Command::Rekey)
        return RunRekey(arguments);

    LoadedKey key;
    if (std::string problem = LoadKey(arguments.keyFile, key); !problem.empty())
        return Fail(problem);
    if (NeedsKeyFirst(command) && !key.legacy.HasKeyBytes())
        return Fail(MSG_KEY_HAS_NOT_BEEN_SET);
    if (IsStreamCommand(command)) {
        const std::string problem = RunStreamCommand(command, arguments, key);
        return problem.empty() ? EXIT_OK : Fail(problem);
    }

    ReadResult read = ReadInput(arguments.inputPath, InputLimit(command, key.legacy), CommandName(command));
    if (!read.input)
        return Fail(read.error);

    // Output is written only after the command has succeeded as a whole;
    // only inspect's report is shown when its check fails.
    CommandResult result = RunCommand(arguments, *read.input, key);
    if (!result.warning.empty())
        std::fprintf(stderr, "zarnocrypt: %s\n", result.warning.c_str());
    if (result.exitCode != EXIT_OK) {
        if (result.output)
            WriteStandardOutput(result.output.data(), result.output.size());
        return Fail(result.message);
    }
    if (std::string problem = WriteOutput(arguments.outputPath, result.output); !problem.empty())
        return Fail(problem);
    return EXIT_OK;
}

}  // namespace
}  // namespace zarnocrypt::cli

int main(int argc, char** argv)
{
    zarnocrypt::cli::TurnOffCoreDumps();
    zarnocrypt::cli::SetBinaryStdio();
    try {
        return zarnocrypt::cli::Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("zarnocrypt: out of memory\n", stderr);
        return zarnocrypt::cli::EXIT_FAILED;
    }
}

// zarnocrypt: the component's text and byte formats from the command line.
#include <cstdio>
#include <new>
#include <string>

#include "byte_io.h"
#include "cli_arguments.h"
#include "cli_usage.h"
#include "commands.h"
#include "file_replace.h"
#include "key_loading.h"
#include "messages.h"
#include "rijndael_key.h"

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
    if (arguments.help) {
        const std::string help = HelpText(arguments.command);
        const std::string problem = WriteStandardOutput(reinterpret_cast<const std::uint8_t*>(help.data()), help.size());
        return problem.empty() ? EXIT_OK : Fail(problem);
    }
    const Command command = *arguments.command;

    RijndaelKey key;
    if (std::string problem = LoadKey(arguments.keyFile, key); !problem.empty())
        return Fail(problem);
    if (NeedsKeyFirst(command) && !key.HasKeyBytes())
        return Fail(MSG_KEY_HAS_NOT_BEEN_SET);

    ReadResult read = ReadInput(arguments.inputPath, InputLimit(command, key), CommandName(command));
    if (!read.input)
        return Fail(read.error);

    // Output is written only after the command has succeeded as a whole.
    const TextType textType = arguments.utf8 ? TextType::Utf8 : TextType::Ansi;
    CommandResult result = RunCommand(command, textType, *read.input, key);
    if (result.exitCode != EXIT_OK)
        return Fail(result.message);
    if (std::string problem = WriteOutput(arguments.outputPath, result.output); !problem.empty())
        return Fail(problem);
    return EXIT_OK;
}

}  // namespace
}  // namespace zarnocrypt::cli

int main(int argc, char** argv)
{
    zarnocrypt::cli::SetBinaryStdio();
    try {
        return zarnocrypt::cli::Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("zarnocrypt: out of memory\n", stderr);
        return zarnocrypt::cli::EXIT_FAILED;
    }
}

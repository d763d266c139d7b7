#include "stream_commands.h"

#include "byte_io.h"
#include "commands.h"
#include "envelope_stream.h"
#include "messages.h"
#include "stream_io.h"

namespace zarnocrypt::cli {
namespace {

// Large reads and writes, yet small enough to stay in the processor's cache
// between reading, the cipher and writing.
constexpr std::size_t WORK_SIZE = 1 << 20;

std::string Problem(Status status, Command command, std::size_t limit, const InputStream& input,
                    const OutputStream& output)
{
    const bool encrypting = command == Command::EncryptBytes;
    switch (status) {
    case Status::Io:
        return input.Error().empty() ? output.Error() : input.Error();
    case Status::NoMemory:
        return "out of memory";
    case Status::TooLarge:
        return TooLargeMessage(input.Name(), CommandName(command), limit);
    case Status::Size:
        if (encrypting)
            return input.Name() + " changed size while it was read";
        break;
    case Status::BadHeader:
        // Too short for a header, or a header that describes no message.
        return input.Name() + " is not encrypted: not a binary envelope";
    default:
        break;
    }
    return encrypting ? MSG_CANNOT_ENCRYPT : MSG_CANNOT_DECRYPT;
}

}  // namespace

bool IsStreamCommand(Command command) noexcept
{
    return command == Command::EncryptBytes || command == Command::DecryptBytes;
}

std::string RunStreamCommand(Command command, const Arguments& arguments, RijndaelKey& key)
{
    const bool encrypting = command == Command::EncryptBytes;
    Progress progress(!arguments.quiet);
    InputStream input(progress);
    OutputStream output;
    if (std::string problem = input.Open(arguments.inputPath); !problem.empty())
        return problem;

    // Encryption writes the length first: a pipe is read whole before.
    const std::size_t limit = InputLimit(command, key);
    Status status = Status::Ok;
    if (input.Size() && *input.Size() > limit) {
        status = Status::TooLarge;
    } else if (encrypting && !input.Size()) {
        progress.Begin("reading " + input.Name(), std::nullopt);
        status = input.Spool(limit);
    }
    Buffer work = Buffer::AllocateForOverwrite(WORK_SIZE);
    if (status == Status::Ok && !work)
        status = Status::NoMemory;
    if (status != Status::Ok)
        return Problem(status, command, limit, input, output);

    // An envelope cut short shows no plaintext; a decryption failing at its
    // end would have shown some.
    if (std::string problem = output.Open(arguments.outputPath, encrypting ? 0 : WORK_SIZE); !problem.empty())
        return problem;
    progress.Begin(std::string(CommandName(command)) + " " + input.Name(), input.Size());
    status = encrypting ? EncryptEnvelopeStream(key, *input.Size(), input, output, {work.data(), work.size()})
                        : DecryptEnvelopeStream(key, input, output, {work.data(), work.size()},
                                                input.Size().value_or(ENVELOPE_SIZE_UNKNOWN));
    return status == Status::Ok ? output.Finish() : Problem(status, command, limit, input, output);
}

}  // namespace zarnocrypt::cli

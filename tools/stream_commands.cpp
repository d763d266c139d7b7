#include "stream_commands.h"

#include "byte_io.h"
#include "commands.h"
#include "either_format.h"
#include "envelope_stream.h"
#include "messages.h"
#include "sealed_message.h"
#include "stream_io.h"

namespace zarnocrypt::cli {
namespace {

// Large reads and writes, yet small enough to stay in the processor's cache
// between reading, the cipher and writing.
constexpr std::size_t WORK_SIZE = 1 << 20;

struct Streams {
    Command command;
    bool sealed;  // writing or reading a sealed message
    std::size_t limit;
    const InputStream& input;
    const OutputStream& output;
};

std::string Problem(Status status, const Streams& streams)
{
    const bool encrypting = streams.command == Command::EncryptBytes;
    const InputStream& input = streams.input;
    switch (status) {
    case Status::Io:
        return input.Error().empty() ? streams.output.Error() : input.Error();
    case Status::NoMemory:
        return "out of memory";
    case Status::TooLarge:
        return TooLargeMessage(input.Name(), CommandName(streams.command), streams.limit);
    case Status::Size:
        if (encrypting)
            return input.Name() + " changed size while it was read";
        break;
    case Status::BadHeader:
        if (streams.sealed)
            return input.Name() + " is not a sealed message this reader takes: its header is cut short, damaged "
                                  "or beyond the bounds of its parameters";
        // Too short for a header, or a header that describes no message.
        return input.Name() + " is not encrypted: not a binary envelope";
    case Status::Unauthentic:
        return UnauthenticMessage(input.Name()) +
               (streams.output.WroteToStandardOutput() ? "; what was written is not the whole plaintext" : "");
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

std::string RunStreamCommand(Command command, const Arguments& arguments, LoadedKey& key)
{
    const bool encrypting = command == Command::EncryptBytes;
    if (std::string problem = arguments.sealed ? SealingKeyProblem(key) : std::string(); !problem.empty())
        return problem;
    Progress progress(!arguments.quiet);
    InputStream input(progress);
    OutputStream output;
    if (std::string problem = input.Open(arguments.inputPath); !problem.empty())
        return problem;
    Streams streams{command, arguments.sealed, InputLimit(command, key.legacy), input, output};

    // Only the envelope has a size limit, and only its encryption needs the
    // length first: a pipe is read whole before.
    Status status = Status::Ok;
    if (encrypting && !arguments.sealed && input.Size() && *input.Size() > streams.limit) {
        status = Status::TooLarge;
    } else if (encrypting && !arguments.sealed && !input.Size()) {
        progress.Begin("reading " + input.Name(), std::nullopt);
        status = input.Spool(streams.limit);
    }
    Buffer work = Buffer::AllocateForOverwrite(WORK_SIZE);
    if (status == Status::Ok && !work)
        status = Status::NoMemory;
    if (status != Status::Ok)
        return Problem(status, streams);

    // An envelope cut short shows no plaintext; a decryption failing at its
    // end would have shown some. A sealed chunk is written once it checked.
    if (std::string problem = output.Open(arguments.outputPath, encrypting ? 0 : WORK_SIZE); !problem.empty())
        return problem;
    // Decryption tells the formats apart by their first bytes; the envelope's
    // reader refuses a size beyond its limit itself.
    if (!encrypting && (status = input.Peek(SEALED_HEADER_SIZE)) == Status::Ok)
        streams.sealed = StartsSealedMessage(input.Peeked());
    if (status != Status::Ok)
        return Problem(status, streams);
    progress.Begin(std::string(CommandName(command)) + " " + input.Name(), input.Size());
    const std::span<std::uint8_t> workSpan(work.data(), work.size());
    if (encrypting)
        status = arguments.sealed ? SealStream(key.Bytes(), input, output)
                                  : EncryptEnvelopeStream(key.legacy, *input.Size(), input, output, workSpan);
    else
        status = DecryptAnyStream(key.legacy, key.Bytes(), input, output, workSpan,
                                  input.Size().value_or(ENVELOPE_SIZE_UNKNOWN));
    return status == Status::Ok ? output.Finish() : Problem(status, streams);
}

}  // namespace zarnocrypt::cli

#include "commands.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "envelope.h"
#include "message_report.h"
#include "messages.h"
#include "text_forms.h"

namespace zarnocrypt::cli {
namespace {

constexpr std::size_t LARGEST_ENVELOPE = std::numeric_limits<std::int32_t>::max();
// Lengths and counts of the formats are 32-bit; marked text is no exception.
constexpr std::size_t LARGEST_TEXT = std::numeric_limits<std::uint32_t>::max() - 1;
constexpr std::int32_t DEFAULT_BLOCK_LENGTH = 6;

// Largest L with 8 + B·ceil((L + 3) / B) <= INT32_MAX.
std::size_t LargestPlaintext(const RijndaelKey& key) noexcept
{
    const std::size_t blockSize = 4 * static_cast<std::size_t>(key.HasSchedule() ? key.Nb() : DEFAULT_BLOCK_LENGTH);
    const std::size_t blocks = (LARGEST_ENVELOPE - ENVELOPE_HEADER_SIZE) / blockSize;
    return blocks * blockSize - ENVELOPE_MAGIC_SIZE;
}

CommandResult Failure(std::string message)
{
    CommandResult result;
    result.exitCode = EXIT_FAILED;
    result.message = std::move(message);
    return result;
}

CommandResult Success(Buffer output)
{
    CommandResult result;
    result.output = std::move(output);
    return result;
}

Buffer WithLineFeed(const std::uint8_t* text, std::size_t size)
{
    Buffer output = Buffer::Allocate(size + 1);
    if (output) {
        std::memcpy(output.data(), text, size);
        output.data()[size] = '\n';
    }
    return output;
}

const char* AsText(const InputBytes& input) { return reinterpret_cast<const char*>(input.bytes.data()); }

// Narrow text ends at its first zero byte; cutting the input there silently
// would lose data, so text commands refuse it.
std::string ZeroByteProblem(const InputBytes& input)
{
    const void* zero = std::memchr(input.bytes.data(), 0, input.bytes.size());
    if (!zero)
        return {};
    const auto offset = static_cast<const std::uint8_t*>(zero) - input.bytes.data();
    return input.name + " holds a zero byte (at offset " + std::to_string(offset) +
           "): text commands take text; use encrypt-bytes or decrypt-bytes for binary data";
}

CommandResult EncryptTextCommand(InputBytes& input, RijndaelKey& key, std::uint32_t options)
{
    if (std::string problem = ZeroByteProblem(input); !problem.empty())
        return Failure(std::move(problem));
    EncryptTextResult result = EncryptText(AsText(input), key, options);
    Buffer output;
    switch (result.outcome) {
    case EncryptTextOutcome::Failed:
        return Failure(MSG_CANNOT_ENCRYPT);
    case EncryptTextOutcome::OutOfMemory:
        return Failure("out of memory");
    case EncryptTextOutcome::AlreadyMarked:
        output = WithLineFeed(input.bytes.data(), input.bytes.size());
        break;
    case EncryptTextOutcome::Encrypted:
        output = WithLineFeed(result.text.data(), result.text.size());
        break;
    }
    return output ? Success(std::move(output)) : Failure("out of memory");
}

std::size_t WithoutLineEnds(const std::uint8_t* text, std::size_t size)
{
    while (size > 0 && (text[size - 1] == '\n' || text[size - 1] == '\r'))
        --size;
    return size;
}

CommandResult DecryptTextCommand(InputBytes& input, RijndaelKey& key)
{
    if (std::string problem = ZeroByteProblem(input); !problem.empty())
        return Failure(std::move(problem));
    // Line ends after the end marker are ignored (the tool's own output ends
    // with one), but unmarked input goes back exactly as it came.
    std::uint8_t* text = input.bytes.data();
    const std::size_t end = WithoutLineEnds(text, input.bytes.size());
    const std::uint8_t saved = text[end];
    text[end] = 0;
    DecryptTextResult result = DecryptText(AsText(input), key);
    text[end] = saved;

    switch (result.outcome) {
    case DecryptTextOutcome::NotMarked:
        return Success(std::move(input.bytes));
    case DecryptTextOutcome::Damaged:
        return Failure(MSG_CODE_DAMAGED);
    case DecryptTextOutcome::NoKey:
        return Failure(MSG_KEY_NOT_SET);
    case DecryptTextOutcome::Failed:
        return Failure(MSG_CANNOT_DECRYPT);
    case DecryptTextOutcome::OutOfMemory:
        return Failure("out of memory");
    case DecryptTextOutcome::Decrypted:
        break;
    }
    // The plaintext as a string: up to its first zero byte, as Decrypt returns it.
    const std::uint8_t* plaintext = result.plaintext.data();
    const std::uint8_t* zero = std::find(plaintext, plaintext + result.length, 0);
    result.plaintext.Shrink(static_cast<std::size_t>(zero - plaintext));
    return Success(std::move(result.plaintext));
}

CommandResult EncryptBytesCommand(InputBytes& input, RijndaelKey& key)
{
    EnvelopeCodec codec;
    codec.BindKey(key);
    // The input limit keeps the size within int32; an empty input still has a
    // non-null pointer and becomes an envelope of length 0.
    Buffer envelope = codec.EncryptEnvelope(input.bytes.data(), static_cast<std::int32_t>(input.bytes.size()));
    return envelope ? Success(std::move(envelope)) : Failure(MSG_CANNOT_ENCRYPT);
}

CommandResult DecryptBytesCommand(InputBytes& input, RijndaelKey& key)
{
    EnvelopeCodec codec;
    codec.BindKey(key);
    std::int32_t length = 0;
    Buffer plaintext =
        codec.DecryptEnvelope(input.bytes.data(), static_cast<std::int32_t>(input.bytes.size()), length);
    if (!plaintext)
        return Failure(MSG_CANNOT_DECRYPT);
    plaintext.Shrink(static_cast<std::size_t>(length));
    return Success(std::move(plaintext));
}

}  // namespace

std::size_t InputLimit(Command command, const RijndaelKey& key) noexcept
{
    switch (command) {
    case Command::Encrypt:
    case Command::HtmlEncrypt:
    case Command::MultilineEncrypt:
        return LargestPlaintext(key) - 1;  // the text's zero byte goes into the envelope too
    case Command::EncryptBytes:
        return LargestPlaintext(key);
    case Command::DecryptBytes:
        return LARGEST_ENVELOPE;
    case Command::Decrypt:
    case Command::Inspect:
        break;
    }
    return LARGEST_TEXT;
}

bool NeedsKeyFirst(Command command) noexcept
{
    return command != Command::Decrypt && command != Command::Inspect;
}

CommandResult RunCommand(Command command, InputBytes& input, RijndaelKey& key)
{
    switch (command) {
    case Command::Encrypt:
        return EncryptTextCommand(input, key, 0);
    case Command::HtmlEncrypt:
        return EncryptTextCommand(input, key, FORM_HTML_COMMENT);
    case Command::MultilineEncrypt:
        return EncryptTextCommand(input, key, FORM_LINE_BREAKS);
    case Command::Decrypt:
        return DecryptTextCommand(input, key);
    case Command::EncryptBytes:
        return EncryptBytesCommand(input, key);
    case Command::DecryptBytes:
        return DecryptBytesCommand(input, key);
    case Command::Inspect:
        break;
    }
    const std::string report = InspectMessage(input.bytes.data(), input.bytes.size(), key);
    Buffer output = Buffer::Allocate(report.size());
    if (!output)
        return Failure("out of memory");
    std::memcpy(output.data(), report.data(), report.size());
    return Success(std::move(output));
}

}  // namespace zarnocrypt::cli

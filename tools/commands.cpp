#include "commands.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "envelope.h"
#include "envelope_report.h"
#include "key_text.h"
#include "message_report.h"
#include "messages.h"
#include "text_forms.h"
#include "utf8.h"

#ifdef _WIN32
#include "ansi_code_page.h"
#endif

namespace zarnocrypt::cli {
namespace {

// Lengths and counts of the formats are 32-bit; marked text is no exception.
constexpr std::size_t LARGEST_TEXT = std::numeric_limits<std::uint32_t>::max() - 1;
constexpr char OUT_OF_MEMORY[] = "out of memory";

std::size_t LargestPlaintext(const RijndaelKey& key) noexcept
{
    return MaxPlaintextLength(key.HasSchedule() ? key.Nb() : DEFAULT_BLOCK_LENGTH);
}

// Narrow text on Windows is in the ANSI code page, where a byte may start a
// double-byte character; elsewhere every byte is a character. UTF-8 needs no
// lead-byte rule: no byte of a multibyte sequence is ASCII, as the markers are.
const CodePage& TextCodePage([[maybe_unused]] TextType type) noexcept
{
#ifdef _WIN32
    if (type == TextType::Ansi)
        return AnsiCodePage();
#endif
    return SingleByteCodePage();
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

// Out of memory is said as such; every other refusal in the component's words.
CommandResult Refusal(Status status, const char* message)
{
    return Failure(status == Status::NoMemory ? OUT_OF_MEMORY : message);
}

CommandResult EncryptTextCommand(InputBytes& input, RijndaelKey& key, std::uint32_t options, TextType type)
{
    if (std::string problem = ZeroByteProblem(input); !problem.empty())
        return Failure(std::move(problem));
    // Marked "U", the bytes must read as UTF-8 wherever the text is decrypted.
    if (type == TextType::Utf8 && !IsValidUtf8(input.bytes.data(), input.bytes.size()))
        return Failure(input.name + " is not valid UTF-8; --utf8 takes UTF-8 text");
    // The input holds no zero byte and is followed by one (ReadInput).
    Buffer marked;
    const Status status = EncryptText(AsText(input), key, options, TextCodePage(type), marked, type);
    if (status != Status::Ok && status != Status::AlreadyMarked)
        return Refusal(status, MSG_CANNOT_ENCRYPT);
    const Buffer& text = status == Status::Ok ? marked : input.bytes;
    Buffer output = WithLineFeed(text.data(), text.size());
    return output ? Success(std::move(output)) : Failure(OUT_OF_MEMORY);
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
    const std::size_t end = WithoutLineEnds(input.bytes.data(), input.bytes.size());
    Buffer plaintext;
    TextType type = TextType::Ansi;
    switch (const Status status = DecryptText(AsText(input), end, key, plaintext, READ_ANSI | READ_UTF8, &type)) {
    case Status::Ok:
        break;
    case Status::NotMarked:
        return Success(std::move(input.bytes));
    case Status::Damaged:
        return Failure(MSG_CODE_DAMAGED);
    case Status::NoKey:
        return Failure(MSG_KEY_NOT_SET);
    default:
        return Refusal(status, MSG_CANNOT_DECRYPT);
    }
    plaintext.Shrink(TextLength(plaintext));
    // Bytes that are not UTF-8 are refused rather than shown as some other text.
    if (type == TextType::Utf8 && !IsValidUtf8(plaintext.data(), plaintext.size()))
        return Failure(MSG_INVALID_UTF8);
    return Success(std::move(plaintext));
}

CommandResult EncryptBytesCommand(InputBytes& input, RijndaelKey& key)
{
    Buffer envelope;
    const Status status = EncryptEnvelope(key, input.bytes.data(), input.bytes.size(), envelope);
    return status == Status::Ok ? Success(std::move(envelope)) : Refusal(status, MSG_CANNOT_ENCRYPT);
}

CommandResult DecryptBytesCommand(InputBytes& input, RijndaelKey& key)
{
    Buffer plaintext;
    const Status status = DecryptEnvelope(key, input.bytes.data(), input.bytes.size(), plaintext);
    return status == Status::Ok ? Success(std::move(plaintext)) : Refusal(status, MSG_CANNOT_DECRYPT);
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
        return ENVELOPE_MAX_SIZE;
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

CommandResult RunCommand(Command command, TextType textType, InputBytes& input, RijndaelKey& key)
{
    switch (command) {
    case Command::Encrypt:
        return EncryptTextCommand(input, key, 0, textType);
    case Command::HtmlEncrypt:
        return EncryptTextCommand(input, key, FORM_HTML_COMMENT, textType);
    case Command::MultilineEncrypt:
        return EncryptTextCommand(input, key, FORM_LINE_BREAKS, textType);
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
        return Failure(OUT_OF_MEMORY);
    std::memcpy(output.data(), report.data(), report.size());
    return Success(std::move(output));
}

}  // namespace zarnocrypt::cli

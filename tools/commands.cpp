#include "commands.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "code_page_convert.h"
#include "either_format.h"
#include "envelope.h"
#include "envelope_report.h"
#include "key_text.h"
#include "message_report.h"
#include "messages.h"
#include "sealed_text.h"
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

Buffer WithLineFeed(const Buffer& text)
{
    Buffer output = Buffer::Allocate(text.size() + 1);
    if (output) {
        std::memcpy(output.data(), text.data(), text.size());
        output.data()[text.size()] = '\n';
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

// One final LF or CRLF, as echo and editors leave it, is not part of the text.
void TrimFinalLineEnd(InputBytes& input)
{
    std::size_t size = input.bytes.size();
    if (size > 0 && input.bytes.data()[size - 1] == '\n')
        size -= size > 1 && input.bytes.data()[size - 2] == '\r' ? 2 : 1;
    input.bytes.data()[size] = 0;  // text commands take the bytes as a narrow string
    input.bytes.Shrink(size);
}

// UTF-8 input as an "X" text of another code page, exactly or not at all.
std::string ConvertInput(InputBytes& input, unsigned codePage)
{
    Buffer converted;
    if (std::string problem = ConvertText(Conversion::ToCodePage, codePage, input.bytes.data(), input.bytes.size(),
                                          converted);
        !problem.empty())
        return input.name + " cannot be converted: " + problem;
    if (std::memchr(converted.data(), 0, converted.size()) != nullptr)
        return "code page " + std::to_string(codePage) + " is not one of narrow text";
    input.bytes = std::move(converted);
    return {};
}

std::string NotUtf8(const InputBytes& input, const char* option)
{
    return input.name + " is not valid UTF-8; " + option + " takes UTF-8 text";
}

// A sealed text holds the input's bytes whole, zero bytes too: no reader
// cuts it at one. A text already marked, of any type, is not encrypted
// again, as in the legacy forms.
CommandResult SealTextCommand(InputBytes& input, const LoadedKey& key, std::uint32_t options,
                              const Arguments& arguments)
{
    if (arguments.trimNewline)
        TrimFinalLineEnd(input);
    if (!IsValidUtf8(input.bytes.data(), input.bytes.size()))
        return Failure(NotUtf8(input, "--sealed"));
    if (std::string problem = SealingKeyProblem(key); !problem.empty())
        return Failure(std::move(problem));
    Buffer marked;
    const std::string_view text(AsText(input), input.bytes.size());
    const bool alreadyMarked = IsMarkedUtf8(text);
    if (!alreadyMarked)
        if (const Status status = SealText(key.Text(), text, options, marked); status != Status::Ok)
            return Refusal(status, MSG_CANNOT_ENCRYPT);
    Buffer output = WithLineFeed(alreadyMarked ? input.bytes : marked);
    return output ? Success(std::move(output)) : Failure(OUT_OF_MEMORY);
}

CommandResult EncryptTextCommand(InputBytes& input, LoadedKey& loaded, std::uint32_t options,
                                 const Arguments& arguments)
{
    if (arguments.sealed)
        return SealTextCommand(input, loaded, options, arguments);
    RijndaelKey& key = loaded.legacy;
    if (std::string problem = ZeroByteProblem(input); !problem.empty())
        return Failure(std::move(problem));
    if (arguments.trimNewline)
        TrimFinalLineEnd(input);
    // Marked "U", the bytes must read as UTF-8 wherever the text is decrypted.
    const TextType type = arguments.utf8 ? TextType::Utf8 : TextType::Ansi;
    if ((arguments.utf8 || arguments.toCodePage) && !IsValidUtf8(input.bytes.data(), input.bytes.size()))
        return Failure(NotUtf8(input, arguments.utf8 ? "--utf8" : "--to-code-page"));
    if (arguments.toCodePage)
        if (std::string problem = ConvertInput(input, *arguments.toCodePage); !problem.empty())
            return Failure(std::move(problem));
    // The input holds no zero byte and is followed by one (ReadInput).
    Buffer marked;
    const Status status = EncryptText(AsText(input), key, options, TextCodePage(type), marked, type);
    if (status != Status::Ok && status != Status::AlreadyMarked)
        return Refusal(status, MSG_CANNOT_ENCRYPT);
    Buffer output = WithLineFeed(status == Status::Ok ? marked : input.bytes);
    return output ? Success(std::move(output)) : Failure(OUT_OF_MEMORY);
}

std::size_t WithoutLineEnds(const std::uint8_t* text, std::size_t size)
{
    while (size > 0 && (text[size - 1] == '\n' || text[size - 1] == '\r'))
        --size;
    return size;
}

// Unmarked input that looks as if it was meant to be marked.
CommandResult PassedThrough(InputBytes& input, std::string_view whole)
{
    CommandResult result = Success(std::move(input.bytes));
    if (TrimWhiteSpace(whole).starts_with(START_MARKER))
        result.warning = "warning: " + input.name + " begins with \"" + START_MARKER +
                         "\" but is not a marked text; it is written unchanged (--strict refuses it)";
    return result;
}

CommandResult DecryptTextCommand(InputBytes& input, LoadedKey& key, const Arguments& arguments)
{
    if (std::string problem = ZeroByteProblem(input); !problem.empty())
        return Failure(std::move(problem));
    // Line ends after the end marker are ignored (the tool's own output ends
    // with one), but unmarked input goes back exactly as it came. Strictly,
    // white space around a marked text is ignored and unmarked input refused.
    const std::string_view whole(AsText(input), input.bytes.size());
    const std::string_view text = arguments.strict ? TrimWhiteSpace(whole)
                                                   : whole.substr(0, WithoutLineEnds(input.bytes.data(), whole.size()));
    Buffer plaintext;
    TextType type = TextType::Ansi;
    switch (const Status status = DecryptAnyText(text, key.legacy, key.Text(), READ_ANSI | READ_UTF8 | READ_SEALED,
                                                 plaintext, type)) {
    case Status::Ok:
        break;
    case Status::Unauthentic:
        return Failure(UnauthenticMessage(input.name));
    case Status::NotMarked:
        return arguments.strict ? Failure(MSG_NOT_ENCRYPTED) : PassedThrough(input, whole);
    case Status::Damaged:
        return Failure(MSG_CODE_DAMAGED);
    case Status::NoKey:
        return Failure(MSG_KEY_NOT_SET);
    default:
        return Refusal(status, MSG_CANNOT_DECRYPT);
    }
    // A sealed text's plaintext is its bytes, whole; a legacy one ends at its zero byte.
    if (type != TextType::Sealed)
        plaintext.Shrink(TextLength(plaintext));
    // Bytes that are not UTF-8 are refused rather than shown as some other text.
    if (type == TextType::Utf8 && !IsValidUtf8(plaintext.data(), plaintext.size()))
        return Failure(MSG_INVALID_UTF8);
    if (!arguments.fromCodePage)
        return Success(std::move(plaintext));
    if (type != TextType::Ansi)
        return Failure(std::string("the text is of type \"") + static_cast<char>(type) +
                       "\", UTF-8 already; --from-code-page converts texts of type \"X\"");
    Buffer converted;
    if (std::string problem = ConvertText(Conversion::FromCodePage, *arguments.fromCodePage, plaintext.data(),
                                          plaintext.size(), converted);
        !problem.empty())
        return Failure("the decrypted text cannot be converted: " + problem);
    return Success(std::move(converted));
}

CommandResult InspectCommand(InputBytes& input, LoadedKey& key, bool check)
{
    const Inspection inspection = InspectMessage(input.bytes.data(), input.bytes.size(), key);
    Buffer output = Buffer::Allocate(inspection.report.size());
    if (!output)
        return Failure(OUT_OF_MEMORY);
    std::memcpy(output.data(), inspection.report.data(), inspection.report.size());
    CommandResult result = Success(std::move(output));
    if (check && inspection.verdict != Verdict::Sound) {
        result.exitCode = EXIT_FAILED;
        result.message = inspection.verdict == Verdict::Malformed     ? "check failed: not a well-formed message"
                         : inspection.verdict == Verdict::Unauthentic ? UnauthenticMessage(input.name)
                                                                      : "check failed: the message does not decrypt with the key";
    }
    return result;
}

}  // namespace

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
    case Command::Keygen:
    case Command::Rekey:
        break;
    }
    return LARGEST_TEXT;
}

bool NeedsKeyFirst(Command command) noexcept
{
    return command != Command::Decrypt && command != Command::Inspect;
}

std::string UnauthenticMessage(const std::string& input)
{
    return input + " does not authenticate: it was changed, cut short, or sealed under another key";
}

CommandResult RunCommand(const Arguments& arguments, InputBytes& input, LoadedKey& key)
{
    switch (*arguments.command) {
    case Command::Encrypt:
        return EncryptTextCommand(input, key, 0, arguments);
    case Command::HtmlEncrypt:
        return EncryptTextCommand(input, key, FORM_HTML_COMMENT, arguments);
    case Command::MultilineEncrypt:
        return EncryptTextCommand(input, key, FORM_LINE_BREAKS, arguments);
    case Command::Decrypt:
        return DecryptTextCommand(input, key, arguments);
    case Command::Inspect:
    case Command::EncryptBytes:  // these stream (stream_commands.h), keygen and rekey have flows of their own
    case Command::DecryptBytes:
    case Command::Keygen:
    case Command::Rekey:
        break;
    }
    return InspectCommand(input, key, arguments.check);
}

}  // namespace zarnocrypt::cli

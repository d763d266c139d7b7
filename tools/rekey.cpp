#include "rekey.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "byte_io.h"
#include "commands.h"
#include "either_format.h"
#include "envelope.h"
#include "envelope_report.h"
#include "file_replace.h"
#include "key_loading.h"
#include "message_report.h"
#include "messages.h"
#include "sealed_message.h"
#include "sealed_text.h"
#include "text_forms.h"
#include "utf8.h"

namespace zarnocrypt::cli {
namespace {

namespace fs = std::filesystem;

// Unchanged: a sealed message already under the key it would get.
enum class Outcome { Rekeyed, Unchanged, Skipped, Failed };

struct Result {
    Outcome outcome;
    std::string reason;  // skipped or failed: why
};

Result Skip(std::string reason) { return {Outcome::Skipped, std::move(reason)}; }
Result Fail(std::string reason) { return {Outcome::Failed, std::move(reason)}; }

const Result NOT_DECRYPTED = Skip("it does not decrypt with the old key");
const Result NO_MEMORY = Fail("out of memory");
const Result REKEYED = {Outcome::Rekeyed, {}};
const Result UNCHANGED = {Outcome::Unchanged, {}};

std::string_view AsText(const Buffer& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// A text written with CRLF line ends is given them back.
Buffer WithCrLf(const Buffer& text)
{
    const auto lineFeeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    Buffer out = Buffer::Allocate(text.size() + lineFeeds);
    std::size_t at = 0;
    for (std::size_t i = 0; out && i < text.size(); ++i) {
        if (text.data()[i] == '\n')
            out.data()[at++] = '\r';
        out.data()[at++] = text.data()[i];
    }
    return out;
}

// The file's bytes with the message in the middle replaced.
Buffer Splice(std::string_view file, std::string_view message, const Buffer& replacement)
{
    const std::size_t before = static_cast<std::size_t>(message.data() - file.data());
    const std::size_t after = file.size() - before - message.size();
    Buffer out = Buffer::Allocate(before + replacement.size() + after);
    if (out) {
        std::copy_n(file.data(), before, out.data());
        std::copy_n(replacement.data(), replacement.size(), out.data() + before);
        std::copy_n(message.data() + message.size(), after, out.data() + before + replacement.size());
    }
    return out;
}

class Rekeyer {
public:
    LoadedKey oldKey;
    LoadedKey newKey;
    bool toSealed = false;  // legacy messages become sealed
    bool sameKey = false;   // the new key text is the old one

    // The white space around a marked text stays, as do its form, its line
    // ends and, unless it is sealed now, its type.
    Result MarkedText(std::string_view file, std::string_view text, Buffer& out)
    {
        Buffer plaintext;
        TextType type = TextType::Ansi;
        const Status status = DecryptAnyText(text, oldKey.legacy, oldKey.Text(), READ_ANSI | READ_UTF8 | READ_SEALED,
                                             plaintext, type);
        if (status != Status::Ok)
            return status == Status::NoMemory ? NO_MEMORY : NOT_DECRYPTED;
        const std::uint32_t options = FormOptions(text.substr(START_MARKER_SIZE + 1));
        Buffer marked;
        const Result result = type == TextType::Sealed || toSealed ? SealedText(plaintext, type, options, marked)
                                                                   : LegacyText(plaintext, type, options, marked);
        if (result.outcome != Outcome::Rekeyed)
            return result;
        if (text.substr(START_MARKER_SIZE + 1).starts_with("\r\n"))
            marked = WithCrLf(marked);
        out = marked ? Splice(file, text, marked) : Buffer();
        return out ? REKEYED : NO_MEMORY;
    }

    // An envelope keeps its block length and gets the new key's length; a
    // sealed message stays sealed.
    Result Binary(const Buffer& message, Buffer& out)
    {
        Buffer plaintext;
        const std::span<const std::uint8_t> bytes(message.data(), message.size());
        const Status status = DecryptAnyBytes(bytes, oldKey.legacy, oldKey.Bytes(), plaintext);
        if (status != Status::Ok)
            return status == Status::NoMemory ? NO_MEMORY : NOT_DECRYPTED;
        const bool sealed = StartsSealedMessage(bytes);
        if (sealed && sameKey)
            return UNCHANGED;
        if (sealed || toSealed)
            return Sealed([&] { return SealBytes(newKey.Bytes(), {plaintext.data(), plaintext.size()}, out); });
        if (newKey.legacy.BuildSchedule(oldKey.legacy.Nb()) != Status::Ok ||
            EncryptEnvelope(newKey.legacy, plaintext.data(), plaintext.size(), out) != Status::Ok)
            return NO_MEMORY;
        return REKEYED;
    }

    // Told apart by content: a marked text (white space around it aside),
    // else a sealed message, or an envelope whose header parses and whose
    // size matches it.
    Result Message(const Buffer& bytes, Buffer& out)
    {
        const std::string_view file = AsText(bytes);
        const std::string_view text = TrimWhiteSpace(file);
        TextType type = TextType::Ansi;
        EnvelopeHeader header;
        SealedHeader sealedHeader;
        std::uint64_t chunks = 0;
        if (text.starts_with(START_MARKER) && (ReadMarkedText(text, type, header) == Status::Ok ||
                                               ReadSealedText(text, sealedHeader, chunks) == Status::Ok))
            return MarkedText(file, text, out);
        const bool envelope = ParseEnvelopeHeader(bytes.data(), bytes.size(), header) == Status::Ok &&
                              header.expectedSize == bytes.size();
        if (envelope || StartsSealedMessage({bytes.data(), bytes.size()}))
            return Binary(bytes, out);
        return Skip("neither a marked text nor a binary envelope");
    }

    Result File(const fs::path& path, bool dryRun)
    {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status))
            return Skip("a symbolic link to a folder, which is not followed");
        if (!fs::is_regular_file(status))
            return error ? Fail("cannot read " + path.string() + ": " + error.message()) : Skip("not a regular file");
        const std::size_t limit = InputLimit(Command::Decrypt, oldKey.legacy);
        if (fs::file_size(path, error) > limit && !error)
            return Skip("larger than any message");
        ReadResult read = ReadInput(path.string(), limit, "a message");
        if (!read.input)
            return Fail(read.error);
        Buffer replacement;
        Result result = Message(read.input->bytes, replacement);
        if (result.outcome != Outcome::Rekeyed || dryRun)
            return result;
        const std::string problem = ReplaceFile(path.string(), replacement.data(), replacement.size());
        return problem.empty() ? result : Fail(problem);
    }

private:
    // The new key seals only as UTF-8, as every reader takes it.
    Result Sealed(const std::function<Status()>& seal) const
    {
        if (std::string problem = SealingKeyProblem(newKey); !problem.empty())
            return Fail(problem);
        switch (seal()) {
        case Status::Ok:
            return REKEYED;
        case Status::NoMemory:
            return NO_MEMORY;
        default:
            return Fail(MSG_CANNOT_ENCRYPT);
        }
    }

    // A sealed text holds UTF-8 text, whole.
    Result SealedText(const Buffer& plaintext, TextType type, std::uint32_t options, Buffer& marked) const
    {
        if (type == TextType::Sealed && sameKey)
            return UNCHANGED;
        std::string_view text = AsText(plaintext);
        if (type != TextType::Sealed) {
            // A legacy text was encrypted with its terminating zero byte.
            if (TextLength(plaintext) + 1 != plaintext.size())
                return Skip("its plaintext goes on after the end of its text");
            text.remove_suffix(1);
            if (!IsValidUtf8(plaintext.data(), text.size()))
                return Skip("its plaintext is not UTF-8, which a sealed text holds; convert it with decrypt "
                            "--from-code-page and encrypt it with --sealed");
        }
        return Sealed([&] { return SealText(newKey.Text(), text, options, marked); });
    }

    Result LegacyText(const Buffer& plaintext, TextType type, std::uint32_t options, Buffer& marked)
    {
        // A text is encrypted with its terminating zero byte; anything after
        // it could not be encrypted as a text again.
        if (TextLength(plaintext) + 1 != plaintext.size())
            return Skip("its plaintext goes on after the end of its text");
        if (newKey.legacy.BuildSchedule(oldKey.legacy.Nb()) != Status::Ok)
            return NO_MEMORY;
        switch (EncryptText(reinterpret_cast<const char*>(plaintext.data()), newKey.legacy, options,
                            TextCodePage(type), marked, type)) {
        case Status::Ok:
            return REKEYED;
        case Status::AlreadyMarked:
            return Skip("its plaintext is itself a marked text, which would be copied instead of encrypted");
        default:
            return NO_MEMORY;
        }
    }
};

class Rekeying {
public:
    explicit Rekeying(bool dryRun) : dryRun_(dryRun) {}

    Rekeyer rekeyer;

    // Folders are walked in name order; links to folders are not followed.
    void Path(const fs::path& root)
    {
        std::error_code error;
        if (!fs::is_directory(fs::symlink_status(root, error)))
            return File(root);
        std::vector<fs::path> files;
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
            if (!fs::is_directory(it->symlink_status(error)))
                files.push_back(it->path());
        if (error)
            Report(Fail("cannot read the folder " + root.string() + ": " + error.message()), root);
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            File(file);
    }

    int ExitCode() const { return failed_ ? EXIT_FAILED : skipped_ ? EXIT_SKIPPED : EXIT_OK; }

private:
    void File(const fs::path& path) { Report(rekeyer.File(path, dryRun_), path); }

    void Report(const Result& result, const fs::path& path)
    {
        const std::string name = path.string();
        if (result.outcome == Outcome::Rekeyed)
            std::printf("%s %s\n", dryRun_ ? "would re-key" : "re-keyed", name.c_str());
        else if (result.outcome == Outcome::Unchanged)
            std::printf("already sealed %s\n", name.c_str());
        else if (result.outcome == Outcome::Skipped)
            std::fprintf(stderr, "zarnocrypt: skipped %s: %s\n", name.c_str(), result.reason.c_str());
        else
            std::fprintf(stderr, "zarnocrypt: %s\n", result.reason.c_str());
        skipped_ |= result.outcome == Outcome::Skipped;
        failed_ |= result.outcome == Outcome::Failed;
        std::fflush(stdout);
    }

    bool dryRun_;
    bool skipped_ = false;
    bool failed_ = false;
};

// Messages name the option, never the path, which may be a misplaced key.
std::string LoadRekeyKey(const std::string& file, const char* option, LoadedKey& key)
{
    if (std::string problem = LoadKey(file, key, option); !problem.empty())
        return problem;
    return key.legacy.HasKeyBytes() ? std::string() : std::string("the key file (") + option + ") holds no key";
}

}  // namespace

int RunRekey(const Arguments& arguments)
{
    Rekeying run(arguments.dryRun);
    Rekeyer& rekeyer = run.rekeyer;
    rekeyer.toSealed = arguments.toSealed;
    rekeyer.sameKey = !arguments.newKeyFile;  // only with --to-sealed
    std::string problem = LoadRekeyKey(*arguments.oldKeyFile, "--old-key-file", rekeyer.oldKey);
    if (problem.empty() && rekeyer.sameKey)
        problem = LoadRekeyKey(*arguments.oldKeyFile, "--old-key-file", rekeyer.newKey);
    else if (problem.empty())
        problem = LoadRekeyKey(*arguments.newKeyFile, "--new-key-file", rekeyer.newKey);
    if (!problem.empty()) {
        std::fprintf(stderr, "zarnocrypt: %s\n", problem.c_str());
        return EXIT_FAILED;
    }
    for (const std::string& path : arguments.paths)
        run.Path(fs::path(path));
    return run.ExitCode();
}

}  // namespace zarnocrypt::cli

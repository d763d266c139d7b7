#include "cli_arguments.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>
#include <utility>

namespace zarnocrypt::cli {
namespace {

constexpr std::array<std::pair<std::string_view, Command>, 9> COMMANDS = {{
    {"encrypt", Command::Encrypt},
    {"html-encrypt", Command::HtmlEncrypt},
    {"multiline-encrypt", Command::MultilineEncrypt},
    {"decrypt", Command::Decrypt},
    {"encrypt-bytes", Command::EncryptBytes},
    {"decrypt-bytes", Command::DecryptBytes},
    {"inspect", Command::Inspect},
    {"keygen", Command::Keygen},
    {"rekey", Command::Rekey},
}};

constexpr std::uint32_t Bit(Command command) { return 1u << static_cast<unsigned>(command); }
constexpr std::uint32_t TEXT_ENCRYPTING = Bit(Command::Encrypt) | Bit(Command::HtmlEncrypt) | Bit(Command::MultilineEncrypt);
constexpr std::uint32_t ONE_INPUT = TEXT_ENCRYPTING | Bit(Command::Decrypt) | Bit(Command::EncryptBytes) |
                                    Bit(Command::DecryptBytes) | Bit(Command::Inspect);
constexpr std::uint32_t ALL = ONE_INPUT | Bit(Command::Keygen) | Bit(Command::Rekey);

enum class Value { None, Path, CodePage };

struct Option {
    std::string_view shortName;  // empty: none
    std::string_view longName;
    Value value;
    std::uint32_t commands;  // the commands that take it
    // Where it goes: one of the two members, by its value.
    bool Arguments::*flag;
    std::optional<std::string> Arguments::*path;
    std::optional<unsigned> Arguments::*codePage;
};

constexpr Option OPTIONS[] = {
    {"-k", "--key-file", Value::Path, ONE_INPUT, nullptr, &Arguments::keyFile, nullptr},
    {"-o", "--output", Value::Path, (ONE_INPUT & ~Bit(Command::Inspect)) | Bit(Command::Keygen), nullptr,
     &Arguments::outputPath, nullptr},
    {"-q", "--quiet", Value::None, ALL, &Arguments::quiet, nullptr, nullptr},
    {"", "--utf8", Value::None, TEXT_ENCRYPTING, &Arguments::utf8, nullptr, nullptr},
    {"", "--trim-newline", Value::None, TEXT_ENCRYPTING, &Arguments::trimNewline, nullptr, nullptr},
    {"", "--sealed", Value::None, TEXT_ENCRYPTING | Bit(Command::EncryptBytes), &Arguments::sealed, nullptr, nullptr},
    {"", "--to-code-page", Value::CodePage, TEXT_ENCRYPTING, nullptr, nullptr, &Arguments::toCodePage},
    {"", "--strict", Value::None, Bit(Command::Decrypt), &Arguments::strict, nullptr, nullptr},
    {"", "--from-code-page", Value::CodePage, Bit(Command::Decrypt), nullptr, nullptr, &Arguments::fromCodePage},
    {"", "--check", Value::None, Bit(Command::Inspect), &Arguments::check, nullptr, nullptr},
    {"", "--force", Value::None, Bit(Command::Keygen), &Arguments::force, nullptr, nullptr},
    {"-n", "--dry-run", Value::None, Bit(Command::Rekey), &Arguments::dryRun, nullptr, nullptr},
    {"", "--to-sealed", Value::None, Bit(Command::Rekey), &Arguments::toSealed, nullptr, nullptr},
    {"", "--old-key-file", Value::Path, Bit(Command::Rekey), nullptr, &Arguments::oldKeyFile, nullptr},
    {"", "--new-key-file", Value::Path, Bit(Command::Rekey), nullptr, &Arguments::newKeyFile, nullptr},
};

// Options that would carry the key itself. They get their own refusal, and
// their value is never echoed back.
constexpr std::array<std::string_view, 4> KEY_VALUE_OPTIONS = {"--key", "--key-text", "--password", "-p"};

std::optional<Command> FindCommand(std::string_view name)
{
    for (const auto& [commandName, command] : COMMANDS)
        if (commandName == name)
            return command;
    return std::nullopt;
}

bool IsHelp(std::string_view arg) { return arg == "-h" || arg == "--help"; }

// The option an argument names, "--name=value" included, and where its
// attached value starts (npos: none attached).
const Option* FindOption(std::string_view arg, std::size_t& valueAt)
{
    for (const Option& option : OPTIONS) {
        valueAt = std::string_view::npos;
        if (arg == option.longName || (!option.shortName.empty() && arg == option.shortName))
            return &option;
        if (arg.starts_with(option.longName) && arg.size() > option.longName.size() &&
            arg[option.longName.size()] == '=') {
            valueAt = option.longName.size() + 1;
            return &option;
        }
    }
    return nullptr;
}

bool IsKeyValueOption(std::string_view arg)
{
    const std::string_view name = arg.substr(0, arg.find('='));
    for (std::string_view option : KEY_VALUE_OPTIONS)
        if (name == option || (option.size() == 2 && arg.starts_with(option)))
            return true;
    return false;
}

// A Windows code page number: 1 to 65535.
std::optional<unsigned> ParseCodePage(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return value;
}

// Error messages name a recognised option only, never the text after it nor
// an argument that was not recognised: either may be a key typed in the
// wrong place.
class Parser {
public:
    Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    ParsedArguments Parse()
    {
        if (argc_ < 2)
            return Fail("no command given");
        const std::string_view first = argv_[1];
        if (IsHelp(first) || first == "--version") {
            (first == "--version" ? parsed_.arguments.version : parsed_.arguments.help) = true;
            return std::move(parsed_);
        }
        parsed_.arguments.command = FindCommand(first);
        if (!parsed_.arguments.command)
            return Fail(first.starts_with("-") ? "expected a command before options" : "unknown command");
        if (AskedForHelp())
            parsed_.arguments.help = true;
        else
            ParseOptions();
        return std::move(parsed_);
    }

private:
    // Help wins over every other argument, as users expect of --help.
    bool AskedForHelp() const
    {
        for (int i = 2; i < argc_ && std::string_view(argv_[i]) != "--"; ++i)
            if (IsHelp(argv_[i]))
                return true;
        return false;
    }

    Command TheCommand() const { return *parsed_.arguments.command; }

    void ParseOptions()
    {
        bool optionsEnded = false;
        for (index_ = 2; index_ < argc_ && parsed_.error.empty(); ++index_) {
            const std::string_view arg = argv_[index_];
            if (optionsEnded || arg == "-" || !arg.starts_with("-"))
                TakeOperand(arg);
            else if (arg == "--")
                optionsEnded = true;
            else if (IsKeyValueOption(arg))
                parsed_.error = "a key is not accepted on the command line (it would show in process lists); "
                                "use -k KEYFILE or the environment variable ZARNOCRYPT_KEY";
            else
                TakeOption(arg);
        }
        if (parsed_.error.empty())
            CheckCombination();
    }

    void TakeOption(std::string_view arg)
    {
        std::size_t valueAt = 0;
        const Option* option = FindOption(arg, valueAt);
        if (option == nullptr) {
            parsed_.error = "unknown option (argument " + std::to_string(index_) + ")";
            return;
        }
        const std::string name(option->longName);
        if ((option->commands & Bit(TheCommand())) == 0) {
            parsed_.error = "option " + name + " does not apply to " + CommandName(TheCommand());
            return;
        }
        Arguments& arguments = parsed_.arguments;
        if (option->value == Value::None) {
            if (valueAt != std::string_view::npos)
                parsed_.error = "option " + name + " takes no value";
            else
                arguments.*option->flag = true;
            return;
        }
        std::string_view value;
        if (valueAt != std::string_view::npos)
            value = arg.substr(valueAt);
        else if (index_ + 1 < argc_)
            value = argv_[++index_];
        const bool given = option->path ? (arguments.*option->path).has_value() : (arguments.*option->codePage).has_value();
        if (given)
            parsed_.error = "option " + name + " given more than once";
        else if (value.empty())
            parsed_.error = "option " + name + (option->value == Value::Path ? " needs a path" : " needs a code page number");
        else if (option->path)
            arguments.*option->path = std::string(value);
        else if (!(arguments.*option->codePage = ParseCodePage(value)))
            parsed_.error = "option " + name + " needs a code page number from 1 to 65535";
    }

    void TakeOperand(std::string_view arg)
    {
        Arguments& arguments = parsed_.arguments;
        if (TheCommand() == Command::Rekey)
            arguments.paths.emplace_back(arg);
        else if (TheCommand() == Command::Keygen)
            parsed_.error = "keygen takes no input file";
        else if (arguments.inputPath)
            parsed_.error = "more than one input file given";
        else
            arguments.inputPath = std::string(arg);
    }

    void CheckCombination()
    {
        const Arguments& arguments = parsed_.arguments;
        const Command command = TheCommand();
        if (command == Command::Keygen && !arguments.outputPath)
            parsed_.error = "keygen needs -o FILE";
        else if (command == Command::Keygen && arguments.outputPath == "-")
            parsed_.error = "keygen writes a key file, never standard output";
        else if (command == Command::Rekey && (!arguments.oldKeyFile || (!arguments.newKeyFile && !arguments.toSealed)))
            parsed_.error = arguments.toSealed ? "rekey needs --old-key-file"
                                               : "rekey needs --old-key-file and --new-key-file";
        else if (command == Command::Rekey && arguments.paths.empty())
            parsed_.error = "rekey needs at least one file or folder";
        else if (command == Command::Rekey && (arguments.oldKeyFile == "-" || arguments.newKeyFile == "-"))
            parsed_.error = "rekey reads its keys from files, not standard input";
        else if (arguments.utf8 && arguments.toCodePage)
            parsed_.error = "options --utf8 and --to-code-page exclude each other";
        else if (arguments.sealed && arguments.toCodePage)
            parsed_.error = "options --sealed and --to-code-page exclude each other";
        else if (arguments.keyFile == "-" && (!arguments.inputPath || arguments.inputPath == "-"))
            parsed_.error = "the key file and the input cannot both be standard input";
    }

    ParsedArguments Fail(std::string message)
    {
        parsed_.error = std::move(message);
        return std::move(parsed_);
    }

    int argc_;
    const char* const* argv_;
    int index_ = 0;
    ParsedArguments parsed_;
};

}  // namespace

ParsedArguments ParseArguments(int argc, const char* const* argv)
{
    return Parser(argc, argv).Parse();
}

const char* CommandName(Command command) noexcept
{
    for (const auto& [name, candidate] : COMMANDS)
        if (candidate == command)
            return name.data();
    return "";
}

bool MakesMarkedText(Command command) noexcept
{
    return (Bit(command) & TEXT_ENCRYPTING) != 0;
}

bool TakesOption(Command command, std::string_view longName) noexcept
{
    for (const Option& option : OPTIONS)
        if (option.longName == longName)
            return (option.commands & Bit(command)) != 0;
    return false;
}

}  // namespace zarnocrypt::cli

#include "cli_arguments.h"

#include <array>
#include <string_view>
#include <utility>

namespace zarnocrypt::cli {
namespace {

constexpr std::array<std::pair<std::string_view, Command>, 7> COMMANDS = {{
    {"encrypt", Command::Encrypt},
    {"html-encrypt", Command::HtmlEncrypt},
    {"multiline-encrypt", Command::MultilineEncrypt},
    {"decrypt", Command::Decrypt},
    {"encrypt-bytes", Command::EncryptBytes},
    {"decrypt-bytes", Command::DecryptBytes},
    {"inspect", Command::Inspect},
}};

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

bool IsKeyValueOption(std::string_view arg)
{
    const std::string_view name = arg.substr(0, arg.find('='));
    for (std::string_view option : KEY_VALUE_OPTIONS)
        if (name == option)
            return true;
    return false;
}

// What an error message may repeat of an unknown option: never an attached
// value, which might be a key typed in the wrong place.
std::string_view OptionName(std::string_view arg)
{
    return arg.starts_with("--") ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
}

class Parser {
public:
    Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    ParsedArguments Parse()
    {
        if (argc_ < 2)
            return Fail("no command given");
        const std::string_view first = argv_[1];
        if (IsHelp(first)) {
            parsed_.arguments.help = true;
            return std::move(parsed_);
        }
        parsed_.arguments.command = FindCommand(first);
        if (!parsed_.arguments.command)
            return Fail(first.starts_with("-") ? "expected a command before options"
                                               : "unknown command \"" + std::string(first) + "\"");
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

    void ParseOptions()
    {
        bool optionsEnded = false;
        for (index_ = 2; index_ < argc_ && parsed_.error.empty(); ++index_) {
            const std::string_view arg = argv_[index_];
            if (optionsEnded || arg == "-" || !arg.starts_with("-"))
                TakeInput(arg);
            else if (arg == "--")
                optionsEnded = true;
            else if (arg == "--utf8")
                parsed_.arguments.utf8 = true;
            else if (arg.starts_with("--utf8="))
                parsed_.error = "option --utf8 takes no value";
            else if (IsKeyValueOption(arg))
                parsed_.error = "a key is not accepted on the command line (it would show in process lists); "
                                "use -k KEYFILE or the environment variable ZARNOCRYPT_KEY";
            else if (!TakeValueOption(arg, "-k", "--key-file", parsed_.arguments.keyFile) &&
                     !TakeValueOption(arg, "-o", "--output", parsed_.arguments.outputPath))
                parsed_.error = "unknown option \"" + std::string(OptionName(arg)) + "\"";
        }
        const Arguments& arguments = parsed_.arguments;
        if (!parsed_.error.empty())
            return;
        if (arguments.outputPath && arguments.command == Command::Inspect)
            parsed_.error = "inspect writes its report to standard output; -o is not accepted";
        else if (arguments.utf8 && !MakesMarkedText(*arguments.command))
            parsed_.error = "option --utf8 applies only to encrypt, html-encrypt and multiline-encrypt";
        else if (arguments.keyFile == "-" && (!arguments.inputPath || arguments.inputPath == "-"))
            parsed_.error = "the key file and the input cannot both be standard input";
    }

    void TakeInput(std::string_view arg)
    {
        if (parsed_.arguments.inputPath)
            parsed_.error = "more than one input file given";
        else
            parsed_.arguments.inputPath = std::string(arg);
    }

    // Accepts "-k VALUE", "--key-file VALUE" and "--key-file=VALUE".
    bool TakeValueOption(std::string_view arg, std::string_view shortName, std::string_view longName,
                         std::optional<std::string>& target)
    {
        std::optional<std::string> value;
        if (arg == shortName || arg == longName) {
            if (index_ + 1 >= argc_) {
                parsed_.error = "option " + std::string(arg) + " needs a path";
                return true;
            }
            value = argv_[++index_];
        } else if (arg.starts_with(longName) && arg.size() > longName.size() && arg[longName.size()] == '=') {
            value = std::string(arg.substr(longName.size() + 1));
        } else {
            return false;
        }
        if (target)
            parsed_.error = "option " + std::string(longName) + " given more than once";
        else if (value->empty())
            parsed_.error = "option " + std::string(longName) + " needs a path";
        else
            target = std::move(value);
        return true;
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
    return command == Command::Encrypt || command == Command::HtmlEncrypt || command == Command::MultilineEncrypt;
}

}  // namespace zarnocrypt::cli

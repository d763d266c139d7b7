#include "cli_usage.h"

#include <cctype>

namespace zarnocrypt::cli {
namespace {

struct CommandHelp {
    Command command;
    const char* summary;
    const char* details;
};

constexpr CommandHelp COMMAND_HELP[] = {
    {Command::Encrypt, "marked text, Base64 on one line", "Encrypts the text "
     "(its bytes, up to its end) into \"[ZQV]X\", a line feed, the\n"
     "Base64 text of the envelope and \"[/ZQV]\", followed by one line feed.\n"
     "A text that is already marked is copied unchanged. Text only: an input\n"
     "holding a zero byte is refused. The type letter \"X\" says that the bytes\n"
     "are text in the ANSI code page of the machine that wrote them; with --utf8,\n"
     "\"U\" says that they are UTF-8 (the component reads them with TextEncoding\n"
     "\"UTF-8\"), and an input that is not valid UTF-8 is refused.\n"},
    {Command::HtmlEncrypt, "Base64 inside an HTML comment", "Like encrypt, with the Base64 text between \"<!--\" and \"-->\".\n"},
    {Command::MultilineEncrypt, "Base64 in lines of 72", "Like encrypt, with the Base64 text in lines of 72 characters.\n"},
    {Command::Decrypt, "plaintext of a marked text", "Decrypts a marked text "
     "of any of the three forms; line ends after the end\n"
     "marker are ignored. Writes the plaintext exactly, with nothing added:\n"
     "ANSI bytes for type \"X\", UTF-8 for type \"U\" (refused if it is not valid\n"
     "UTF-8). Text that is not marked is written back unchanged, with or without\n"
     "a key.\n"},
    {Command::EncryptBytes, "binary envelope", "Encrypts any bytes into the binary envelope. An empty input gives a valid\n"
     "envelope of length 0.\n"},
    {Command::DecryptBytes, "plaintext bytes of an envelope", "Decrypts a binary envelope and writes its plaintext bytes.\n"},
    {Command::Inspect, "what a message is, and why it would not decrypt", "Describes a marked text "
     "or a binary envelope: its form, text type,\n"
     "header fields and whether its size is consistent; with a key, whether the\n"
     "key matches and the message decrypts. Never prints plaintext. Exit status\n"
     "0 whenever the input could be read.\n"},
};

constexpr const char* KEY_OPTION_HELP =
    "  -k, --key-file PATH  the key text is the file's bytes, one trailing line end\n"
    "                       removed; a zero byte in it is refused; \"-\" reads it\n"
    "                       from standard input when FILE is given\n";
constexpr const char* OUTPUT_OPTION_HELP =
    "  -o, --output PATH    write to PATH instead of standard output; the file is\n"
    "                       replaced only when the command succeeds\n";
constexpr const char* UTF8_OPTION_HELP =
    "      --utf8           encrypting text commands: the input is UTF-8 text,\n"
    "                       marked with type \"U\" instead of \"X\"\n";
constexpr const char* OPTIONS_HELP =
    "  -h, --help           show this help\n"
    "\n"
    "FILE is read, or standard input when absent or \"-\". Without -k the key text\n"
    "comes from the environment variable ZARNOCRYPT_KEY. A key is never taken from\n"
    "the command line.\n"
    "Exit status: 0 success, 1 failure (message on standard error), 2 usage error.\n";

const CommandHelp& HelpOf(Command command)
{
    for (const CommandHelp& help : COMMAND_HELP)
        if (help.command == command)
            return help;
    return COMMAND_HELP[0];
}

std::string Synopsis(std::optional<Command> command)
{
    if (!command)
        return "usage: zarnocrypt COMMAND [-k KEYFILE] [-o OUT] [FILE]\n";
    const char* operands = *command == Command::Inspect ? " [-k KEYFILE] [FILE]\n" : " [-k KEYFILE] [-o OUT] [FILE]\n";
    return std::string("usage: zarnocrypt ") + CommandName(*command) + (MakesMarkedText(*command) ? " [--utf8]" : "") +
           operands;
}

}  // namespace

std::string HelpText(std::optional<Command> command)
{
    std::string text = Synopsis(command) + "\n";
    if (command) {
        const CommandHelp& help = HelpOf(*command);
        std::string summary = help.summary;
        summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
        text += summary + ".\n" + help.details;
    } else {
        text += "Commands:\n";
        for (const CommandHelp& help : COMMAND_HELP) {
            std::string name = CommandName(help.command);
            name.resize(19, ' ');
            text += "  " + name + help.summary + "\n";
        }
        text += "\n'zarnocrypt COMMAND --help' describes one command.\n";
    }
    text += std::string("\nOptions:\n") + KEY_OPTION_HELP;
    if (command != Command::Inspect)
        text += OUTPUT_OPTION_HELP;
    if (!command || MakesMarkedText(*command))
        text += UTF8_OPTION_HELP;
    return text + OPTIONS_HELP;
}

std::string UsageText(std::optional<Command> command)
{
    const std::string more = command ? std::string("zarnocrypt ") + CommandName(*command) + " --help"
                                     : std::string("zarnocrypt --help");
    return Synopsis(command) + "Try '" + more + "' for more information.\n";
}

}  // namespace zarnocrypt::cli

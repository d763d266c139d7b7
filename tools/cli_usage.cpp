#include "cli_usage.h"

#include <cctype>

namespace zarnocrypt::cli {
namespace {

struct CommandHelp {
    Command command;
    const char* operands;  // the synopsis after "[OPTIONS]"
    const char* summary;
    const char* details;
};

constexpr CommandHelp COMMAND_HELP[] = {
    {Command::Encrypt, "[-k KEYFILE] [-o OUT] [FILE]", "marked text, Base64 on one line", "Encrypts the text "
     "(its bytes, up to its end) into \"[ZQV]X\", a line feed, the\n"
     "Base64 text of the envelope and \"[/ZQV]\", followed by one line feed.\n"
     "A text that is already marked is copied unchanged. Text only: an input\n"
     "holding a zero byte is refused. The type letter \"X\" says that the bytes\n"
     "are text in the ANSI code page of the machine that wrote them; with --utf8,\n"
     "\"U\" says that they are UTF-8 (the component reads them with TextEncoding\n"
     "\"UTF-8\"), and an input that is not valid UTF-8 is refused. With\n"
     "--to-code-page N the UTF-8 input becomes code page N first and is marked\n"
     "\"X\"; a character that N cannot represent exactly is refused. With --sealed\n"
     "the text becomes a sealed message, marked \"G\": authenticated, salted and\n"
     "keyed by Argon2id from the whole key text. Its input is taken whole, zero\n"
     "bytes too, and must be valid UTF-8, as must the key text.\n"},
    {Command::HtmlEncrypt, "[-k KEYFILE] [-o OUT] [FILE]", "Base64 inside an HTML comment",
     "Like encrypt, with the Base64 text between \"<!--\" and \"-->\".\n"},
    {Command::MultilineEncrypt, "[-k KEYFILE] [-o OUT] [FILE]", "Base64 in lines of 72",
     "Like encrypt, with the Base64 text in lines of 72 characters.\n"},
    {Command::Decrypt, "[-k KEYFILE] [-o OUT] [FILE]", "plaintext of a marked text", "Decrypts a marked text "
     "of any of the three forms; line ends after the end\n"
     "marker are ignored. Writes the plaintext exactly, with nothing added:\n"
     "ANSI bytes for type \"X\", UTF-8 for type \"U\" (refused if it is not valid\n"
     "UTF-8). Text that is not marked is written back unchanged, with or without\n"
     "a key; a warning goes to standard error when it begins with \"[ZQV]\" but is\n"
     "not a valid marked text. With --strict unmarked input fails instead. A\n"
     "sealed text (\"G\") gives its bytes whole, and nothing when it does not\n"
     "authenticate: changed, cut short or sealed under another key.\n"},
    {Command::EncryptBytes, "[-k KEYFILE] [-o OUT] [FILE]", "binary envelope",
     "Encrypts any bytes into the binary envelope, a piece at a time: memory use\n"
     "stays small at any size. An empty input gives a valid envelope of length 0.\n"
     "With --sealed it writes a sealed message instead: authenticated chunks of\n"
     "64 KiB, with no size limit; the key text must be valid UTF-8.\n"},
    {Command::DecryptBytes, "[-k KEYFILE] [-o OUT] [FILE]", "plaintext bytes of an envelope",
     "Decrypts a binary envelope, a piece at a time, and writes its plaintext\n"
     "bytes. Input that is not an envelope fails. Written to standard output,\n"
     "what was written cannot be taken back if the envelope's final check fails;\n"
     "with -o nothing is written unless the whole envelope decrypts. Sealed\n"
     "messages are read too, told apart by their first bytes: each chunk is\n"
     "written only once it authenticated, and a message changed or cut short\n"
     "fails, saying when what was written is not the whole plaintext.\n"},
    {Command::Inspect, "[-k KEYFILE] [FILE]", "what a message is, and why it would not decrypt",
     "Describes a marked text or a binary envelope: its form, text type,\n"
     "header fields and whether its size is consistent; with a key, whether the\n"
     "key matches and the message decrypts. For a sealed message: its format\n"
     "version, Argon2id parameters, salt, nonce and chunk count; with a key,\n"
     "whether it authenticates. Never prints plaintext. Exit status 0 whenever\n"
     "the input could be read, unless --check is given.\n"},
    {Command::Keygen, "-o FILE", "a new random key file",
     "Writes a new key text to FILE: 32 printable ASCII characters from the\n"
     "system's random source, so that SetKey makes the same 256-bit key from it\n"
     "in any code page. FILE gets permissions 0600 (its owner only); an existing\n"
     "FILE is replaced only with --force.\n"},
    {Command::Rekey, "--old-key-file OLD --new-key-file NEW PATH...",
     "re-encrypt stored messages under a new key",
     "Re-encrypts each file PATH, and every file in each folder PATH and its\n"
     "subfolders, from the old key to the new one, in place. Each message keeps\n"
     "its form (one of the three text forms, type \"X\" or \"U\", or a binary\n"
     "envelope, told apart by content) and each file is replaced whole; each is\n"
     "listed on standard output. Files that are not messages or do not decrypt\n"
     "under the old key are left untouched and listed on standard error, with\n"
     "the reason; exit status 3 says that something was skipped. Sealed\n"
     "messages stay sealed. With --to-sealed legacy messages become sealed too,\n"
     "under NEW or, without --new-key-file, under the same key text; sealed ones\n"
     "already under it are left as they are.\n"},
};

struct OptionHelp {
    const char* longName;
    const char* text;  // from the name column on
};

constexpr OptionHelp OPTION_HELP[] = {
    {"--key-file", "  -k, --key-file PATH        the key text is the file's bytes, without a UTF-8\n"
                   "                             byte-order mark and one trailing line end; a zero\n"
                   "                             byte in it is refused; \"-\" reads it from standard\n"
                   "                             input when FILE is given\n"},
    {"--output", "  -o, --output PATH          write to PATH instead of standard output; the file\n"
                 "                             is replaced only when the command succeeds (keygen:\n"
                 "                             the new key file)\n"},
    {"--quiet", "  -q, --quiet                no progress line on standard error (the bytes\n"
                "                             commands show one on a terminal once work takes\n"
                "                             more than a second)\n"},
    {"--utf8", "      --utf8                 encrypting text commands: the input is UTF-8 text,\n"
               "                             marked with type \"U\" instead of \"X\"\n"},
    {"--to-code-page", "      --to-code-page N       encrypting text commands: convert the UTF-8 input\n"
                       "                             to Windows code page N, marked \"X\"\n"},
    {"--sealed", "      --sealed               encrypting commands: write a sealed message, type\n"
                 "                             \"G\" for text (authenticated; UTF-8 text only)\n"},
    {"--trim-newline", "      --trim-newline         encrypting text commands: one final LF or CRLF of\n"
                       "                             the input is not encrypted\n"},
    {"--strict", "      --strict               decrypt: input that is not a marked text fails\n"},
    {"--from-code-page", "      --from-code-page N     decrypt: convert a type \"X\" plaintext from Windows\n"
                         "                             code page N to UTF-8\n"},
    {"--check", "      --check                inspect: exit status 1 unless the input is a\n"
                "                             well-formed message that, with a key, decrypts\n"
                "                             or authenticates\n"},
    {"--force", "      --force                keygen: an existing FILE may be replaced\n"},
    {"--dry-run", "  -n, --dry-run              rekey: list what would change, change nothing\n"},
    {"--to-sealed", "      --to-sealed            rekey: legacy messages become sealed messages\n"},
    {"--old-key-file", "      --old-key-file OLD     rekey: the key file the messages are under now\n"},
    {"--new-key-file", "      --new-key-file NEW     rekey: the key file they are to be under (with\n"
                       "                             --to-sealed, the old one when absent)\n"},
};

constexpr const char* HELP_OPTION_HELP = "  -h, --help                 show this help\n";
constexpr const char* INPUT_HELP =
    "FILE is read, or standard input when absent or \"-\". Without -k the key text\n"
    "comes from the environment variable ZARNOCRYPT_KEY. A key is never taken from\n"
    "the command line.\n";
constexpr const char* EXIT_HELP = "Exit status: 0 success, 1 failure (message on standard error), 2 usage error";
constexpr const char* REKEY_EXIT_HELP = ",\n3 rekey finished but skipped something";

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
        return "usage: zarnocrypt COMMAND [OPTIONS] [FILE]\n";
    return std::string("usage: zarnocrypt ") + CommandName(*command) + " [OPTIONS] " + HelpOf(*command).operands + "\n";
}

std::string CommandList()
{
    std::string text = "Commands:\n";
    for (const CommandHelp& help : COMMAND_HELP) {
        std::string name = CommandName(help.command);
        name.resize(19, ' ');
        text += "  " + name + help.summary + "\n";
    }
    return text + "\n'zarnocrypt COMMAND --help' describes one command; 'zarnocrypt --version' shows\n"
                  "the version and the cipher implementation used on this processor.\n";
}

// The whole tool lists every option; one command, the options it takes.
std::string OptionList(std::optional<Command> command)
{
    std::string text = "\nOptions:\n";
    for (const OptionHelp& option : OPTION_HELP)
        if (!command || TakesOption(*command, option.longName))
            text += option.text;
    return text + HELP_OPTION_HELP + "\n";
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
        text += CommandList();
    }
    text += OptionList(command);
    if (!command || TakesOption(*command, "--key-file"))
        text += INPUT_HELP;
    const bool rekey = !command || *command == Command::Rekey;
    return text + EXIT_HELP + (rekey ? REKEY_EXIT_HELP : "") + ".\n";
}

std::string UsageText(std::optional<Command> command)
{
    const std::string more = command ? std::string("zarnocrypt ") + CommandName(*command) + " --help"
                                     : std::string("zarnocrypt --help");
    return Synopsis(command) + "Try '" + more + "' for more information.\n";
}

}  // namespace zarnocrypt::cli

// The zarnocrypt tool as tables of command lines: arguments, standard input and key in; exit status, exact
// output and exact message out. Rows run in a folder of fixed files named relatively, so that messages are exact.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace zarnocrypt::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr char KEY[] = "correct horse";

struct Row {
    Strings args;
    std::string in;  // standard input
    int status;
    std::string out = {};   // standard output, then what was written to the file "out"
    std::string err = {};   // the message after "zarnocrypt: "; usage errors add the usage lines
    const char* key = KEY;  // ZARNOCRYPT_KEY; unset when null
};

std::string Bytes(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// Messages under KEY made once by the tool and kept: stored messages never change.
const std::string BODY = "AAAABAYEAHCgw4dB6oGmaL8k4+qrXVGnD8HYxgmssyc==";  // "abc"
const std::string MARKED = "[ZQV]X\n" + BODY + "[/ZQV]\n";
const std::string ENVELOPE_HEX = "0000000306040070a0452448195af1ee865fb5a61eff682655f067dd2b803ce8";
const std::string ZEROS("ab\0cd", 5);
const std::string ZEROS_ENVELOPE = Bytes("0000000506040070a68127736d7444a10d1cd6a3d72caa2169ee9a8bee5c20a2");
const std::string LONG_TEXT(100, '0');
const std::string LONG_MARKED = "[ZQV]X\n\n"
                                "AAAAZQYEAHAc7iMhRfIW1disZUpAmTJxx6NiOynttSUc7iMhRfIW1disZUpAmTJxx6NiOynt\n"
                                "tSUc7iMhRfIW1disZUpAmTJxx6NiOynttSUc7iMhRfIW1disZUpAmTJxx6NiOynttSVabvZG\n"
                                "bAZbcl09OjEwNi+UHLhNDxJMxog==\n[/ZQV]\n";
const std::string UTF8_TEXT = "Zażółć gęślą jaźń, Съешь же ещё, 中文, 😀";
const std::string UTF8_MARKED = "[ZQV]U\nAAAAQQYEAHAEyNOOU3DhhtUNKFJ0dLTlWkFSq3UV3/ZDn32/zufGq37x/Z7W//vfSOX2"
                                "TNBio031Hbu2m6RwMVvhwSaOqQ/7plTmVymjkt0==[/ZQV]\n";
const std::string NOT_UTF8_MARKED = "[ZQV]U\nAAAAAgYEAHAJOUSF56Phlz8tBlVim7V1zRbgjkQFKdY==[/ZQV]";  // "\xff"
// "zażółć" in code page 1250, "съешь" in code page 1251
const std::string PL_MARKED = "[ZQV]X\nAAAABwYEAHAuMhsIx14hphlDHRntU5ZHdz85G3R4NxE==[/ZQV]\n";
const std::string RU_MARKED = "[ZQV]X\nAAAABgYEAHD3ykhjvALxq4z9UArSElQeQpobwjVN1UY==[/ZQV]\n";
// "abc" sealed: a text, and the message in its body as bytes.
const std::string SEALED_MARKED = "[ZQV]G\nWlFWMgEDDwHS0MPEinBk0805Be7OZD2MYgHjl/wJzx8EFOWKzeUVdj91lgRcZyHjaqP4yuyi/tMq"
                                  "HXM==[/ZQV]\n";
const std::string SEALED_HEX = "5a51563201030f01d2d0c3c48a7064d3cd3905eece643d8c6201e397fc09cf1f0414e58acde515763f75"
                               "96045c6721e36aa3f8caeca2fed32a1d73";
const std::string UNAUTHENTIC = " does not authenticate: it was changed, cut short, or sealed under another key";

const Strings COMMANDS = {"encrypt", "html-encrypt", "multiline-encrypt", "decrypt", "encrypt-bytes", "decrypt-bytes",
                          "inspect", "keygen", "rekey"};

std::string Synopsis(const std::string& command)
{
    const std::string operands = command == "keygen"    ? "-o FILE"
                                 : command == "rekey"   ? "--old-key-file OLD --new-key-file NEW PATH..."
                                 : command == "COMMAND" ? "[FILE]"
                                 : command == "inspect" ? "[-k KEYFILE] [FILE]" : "[-k KEYFILE] [-o OUT] [FILE]";
    return "usage: zarnocrypt " + command + " [OPTIONS] " + operands + "\n";
}

// The lines after a usage error: those of the command when one was named.
std::string Usage(const Strings& args)
{
    const bool named = !args.empty() && std::ranges::find(COMMANDS, args[0]) != COMMANDS.end();
    return Synopsis(named ? args[0] : "COMMAND") + "Try 'zarnocrypt " + (named ? args[0] + " " : "") +
           "--help' for more information.\n";
}

class CliTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zarnocrypt-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        const std::pair<const char*, std::string> files[] = {
            {"key", "correct horse\n"}, {"key-crlf", "correct horse\r\n"}, {"key-cr", "correct horse\r"},
            {"key-bom", "\xef\xbb\xbf" "correct horse\n"},
            {"msg", MARKED}, {"env", Bytes(ENVELOPE_HEX)}, {"key-2lf", "correct horse\n\n"},  // not a single line end
            {"other", "another key\n"}, {"empty", ""}, {"lf", "\n"}, {"nul-key", ZEROS}, {"plain", "abc"},
            {"twin", "zzzzrzxz twin"},  // another key with KEY's fingerprint
            {"sealed", Bytes(SEALED_HEX)},
            {"max-key", std::string(64 * 1024, 'k')}, {"big-key", std::string(64 * 1024 + 1, 'k')}, {"zero", ZEROS},
        };
        for (const auto& [name, bytes] : files) File(name, bytes);
        fs::create_directory(dir / "sub");
        // Sparse, beyond every limit: refused by their size, never read.
        fs::resize_file(File("huge", ""), std::uintmax_t{1} << 31);
        fs::resize_file(File("huger", ""), std::uintmax_t{1} << 32);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path File(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
    std::string Read(const std::string& name) const
    {
        return {std::istreambuf_iterator<char>(std::ifstream(dir / name, std::ios::binary).rdbuf()), {}};
    }

    // The key goes through the environment: on a command line it would show.
    Row Run(const Strings& args, const std::string& in, const char* key, const std::string& out = ".out") const
    {
        const auto quoted = [](const std::string& s) {
            std::string q = "'";
            for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
            return q + "'";
        };
        // Standard input is a pipe, of a size unknown up front.
        std::string command = "cd " + quoted(dir.string()) + " && cat .in | " + quoted(ZARNOCRYPT_CLI);
        for (const std::string& arg : args) command += " " + quoted(arg);
        File(".in", in);
        key ? setenv("ZARNOCRYPT_KEY", key, 1) : unsetenv("ZARNOCRYPT_KEY");
        const int status = std::system((command + " >" + out + " 2>.err").c_str());
        Row run{args, in, WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(".out") + Read("out"), Read(".err")};
        fs::remove(dir / "out");
        EXPECT_FALSE(HasTemporary()) << "a temporary file is left behind";
        return run;
    }
    bool HasTemporary() const
    {
        return std::ranges::any_of(fs::directory_iterator(dir), [](const fs::directory_entry& entry) {
            return entry.path().string().find(".zarnocrypt-") != std::string::npos;
        });
    }

    void Check(const std::vector<Row>& rows) const
    {
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::PrintToString(row.args));
            const Row run = Run(row.args, row.in, row.key);
            EXPECT_EQ(run.status, row.status);
            EXPECT_EQ(run.err, (row.err.empty() ? "" : "zarnocrypt: " + row.err + "\n") +
                                   (row.status == 2 ? Usage(row.args) : ""));
            EXPECT_EQ(run.out, row.out);
        }
    }

    fs::path dir;
};

TEST_F(CliTest, CommandsWriteTheirFormsFromEveryKeySourceAndPath)
{
    Check({
        {{"encrypt"}, "abc", 0, MARKED}, {{"html-encrypt"}, "abc", 0, "[ZQV]X\n<!--" + BODY + "-->[/ZQV]\n"},
        {{"multiline-encrypt"}, "abc", 0, "[ZQV]X\n\n" + BODY + "\n[/ZQV]\n"},
        {{"multiline-encrypt"}, LONG_TEXT, 0, LONG_MARKED},
        {{"html-encrypt"}, "[ZQV]X\n" + BODY + "[/ZQV]", 0, MARKED},  // already marked: copied
        {{"encrypt", "--sealed", "--trim-newline"}, SEALED_MARKED, 0, SEALED_MARKED},
        // UTF-8 text: the same envelope, marked "U".
        {{"html-encrypt", "--utf8"}, "abc", 0, "[ZQV]U\n<!--" + BODY + "-->[/ZQV]\n"},
        {{"encrypt", "--utf8"}, UTF8_TEXT, 0, UTF8_MARKED}, {{"decrypt"}, UTF8_MARKED, 0, UTF8_TEXT},
        // A key file wins over the environment, and loses one line end.
        {{"encrypt", "-k", "key"}, "abc", 0, MARKED, "", nullptr},
        {{"encrypt", "--key-file", "key-crlf", "plain"}, "", 0, MARKED, "", nullptr},
        {{"encrypt", "-k", "key-bom"}, "abc", 0, MARKED, "", nullptr},  // nor does a byte-order mark
        {{"encrypt", "--key-file=key"}, "abc", 0, MARKED, "", "another key"},
        {{"encrypt", "plain", "-k", "-"}, "correct horse\n", 0, MARKED, "", nullptr},
        {{"decrypt", "-k", "-", "plain"}, std::string(64 * 1024, 'k'), 0, "abc", "", nullptr},
        {{"decrypt", "-k", "max-key"}, "as it came\n\n", 0, "as it came\n\n", "", nullptr},
        // Decrypt ignores line ends after the end marker and passes unmarked text through.
        {{"decrypt", "msg"}, "", 0, "abc"}, {{"decrypt"}, "[ZQV]X\n<!--" + BODY + "-->[/ZQV]\r\n\n", 0, "abc"},
        {{"decrypt", "-"}, LONG_MARKED, 0, LONG_TEXT},
        {{"decrypt", "--", "-"}, "[ZQV]X\nAAAA[/ZQV] \n", 0, "[ZQV]X\nAAAA[/ZQV] \n", "warning: standard input begins "
         "with \"[ZQV]\" but is not a marked text; it is written unchanged (--strict refuses it)", nullptr},
        {{"decrypt", "--strict"}, " \t\n" + MARKED + "\r\n ", 0, "abc"},
        // One final line end dropped on request; "X" texts to and from other code pages.
        {{"encrypt", "--trim-newline"}, "abc\n", 0, MARKED}, {{"encrypt", "--trim-newline"}, "abc", 0, MARKED},
        {{"html-encrypt", "--trim-newline"}, "abc\r\n", 0, "[ZQV]X\n<!--" + BODY + "-->[/ZQV]\n"},
        {{"encrypt", "--to-code-page", "1250"}, "zażółć", 0, PL_MARKED},
        {{"decrypt", "--from-code-page", "1250"}, PL_MARKED, 0, "zażółć"},
        {{"encrypt", "--to-code-page=1251"}, "съешь", 0, RU_MARKED},
        {{"decrypt", "--from-code-page=1251"}, RU_MARKED, 0, "съешь"},
        {{"decrypt"}, "", 0, "", "", nullptr},
        {{"decrypt"}, "[ZQV]X\nAAAABQYEAHCmgSdzbXREoQ0c1qPXLKohae6ai+5cIKI=[/ZQV]", 0, "ab"},  // up to a zero byte
        // Bytes keep zero bytes; an empty input makes a valid envelope.
        {{"encrypt-bytes", "plain"}, "", 0, Bytes(ENVELOPE_HEX)}, {{"encrypt-bytes"}, ZEROS, 0, ZEROS_ENVELOPE},
        {{"encrypt-bytes"}, "", 0, Bytes("0000000006040070b753d86fc8a771e3050621b5c958efbc39efcddb46997b52")},
        {{"decrypt-bytes", "env"}, "", 0, "abc"}, {{"decrypt-bytes"}, ZEROS_ENVELOPE, 0, ZEROS},
        // Readers take sealed messages too.
        {{"decrypt", "--strict"}, SEALED_MARKED, 0, "abc"}, {{"decrypt-bytes", "-o", "out", "sealed"}, "", 0, "abc"},
        // Output to the file "out", or to standard output for "-".
        {{"encrypt", "-o", "out"}, "abc", 0, MARKED}, {{"decrypt", "--output=out", "msg"}, "", 0, "abc"},
        {{"decrypt", "-o", "out"}, "x", 0, "x", "", nullptr}, {{"encrypt", "-o", "-"}, "abc", 0, MARKED},
        {{"encrypt", "--output", "/dev/null"}, "abc", 0, ""},
    });
}

TEST_F(CliTest, UsageErrorsNameTheFirstProblemAndNeverEchoAValue)
{
    const auto usage = [](Strings args, std::string err) { return Row{args, "", 2, "", err}; };
    const std::string bothStdin = "the key file and the input cannot both be standard input";
    const std::string keyRefused = "a key is not accepted on the command line (it would show in process lists); "
                                   "use -k KEYFILE or the environment variable ZARNOCRYPT_KEY";
    Check({
        usage({}, "no command given"), usage({"-k", "key", "encrypt"}, "expected a command before options"),
        usage({"frobnicate", "-h"}, "unknown command"),
        usage({"encrypt", "--verbose=yes"}, "unknown option (argument 2)"),
        usage({"encrypt", "-phunter2"}, keyRefused),
        usage({"encrypt", "--key-filex"}, "unknown option (argument 2)"),
        usage({"encrypt", "--bogus", "--key=hunter2"}, "unknown option (argument 2)"),
        usage({"encrypt", "--key", "hunter2"}, keyRefused), usage({"decrypt", "--key-text=hunter2"}, keyRefused),
        usage({"inspect", "--password", "x"}, keyRefused), usage({"encrypt-bytes", "-p=hunter2"}, keyRefused),
        usage({"encrypt", "-k"}, "option --key-file needs a path"),
        usage({"decrypt-bytes", "--output"}, "option --output needs a path"),
        usage({"encrypt", "-k", ""}, "option --key-file needs a path"),
        usage({"encrypt", "--output="}, "option --output needs a path"),
        usage({"encrypt", "-k", "a", "--key-file=b"}, "option --key-file given more than once"),
        usage({"encrypt", "-o", "a", "-o", "a"}, "option --output given more than once"),
        usage({"encrypt", "a", "b"}, "more than one input file given"),
        usage({"decrypt", "--", "a", "-k"}, "more than one input file given"),
        usage({"inspect", "-o", "out", "-k", "-"}, "option --output does not apply to inspect"),
        usage({"decrypt", "--utf8"}, "option --utf8 does not apply to decrypt"),
        usage({"encrypt", "--utf8=yes"}, "option --utf8 takes no value"),
        usage({"encrypt", "--to-code-page", "1250x"}, "option --to-code-page needs a code page number from 1 to 65535"),
        usage({"encrypt", "--sealed", "--to-code-page=1250"}, "options --sealed and --to-code-page exclude each other"),
        usage({"rekey", "--to-sealed", "--new-key-file", "k", "box"}, "rekey needs --old-key-file"),
        usage({"rekey", "--old-key-file", "k", "--new-key-file", "-", "box"},
              "rekey reads its keys from files, not standard input"),
        usage({"decrypt", "-k", "-"}, bothStdin), usage({"decrypt", "--key-file=-", "--", "-"}, bothStdin),
    });
}

TEST_F(CliTest, FailuresExitOneWithTheMessageAndNoOutput)
{
    const auto fails = [](Strings args, std::string in, std::string err, const char* key = KEY) {
        return Row{args, in, 1, "", err, key};
    };
    const std::string notSet = "Key has not been set.", cannot = "Cannot decrypt data.";
    const std::string noSuchFile = "No such file or directory";
    const std::string textOnly = " holds a zero byte (at offset 2): text commands take text; "
                                 "use encrypt-bytes or decrypt-bytes for binary data";
    const std::string tooLarge = " is too large: ";
    const std::string keyTooLarge = "the key file (-k) is too large: a key file takes at most 65536 bytes";
    Check({
        // Without a key, the commands that need one say so before they read their input.
        fails({"encrypt"}, "abc", notSet, nullptr), fails({"html-encrypt"}, "abc", notSet, ""),
        fails({"multiline-encrypt", "-k", "lf"}, "abc", notSet), fails({"encrypt-bytes", "-k", "empty"}, "", notSet),
        fails({"decrypt-bytes", "missing"}, "", notSet, nullptr),
        fails({"decrypt", "msg"}, "", "Key not set.", nullptr),
        fails({"decrypt", "-k", "other", "msg"}, "", cannot), fails({"decrypt", "-k", "key-cr", "msg"}, "", cannot),
        fails({"decrypt", "-k", "key-2lf", "msg"}, "", cannot), fails({"encrypt", "-k", "-", "msg"}, "\r\n", notSet),
        fails({"decrypt-bytes", "-k", "other", "env"}, "", cannot),
        fails({"decrypt-bytes"}, Bytes(ENVELOPE_HEX.substr(0, 62)), cannot),
        fails({"decrypt-bytes"}, "plain text", "standard input is not encrypted: not a binary envelope"),
        fails({"decrypt-bytes"}, Bytes(ENVELOPE_HEX) + "x", cannot),  // beyond its header's size
        fails({"decrypt"}, "[ZQV]x\nAAAA[/ZQV]", "Encryption code damaged or type wrong"),
        fails({"encrypt"}, ZEROS, "standard input" + textOnly),
        fails({"multiline-encrypt", "--utf8", "-"}, "\xc3(", "standard input is not valid UTF-8; --utf8 takes UTF-8"
                                                              " text"),
        fails({"decrypt"}, NOT_UTF8_MARKED, "Decrypted text is not valid UTF-8."),
        fails({"decrypt", "--strict"}, "abc", "Text is not encrypted."),
        fails({"encrypt", "--to-code-page", "1250"}, "zaс", "standard input cannot be converted: a character has no "
                                                         "exact equivalent in code page 1250 (at byte offset 2)"),
        fails({"decrypt", "--from-code-page", "1250"}, UTF8_MARKED,
              "the text is of type \"U\", UTF-8 already; --from-code-page converts texts of type \"X\""),
        fails({"decrypt", "-k", "other"}, SEALED_MARKED, "standard input" + UNAUTHENTIC),
        fails({"encrypt", "--sealed"}, "ab\xff", "standard input is not valid UTF-8; --sealed takes UTF-8 text"),
        fails({"encrypt-bytes", "--sealed"}, "", "the key text is not valid UTF-8; sealed messages take a UTF-8 key "
                                                 "text", "clé\xe9"),
        fails({"decrypt-bytes"}, Bytes(SEALED_HEX.substr(0, 78)), "standard input is not a sealed message this "
              "reader takes: its header is cut short, damaged or beyond the bounds of its parameters"),
        fails({"decrypt", "zero"}, "", "zero" + textOnly, nullptr),
        fails({"encrypt", "-k", "nul-key"}, "abc", "the key file (-k) holds a zero byte; a key text cannot contain one"),
        fails({"inspect", "-k", "hunter2", "msg"}, "", "cannot open the key file (-k): " + noSuchFile),
        fails({"encrypt", "-k", "sub"}, "abc", "cannot read the key file (-k): Is a directory"),
        fails({"decrypt", "-k", "big-key"}, "", keyTooLarge),
        fails({"decrypt", "-k", "-", "msg"}, std::string(64 * 1024 + 1, 'k'), keyTooLarge),
        fails({"decrypt", "missing"}, "", "cannot open missing: " + noSuchFile, nullptr),
        fails({"encrypt", "--", "-h"}, "", "cannot open -h: " + noSuchFile),
        fails({"inspect", "sub"}, "", "cannot read sub: Is a directory"),
        fails({"encrypt", "huge"}, "", "huge" + tooLarge + "encrypt takes at most 2147483612 bytes"),
        fails({"encrypt-bytes", "huge"}, "", "huge" + tooLarge + "encrypt-bytes takes at most 2147483613 bytes"),
        fails({"decrypt-bytes", "huge"}, "", "huge" + tooLarge + "decrypt-bytes takes at most 2147483647 bytes"),
        fails({"decrypt", "huger"}, "", "huger" + tooLarge + "decrypt takes at most 4294967294 bytes"),
        fails({"inspect", "huger"}, "", "huger" + tooLarge + "inspect takes at most 4294967294 bytes"),
        fails({"encrypt", "-o", "sub"}, "abc", "cannot write sub: Is a directory"),
        fails({"encrypt", "-o", "key/out"}, "abc", "cannot write key/out: Not a directory"),
        fails({"encrypt", "-o", "no/out"}, "abc", "cannot write no/out: " + noSuchFile),
        fails({"encrypt", "-o", "/dev/full"}, "abc", "cannot write /dev/full: No space left on device"),
    });
}

// Replaces every occurrence of each from, in turn.
std::string With(std::string text, const std::vector<std::pair<std::string, std::string>>& edits)
{
    for (const auto& [from, to] : edits)
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    return text;
}

TEST_F(CliTest, InspectExplainsEveryFormAndRefusal)
{
    const auto marked = [](const std::string& base64) { return "[ZQV]X\n" + base64 + "[/ZQV]"; };
    const auto shows = [](auto in, std::string out, Strings args = {"inspect"}) { return Row{args, in, 0, out}; };
    const std::string abc = "AAAAAwYEAHCgRSRIGVrx7oZftaYe/2gmVfBn3SuAPOg=";  // the envelope of "abc" bytes
    const std::string form = "marked text, Base64 on one line (encrypt)";
    const std::string ansi = "type: \"X\", text in the ANSI code page of the machine that wrote it\n";
    const std::string report = "form: " + form + "\n" + ansi + "envelope: 32 bytes\n  plaintext length: 3 bytes\n"
                               "  block length: 6 words (24-byte blocks)\n  key length: 4 words (128-bit key)\n"
                               "  appendix flag: 0 (no appendix)\n  key fingerprint: 0x70\n"
                               "  size: consistent (8-byte header, 1 block of 24 bytes)\n"
                               "key: 128-bit\n  fingerprint: matches\n  key length: matches\n  decrypts: yes\n";
    const std::string yes = "decrypts: yes", no = "decrypts: no: Cannot decrypt data. (";
    const std::string size = "consistent (8-byte header, 1 block of 24 bytes)";
    const std::string none = "form: not a marked text: Decrypt would return it unchanged\n  reason: ";
    const std::string damaged = "damaged: Decrypt would report \"Encryption code damaged or type wrong\"\n";
    const std::string neither = "form: neither a marked text nor an envelope\n  reason: it holds zero bytes, and ";
    const std::string wouldFail = "  decrypt-bytes: would report \"Cannot decrypt data.\"\n";
    const std::string sealedForm = "form: sealed message (encrypt-bytes --sealed)\n";
    const std::string sealed = "sealed message: 59 bytes\n  format version: 1\n  Argon2id iterations: 3\n  Argon2id "
                               "memory: 32768 KiB\n  Argon2id lanes: 1\n  salt: " + SEALED_HEX.substr(16, 32) + "\n  "
                               "nonce: " + SEALED_HEX.substr(48, 32) + "\n  chunks: 1 of up to 65536 bytes\nkey: "
                               "given\n  authenticates: ";
    Check({
        shows(marked(abc) + "\r\n", report, {"inspect", "--check"}),
        shows("[ZQV]X\n<!--" + abc + "-->[/ZQV]",
              With(report, {{form, "marked text, Base64 inside an HTML comment (html-encrypt)"}})),
        shows(With(LONG_MARKED, {{"\n", "\r\n"}}),
              With(report, {{"(encrypt)", "in lines (multiline-encrypt), lines of 72 characters, CRLF line ends"},
                            {" on one line", ""}, {"32 bytes", "128 bytes"}, {"3 bytes", "101 bytes"},
                            {"1 block of", "5 blocks of"}})),
        Row{{"inspect", "-k", "lf", "-"}, marked(abc), 0, report.substr(0, report.find("key: ")) +
            "key: none given; give -k KEYFILE or ZARNOCRYPT_KEY to check fingerprint and decryption\n", "", nullptr},
        Row{{"inspect", "--check", "-k", "other"}, marked(abc), 1,
            With(report, {{"fingerprint: matches", "fingerprint: differs: the message was made under another key"},
                          {yes, no + "the fingerprint differs)"}}),
            "check failed: the message does not decrypt with the key"},
        Row{{"inspect", "--check"}, "abc", 1, none + "shorter than the start marker\n",
            "check failed: not a well-formed message"},
        shows(marked(abc),
              With(report, {{yes, no + "the magic \"Zqv\" is not after the plaintext: another key with the same "
                                       "fingerprint, or damaged blocks)"}}), {"inspect", "-k", "twin"}),
        shows(marked("AAAAAwUEAHCgRSRIGVrx7oZftaYe/2gmVfBn3SuAPOg="),
              With(report, {{"6 words (24-byte blocks)", "5 words (not 4, 6 or 8: refused)"},
                            {size, "cannot be checked: the block length is not 4, 6 or 8 words"},
                            {yes, no + "the block length is invalid)"}})),
        shows(marked("AAAAAwYFAHCgRSRIGVrx7oZftaYe/2gmVfBn3SuAPOg="),
              With(report, {{"4 words (128-bit key)", "5 words (not 4, 6 or 8: no key has it)"},
                            {"key length: matches", "key length: differs: the key has 4 words, the message 5"},
                            {yes, no + "the key length differs)"}})),
        shows(marked("gAAAAwYEAHCgRSRIGVrx7oZftaYe/2gmVfBn3SuAPOg="),
              With(report, {{"3 bytes", "2147483651 bytes"}, {yes, no + "the size is inconsistent)"},
                            {size, "inconsistent: a plaintext length of 2^31 or more describes no message"}})),
        shows(marked("AAAAAwYEBHCgRSRIGVrx7oZftaYe/2gmVfBn3SuAPOgAAAAA"),
              With(report, {{"32 bytes", "36 bytes"}, {"0 (no appendix)", "4 (a 4-byte appendix follows the blocks)"},
                            {"24 bytes)", "24 bytes, 4-byte appendix)"}})),
        shows(Bytes("0000000308040070" + ENVELOPE_HEX.substr(16, 46)),  // 8-word blocks, 31 bytes
              With(report, {{form, "binary envelope (encrypt-bytes)"}, {ansi, ""}, {"envelope: 32", "envelope: 31"},
                            {"6 words (24-byte blocks)", "8 words (32-byte blocks)"},
                            {"consistent (", "inconsistent: the header needs 40 bytes ("},
                            {"24 bytes)", "32 bytes), the message has 31"}, {yes, no + "the size is inconsistent)"}})),
        shows(NOT_UTF8_MARKED, With(report, {{ansi, "type: \"U\", UTF-8 text; the component reads it with TextEncoding "
                                                   "\"UTF-8\" only\n"}, {"3 bytes", "2 bytes"},
                                             {yes, "decrypts: no: Decrypted text is not valid UTF-8."}})),
        shows("", none + "shorter than the start marker\n"), shows("[/ZQV]", none + "no end marker \"[/ZQV]\"\n"),
        shows("[ZQV]", none + "no end marker \"[/ZQV]\"\n"),
        shows("abcdef[/ZQV]x", none + "text follows the first end marker\n"),
        shows("[ZQV][/ZQV]", "form: " + form + "\ntype letter: \"[\", not \"X\", \"U\" or \"G\"; " + damaged),
        shows("[ZQV]\x7f\nAAAA[/ZQV]",
              "form: " + form + "\ntype letter: byte 0x7f, not \"X\", \"U\" or \"G\"; " + damaged),
        shows("XXXXXX\nAAAA[/ZQV]",
              "form: " + form + "\nnote: the first five bytes are not \"[ZQV]\"; Decrypt does not look at them\n" +
                  ansi + "body: decodes to 3 bytes, fewer than the 8-byte header; " + damaged),
        shows(Bytes("0000000006040070"), neither + "an envelope has more than 8 bytes\n" + wouldFail),
        shows(Bytes("000000000506007000"),
              neither + "its bytes 4 and 5 are no block and key length (4, 6 or 8)\n" + wouldFail),
        shows(SEALED_MARKED, "form: " + form + "\ntype: \"G\", sealed: UTF-8 text, authenticated; the component reads "
                             "it with Format \"Sealed\" only\n" + sealed + "yes\n"),
        Row{{"inspect", "--check", "-k", "other", "sealed"}, "", 1, sealedForm + sealed + "no: changed, cut short, or sealed under "
            "another key\n", "sealed" + UNAUTHENTIC},
        Row{{"inspect", "--check"}, Bytes("5a515632010b" + SEALED_HEX.substr(12)), 1, sealedForm + "sealed message: 59 "
            "bytes\n  header: refused: cut short, another format version than 1, or Argon2id parameters beyond 10 "
            "iterations, 262144 KiB or 4 lanes\n", "check failed: not a well-formed message"},
    });
}

TEST_F(CliTest, VersionNamesTheCipherImplementation)
{
    const std::regex shape("zarnocrypt [0-9]+\\.[0-9]+\\.[0-9]+\ncipher: [a-z0-9-]+\nconstant time: (yes|no)\n");
    EXPECT_TRUE(std::regex_match(Run({"--version"}, "", KEY).out, shape));
}

TEST_F(CliTest, PipesTooLargeToHoldStreamThroughATemporaryFile)
{
    const std::string large((3 << 20) + 5, 'z');
    EXPECT_EQ(Run({"decrypt-bytes", "-q"}, Run({"encrypt-bytes"}, large, KEY).out, KEY).out, large);
}

TEST_F(CliTest, HelpWinsOverEveryOtherArgument)
{
    const std::string tool = Synopsis("COMMAND") + "\nCommands:\n  encrypt            marked text, Base64 on one";
    const std::string output = "  -o, --output PATH          write to PATH instead of standard output; the file\n";
    const std::string exits = "Exit status: 0 success, 1 failure (message on standard error), 2 usage error";
    const std::tuple<Strings, std::string, bool> cases[] = {
        {{"--help"}, tool, true}, {{"-h", "--bogus"}, tool, true},
        {{"decrypt-bytes", "-o", "-h"}, Synopsis("decrypt-bytes") + "\nPlaintext bytes of an envelope.\n", true},
        {{"inspect", "-k", "-", "--bogus", "--help", "--key=x"},
         Synopsis("inspect") + "\nWhat a message is, and why it would not decrypt.\n", false},
        {{"rekey", "-h"}, Synopsis("rekey") + "\nRe-encrypt stored messages under a new key.\n", false},
    };
    for (const auto& [args, start, hasOutput] : cases) {
        const Row run = Run(args, "", KEY);
        EXPECT_TRUE(run.status == 0 && run.err.empty()) << run.status << run.err;
        EXPECT_TRUE(run.out.starts_with(start) && run.out.find(exits) != std::string::npos) << run.out;
        EXPECT_EQ(run.out.find(output) != std::string::npos, hasOutput) << run.out;
    }
}

TEST_F(CliTest, AnOutputFileIsReplacedWholeAndOnlyOnSuccess)
{
    const fs::path target = File("target", "precious\n");
    ::chmod(target.c_str(), 0640);
    const bool root = ::chown(target.c_str(), 1, 1) == 0;  // only root can give a file away
    EXPECT_EQ(Run({"decrypt", "-k", "other", "-o", "target", "msg"}, "", nullptr).status, 1);
    EXPECT_EQ(Read("target"), "precious\n");

    struct stat old {}, replaced {};
    ::stat(target.c_str(), &old);
    EXPECT_EQ(Run({"decrypt", "-o", "target", "msg"}, "", KEY).status, 0);
    ::stat(target.c_str(), &replaced);
    EXPECT_EQ(Read("target"), "abc");
    EXPECT_EQ(replaced.st_mode & 07777, 0640u) << "permissions kept";
    EXPECT_TRUE(!root || (replaced.st_uid == 1 && replaced.st_gid == 1)) << "owner and group kept";
    EXPECT_NE(replaced.st_ino, old.st_ino) << "a new file renamed into place";

    fs::create_symlink("target", dir / "link");
    EXPECT_EQ(Run({"decrypt", "-o", "link"}, "through the link", KEY).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(Read("target"), "through the link");

    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(Run({"decrypt", "-o", "new"}, "", KEY).status, 0);
    EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0666 & ~mask)) << "a new file as the umask allows";
    EXPECT_EQ(Run({"keygen", "-o", "new", "--force"}, "", KEY).status, 0);
    EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0600)) << "a key replacing a file is private too";

    for (const char* command : {"encrypt", "--help"}) {
        const Row full = Run({command}, "abc", KEY, "/dev/full");
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.err, "zarnocrypt: cannot write to standard output: No space left on device\n");
    }
}

// The target is swapped for a link while the output is being written (the
// input, a FIFO, held open): the link is left, and its target unchanged.
TEST_F(CliTest, ALinkSwappedInDuringOutputIsNeverFollowed)
{
    File("target", "old"), File("victim", "precious");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int fifo = ::open((dir / "fifo").c_str(), O_RDWR | O_CLOEXEC);  // neither side waits to open
    auto run = std::async(std::launch::async, [&] { return Run({"decrypt-bytes", "-o", "target", "fifo"}, "", KEY); });
    for (int wait = 0; wait < 1000 && !HasTemporary(); ++wait)  // the output is open: at most 10 s
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fs::remove(dir / "target");
    fs::create_symlink("victim", dir / "target");
    EXPECT_EQ(::write(fifo, Bytes(ENVELOPE_HEX).data(), 32), 32);
    ::close(fifo);
    EXPECT_EQ(run.get().err, "zarnocrypt: cannot replace target: it was replaced by something else while being "
                             "written; left as is\n");
    EXPECT_EQ(Read("victim"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir / "target"));
}

TEST_F(CliTest, KeygenMakesAPrivateKeyAndRekeyChangesOnlyMessagesItDecrypts)
{
    ASSERT_EQ(Run({"keygen", "-o", "new"}, "", nullptr).status, 0);
    const std::string key = Read("new");
    EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0600));
    EXPECT_TRUE(key.size() == 33 && key.back() == '\n' &&
                std::all_of(key.begin(), key.end() - 1, [](char c) { return c > ' ' && c < 127; })) << key;
    Check({{{"keygen", "-o", "new"}, "", 1, "", "cannot create new: File exists"}});
    EXPECT_EQ(Read("new"), key);

    // Each form with its line ends, in a folder tree, beside a file that is no message.
    const std::vector<std::pair<std::string, std::string>> messages = {
        {"box/a", MARKED}, {"box/c", With(LONG_MARKED, {{"\n", "\r\n"}})}, {"box/d", " " + UTF8_MARKED},
        {"box/deep/b", "[ZQV]X\n<!--" + BODY + "-->[/ZQV]"}, {"box/e", Bytes(ENVELOPE_HEX)},
        {"box/f", LONG_MARKED}};
    fs::create_directories(dir / "box/deep");
    std::string listing, notOld;
    for (const auto& [name, bytes] : messages) {
        File(name, bytes);
        listing += "re-keyed " + name + "\n";
        notOld += "skipped " + name + ": it does not decrypt with the old key\nzarnocrypt: ";
    }
    File("box/plain", "abc");
    const std::string skipped = "skipped box/plain: neither a marked text nor a binary envelope";
    const auto rekey = [](const char* from, const char* to, Strings more = {}) {
        more.insert(more.begin(), {"rekey", "--old-key-file", from, "--new-key-file", to, "box"});
        return more;
    };
    Check({{rekey("key", "new", {"-n"}), "", 3, With(listing, {{"re-keyed", "would re-key"}}), skipped, nullptr},
           {rekey("key", "new"), "", 3, listing, skipped, nullptr},
           {rekey("key", "new"), "", 3, "", notOld + skipped, nullptr},
           {rekey("key", "missing"), "", 1, "", "cannot open the key file (--new-key-file): No such file or directory", nullptr}});
    // Back to the old key: every file as it was, byte for byte.
    Check({{rekey("new", "key"), "", 3, listing, skipped, nullptr}});
    for (const auto& [name, bytes] : messages) EXPECT_EQ(Read(name), bytes) << name;

    // Sealed under the same key text, then left alone; under a new key they stay sealed.
    const Strings toSealed = {"rekey", "--to-sealed", "--old-key-file", "key", "box"};
    Check({{toSealed, "", 3, listing, skipped, nullptr},
           {toSealed, "", 3, With(listing, {{"re-keyed", "already sealed"}}), skipped, nullptr},
           {rekey("key", "new"), "", 3, listing, skipped, nullptr},
           {{"decrypt", "--strict", "-k", "new", "box/d"}, "", 0, UTF8_TEXT, "", nullptr},
           {{"decrypt-bytes", "-k", "new", "box/e"}, "", 0, "abc", "", nullptr}});
    EXPECT_TRUE(Read("box/c").starts_with("[ZQV]G\r\n\r\n") && Read("box/e").starts_with("ZQV2")) << Read("box/c");
}

// Sealed messages differ each time: made here, then changed as an attacker could.
TEST_F(CliTest, SealedMessagesRoundTripAndRefuseEveryChange)
{
    const std::string text = Run({"multiline-encrypt", "--sealed", "--trim-newline"}, UTF8_TEXT + "\n", KEY).out;
    std::string plain(3 * 65536 + 100, 0);  // four chunks, the last one short
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = char(i * 7 / 3);
    const std::string message = Run({"encrypt-bytes", "--sealed"}, plain, KEY).out;
    const std::string empty = Run({"encrypt-bytes", "--sealed"}, "", KEY).out;
    constexpr std::size_t header = 40, chunk = 65536 + 16;
    std::string changed = message, swapped = message;
    changed[header + chunk + 5] ^= 1;
    std::swap_ranges(swapped.begin() + header, swapped.begin() + header + chunk, swapped.begin() + header + chunk);
    const Strings toFile = {"decrypt-bytes", "-o", "out"};
    const std::string refused = "standard input" + UNAUTHENTIC;
    Check({
        {{"decrypt"}, text, 0, UTF8_TEXT}, {{"decrypt-bytes"}, message, 0, plain}, {{"decrypt-bytes"}, empty, 0, ""},
        {toFile, changed, 1, "", refused}, {toFile, swapped, 1, "", refused},
        {toFile, message.substr(0, header + 3 * chunk), 1, "", refused},  // the last chunk dropped
        {toFile, empty.substr(0, header + 15), 1, "", refused},
        // To standard output, chunks that authenticated were written (one is held back).
        {{"decrypt-bytes"}, message.substr(0, message.size() - 1), 1, plain.substr(0, 2 * 65536),
         refused + "; what was written is not the whole plaintext"},
    });
}

}  // namespace
}  // namespace zarnocrypt::test

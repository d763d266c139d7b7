// The zarnocrypt tool as tables of command lines: every command's forms, usage
// errors, failures, inspect, help and version.
#include "cli_fixture.h"

namespace zarnocrypt::test {
namespace {


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
    // A standard output that takes no bytes fails the streamed commands too, at once.
    const Row full = Run({"encrypt-bytes"}, "abc", KEY, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "zarnocrypt: cannot write to standard output: No space left on device\n");
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
        shows("[ZQV] \nAAAA[/ZQV]", "form: " + form + "\ntype letter: \" \", not \"X\", \"U\" or \"G\"; " + damaged),
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

}  // namespace
}  // namespace zarnocrypt::test

// The zarnocrypt tool's failures: messages and exit statuses, output files
// that are never left half-written, size limits, inspect, usage and help.
#include "cli_test_support.h"

namespace zarnocrypt::test {
namespace {

struct FailureCase {
    std::vector<std::string> args;
    std::string input;
    std::vector<std::string> env;
    std::string err;
};

TEST_F(CliTest, FailuresExitOneWithTheComponentsMessage)
{
    const std::string marked = ExpectedMarked("abc", FORMS[0]);
    const std::string envelope = EnvelopeOf("abc");
    const std::string emptyKey = File("empty-key", "\n").string();
    const std::string nulKey = File("nul-key", std::string("ab\0cd", 5)).string();
    const std::vector<FailureCase> cases = {
        {{"encrypt"}, "abc", {}, "Key has not been set."},
        {{"html-encrypt"}, "abc", {}, "Key has not been set."},
        {{"multiline-encrypt", "-k", emptyKey}, "abc", {}, "Key has not been set."},
        {{"encrypt-bytes"}, "abc", {}, "Key has not been set."},
        {{"decrypt-bytes"}, envelope, {}, "Key has not been set."},
        {{"decrypt"}, marked, {}, "Key not set."},
        {{"decrypt"}, marked, {OTHER_KEY_ENV}, "Cannot decrypt data."},
        {{"decrypt"}, "[ZQV]x\nAAAA[/ZQV]", {KEY_ENV}, "Encryption code damaged or type wrong"},
        {{"decrypt"}, "[ZQV]X[/ZQV]\n", {}, "Encryption code damaged or type wrong"},
        {{"decrypt-bytes"}, envelope, {OTHER_KEY_ENV}, "Cannot decrypt data."},
        {{"decrypt-bytes"}, envelope.substr(0, 31), {KEY_ENV}, "Cannot decrypt data."},
        {{"decrypt-bytes"}, "", {KEY_ENV}, "Cannot decrypt data."},
        {{"encrypt"}, std::string("ab\0c", 4), {KEY_ENV},
         "standard input holds a zero byte (at offset 2): text commands take text; "
         "use encrypt-bytes or decrypt-bytes for binary data"},
        {{"decrypt", "-k", nulKey}, marked, {}, "key file " + nulKey + " holds a zero byte; a key text cannot contain one"},
        {{"decrypt", "/nonexistent/msg"}, "", {KEY_ENV}, "cannot open /nonexistent/msg: No such file or directory"},
        {{"encrypt", "-k", "/nonexistent/key"}, "abc", {},
         "key file: cannot open /nonexistent/key: No such file or directory"},
    };
    for (const FailureCase& c : cases) {
        const CliRun run = Run(c.args, (c.input), c.env);
        EXPECT_EQ(run.status, 1) << c.args[0] << " " << c.err;
        EXPECT_EQ(run.err, "zarnocrypt: " + c.err + "\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(CliTest, OutputFileIsReplacedOnlyOnSuccess)
{
    const fs::path target = File("out.txt", "precious contents\n");
    ::chmod(target.c_str(), 0640);
    const fs::path message = File("msg", ExpectedMarked("new text", FORMS[0]));
    const std::vector<std::string> before = Listing();

    const CliRun wrongKey = Run({"decrypt", "-o", target.string(), message.string()}, {}, {OTHER_KEY_ENV});
    EXPECT_EQ(wrongKey.status, 1);
    EXPECT_EQ(ReadFile(target), "precious contents\n");
    EXPECT_EQ(Listing(), before) << "no temporary file may be left behind";

    struct stat old {};
    ASSERT_EQ(::stat(target.c_str(), &old), 0);
    const CliRun good = Run({"decrypt", "-o", target.string(), message.string()});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out, "");
    EXPECT_EQ(ReadFile(target), "new text");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640)) << "permissions kept";
    struct stat replaced {};
    ASSERT_EQ(::stat(target.c_str(), &replaced), 0);
    EXPECT_NE(replaced.st_ino, old.st_ino) << "a new file renamed into place, not rewritten in place";
    EXPECT_EQ(Listing(), before);

    const fs::path link = dir / "link";
    fs::create_symlink(target, link);
    EXPECT_EQ(Run({"decrypt", "-o", link.string()}, "plain").status, 0);
    EXPECT_TRUE(fs::is_symlink(link)) << "a link keeps pointing at the replaced file";
    EXPECT_EQ(ReadFile(target), "plain");

    const CliRun noDirectory = Run({"encrypt", "-o", (dir / "missing" / "out").string()}, "abc");
    EXPECT_EQ(noDirectory.status, 1);
    EXPECT_NE(noDirectory.err.find((dir / "missing" / "out").string()), std::string::npos) << noDirectory.err;
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(CliTest, InputsBeyondWhatAnEnvelopeDescribesAreRefused)
{
    const fs::path huge = dir / "huge";
    File("huge", "");
    fs::resize_file(huge, std::uintmax_t{1} << 31);  // sparse: refused by its size, never read
    for (const char* command : {"encrypt", "encrypt-bytes", "decrypt-bytes"}) {
        const CliRun run = Run({command, huge.string()});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err.rfind("zarnocrypt: " + huge.string() + " is too large: " + command + " takes at most ", 0),
                  0u)
            << run.err;
    }
}

TEST_F(CliTest, InspectExplainsMessagesWithoutPrintingPlaintext)
{
    const std::string secret = "SECRET PLAINTEXT";
    const std::string marked = ExpectedMarked(secret, FORMS[0]);
    // Another key with KEY's fingerprint (bit 7 - i of byte i): only the magic check can tell.
    const std::uint8_t fingerprint = FingerprintOf(KEY);
    std::string twin = "zzzzzzzz twin";
    for (int i = 0; i < 8; ++i) {
        const int bit = 1 << (7 - i);
        twin[i] = static_cast<char>((twin[i] & ~bit) | (fingerprint & bit));
    }
    ASSERT_EQ(FingerprintOf(twin.c_str()), fingerprint);
    ASSERT_NE(FingerprintOf(OTHER_KEY), FingerprintOf(KEY));

    const std::string header = "  plaintext length: 17 bytes\n"
                               "  block length: 6 words (24-byte blocks)\n"
                               "  key length: 4 words (128-bit key)\n"
                               "  appendix flag: 0 (no appendix)\n";
    const std::string consistent = "  size: consistent (8-byte header, 1 block of 24 bytes)\n";
    const struct {
        std::string input;
        std::vector<std::string> env;
        std::vector<std::string> expected;
    } cases[] = {
        {marked, {KEY_ENV}, {"form: marked text, Base64 on one line (encrypt)\nenvelope: 32 bytes\n", header, consistent,
                             "key: 128-bit\n  fingerprint: matches\n  key length: matches\n  decrypts: yes\n"}},
        {ExpectedMarked(secret, FORMS[2]), {}, {"form: marked text, Base64 in lines (multiline-encrypt)\n", header,
                                                "key: none given"}},
        {marked, {OTHER_KEY_ENV}, {"  fingerprint: differs: the message was made under another key\n",
                                   "  decrypts: no: Cannot decrypt data. (the fingerprint differs)\n"}},
        {marked, {"ZARNOCRYPT_KEY=" + twin}, {"  fingerprint: matches\n", "decrypts: no: Cannot decrypt data. (the magic"}},
        {EnvelopeOf(secret + '\0').substr(0, 31), {KEY_ENV},
         {"form: binary envelope (encrypt-bytes)\nenvelope: 31 bytes\n", header,
          "  size: inconsistent: the header needs 32 bytes (8-byte header, 1 block of 24 bytes), the message has 31\n",
          "decrypts: no: Cannot decrypt data. (the size is inconsistent)\n"}},
        {"just some text\n", {}, {"form: not a marked text: Decrypt would return it unchanged\n",
                                  "  reason: no end marker \"[/ZQV]\"\n"}},
        {marked + " ", {}, {"  reason: text follows the first end marker\n"}},
        {"[ZQV]x\nAAAA[/ZQV]", {}, {"type letter: \"x\", not \"X\"; damaged"}},
        {"[ZQV]X\nAAAA[/ZQV]", {}, {"body: decodes to 3 bytes, fewer than the 8-byte header; damaged"}},
    };
    for (const auto& c : cases) {
        const CliRun run = Run({"inspect"}, c.input, c.env);
        EXPECT_EQ(run.status, 0) << run.err;
        for (const std::string& line : c.expected)
            EXPECT_NE(run.out.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << run.out;
        EXPECT_EQ(run.out.find(secret), std::string::npos);
    }
}

TEST_F(CliTest, UsageErrorsExitTwoAndNeverEchoAKey)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"-k", "key", "encrypt"},
        {"encrypt", "--verbose"},
        {"encrypt", "--key", "hunter2"},
        {"encrypt", "--key=hunter2"},
        {"encrypt", "-phunter2"},
        {"encrypt", "-k"},
        {"encrypt", "-o", "a", "-o", "b"},
        {"encrypt", "in1", "in2"},
        {"inspect", "-o", "out"},
        {"decrypt", "-k", "-"},
    };
    for (const auto& args : cases) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "(none)" : args.back());
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("zarnocrypt: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("usage: zarnocrypt "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("hunter2"), std::string::npos) << run.err;
    }
}

TEST_F(CliTest, HelpForTheToolAndEveryCommand)
{
    for (const char* command : {"encrypt", "html-encrypt", "multiline-encrypt", "decrypt", "encrypt-bytes",
                                "decrypt-bytes", "inspect"}) {
        const CliRun run = Run({command, "--help"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind(std::string("usage: zarnocrypt ") + command + " [-k KEYFILE]", 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
    const CliRun run = Run({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("multiline-encrypt"), std::string::npos);
}

}  // namespace
}  // namespace zarnocrypt::test

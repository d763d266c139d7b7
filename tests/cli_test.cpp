// The zarnocrypt tool, driven as a process: files and pipes in, bytes and
// exit statuses out. Expected ciphertext comes from the core directly
// (EnvelopeCodec and Base64Encode), framed here by hand.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base64.h"
#include "envelope.h"
#include "hex.h"
#include "rijndael_key.h"

namespace zarnocrypt::test {
namespace {

namespace fs = std::filesystem;

constexpr char KEY[] = "correct horse";  // short: a line end left in it would change the key
constexpr char OTHER_KEY[] = "a different key text";
const std::string KEY_ENV = std::string("ZARNOCRYPT_KEY=") + KEY;
const std::string OTHER_KEY_ENV = std::string("ZARNOCRYPT_KEY=") + OTHER_KEY;

struct CliRun {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs the tool with standard input from a pipe fed with piped, or else from
// stdinPath; env holds "NAME=value" entries, and the sanitizer settings pass.
CliRun RunCli(const fs::path& dir, std::vector<std::string> args, const std::optional<std::string>& piped,
              std::vector<std::string> env, const std::string& stdinPath)
{
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    const fs::path outPath = dir / ".run-stdout", errPath = dir / ".run-stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeEnds[2] = {-1, -1};
    if (piped) {
        EXPECT_EQ(pipe(pipeEnds), 0);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    args.insert(args.begin(), ZARNOCRYPT_CLI);

    // A child that exits without reading must not kill the test with SIGPIPE;
    // the child itself keeps the default disposition.
    std::signal(SIGPIPE, SIG_IGN);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, ZARNOCRYPT_CLI, &actions, &attributes, Pointers(args).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    EXPECT_EQ(spawned, 0) << "cannot start " << ZARNOCRYPT_CLI;
    if (piped) {
        // The child reads all of its input before it writes (to files), so
        // feeding the pipe from here cannot deadlock.
        close(pipeEnds[0]);
        for (std::size_t done = 0; spawned == 0 && done < piped->size();) {
            const ssize_t n = write(pipeEnds[1], piped->data() + done, piped->size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        close(pipeEnds[1]);
    }
    CliRun run;
    int waitStatus = 0;
    if (spawned == 0 && waitpid(pid, &waitStatus, 0) == pid && WIFEXITED(waitStatus))
        run.status = WEXITSTATUS(waitStatus);
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return run;
}

struct Form {
    const char* command;
    bool html;
    bool lines;
};
constexpr Form FORMS[] = {{"encrypt", false, false}, {"html-encrypt", true, false}, {"multiline-encrypt", false, true}};

const std::vector<std::string> TEXTS = {
    "abc", "", std::string(100, 'x'), "line one\r\nline two\n", "caf\xe9 \xe4\xf6\xfc \xff",
};

std::string EnvelopeOf(const std::string& bytes)
{
    RijndaelKey key;
    key.SetKeyText(KEY);
    key.BuildSchedule(6);
    EnvelopeCodec codec;
    codec.BindKey(key);
    return AsString(codec.EncryptEnvelope(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          static_cast<std::int32_t>(bytes.size())));
}

std::string Base64(const std::string& bytes, std::uint32_t lineLength)
{
    return AsString(Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                 static_cast<std::uint32_t>(bytes.size()), lineLength));
}

// The marked text the tool must print for text, with its trailing line feed.
std::string ExpectedMarked(const std::string& text, const Form& form)
{
    const std::string envelope = EnvelopeOf(text + '\0');
    const std::string body = form.lines ? "\n" + Base64(envelope, 72) + "\n" : Base64(envelope, 0);
    return "[ZQV]X\n" + std::string(form.html ? "<!--" : "") + body + (form.html ? "-->" : "") + "[/ZQV]\n";
}

std::uint8_t FingerprintOf(const char* keyText)
{
    RijndaelKey key;
    key.SetKeyText(keyText);
    return KeyFingerprint(key);
}

class CliTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zarnocrypt-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path File(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
        return dir / name;
    }
    CliRun Run(const std::vector<std::string>& args, const std::optional<std::string>& piped = {},
               std::vector<std::string> env = {KEY_ENV}, const std::string& stdinPath = "/dev/null") const
    {
        return RunCli(dir, args, piped, std::move(env), stdinPath);
    }
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

TEST_F(CliTest, EncryptingCommandsWriteTheMarkedTextOfTheEnvelope)
{
    for (const Form& form : FORMS)
        for (const std::string& text : TEXTS) {
            const std::string expected = ExpectedMarked(text, form);
            const CliRun piped = Run({form.command}, text);
            EXPECT_EQ(piped.status, 0) << form.command << piped.err;
            EXPECT_EQ(piped.out, expected) << form.command;
            EXPECT_EQ(piped.err, "");
            const CliRun fromFile = Run({form.command, File("in", text).string()});
            EXPECT_EQ(fromFile.out, expected) << form.command;
        }
}

TEST_F(CliTest, EveryFormDecryptsBackThroughFilesAndPipes)
{
    for (const Form& form : FORMS)
        for (const std::string& text : TEXTS) {
            const fs::path marked = dir / "marked";
            ASSERT_EQ(Run({form.command, "-o", marked.string(), File("plain", text).string()}).status, 0);
            const CliRun viaFile = Run({"decrypt", marked.string()});
            EXPECT_EQ(viaFile.status, 0) << viaFile.err;
            EXPECT_EQ(viaFile.out, text) << form.command;
            const CliRun viaPipe = Run({"decrypt", "-"}, ReadFile(marked));
            EXPECT_EQ(viaPipe.out, text) << form.command;
        }
}

TEST_F(CliTest, DecryptReadsRewrappedMultilineWithCarriageReturns)
{
    const std::string text(150, 'q');
    const std::string marked = Run({"multiline-encrypt"}, text).out;
    const std::string base64 = Base64(EnvelopeOf(text + '\0'), 0);
    std::string rewrapped = "[ZQV]X\r\n";
    for (std::size_t i = 0; i < base64.size(); i += 40)
        rewrapped += base64.substr(i, 40) + "\r\n";
    rewrapped += "[/ZQV]\r\n";
    ASSERT_NE(rewrapped, marked);
    const CliRun run = Run({"decrypt"}, rewrapped);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, text);
}

TEST_F(CliTest, MarkedInputIsCopiedAndUnmarkedInputPassesThrough)
{
    const std::string marked = ExpectedMarked("abc", FORMS[0]);
    const std::string bare = marked.substr(0, marked.size() - 1);
    for (const Form& form : FORMS)
        EXPECT_EQ(Run({form.command}, bare).out, marked) << form.command;

    // As in the component, a line end after the end marker makes it plain text again.
    const CliRun again = Run({"encrypt"}, marked);
    EXPECT_NE(again.out, marked);
    EXPECT_EQ(Run({"decrypt"}, again.out).out, marked);

    for (const std::string plain :
         {"", "hello\n\n", "text\r\n", "[ZQV]X\nAAAA[/ZQV] \n", "[ZQV]X\nAAAA[/ZQV]BBBB[/ZQV]"}) {
        const CliRun run = Run({"decrypt"}, plain, {});
        EXPECT_EQ(run.status, 0) << plain;
        EXPECT_EQ(run.out, plain);
    }
}

TEST_F(CliTest, BytesCommandsWriteAndReadEnvelopes)
{
    std::string allBytes;
    for (int i = 0; i < 256 * 40; ++i)
        allBytes += static_cast<char>(i * 7 % 256);
    for (const std::string& data : {std::string(), std::string("\0\0x\0", 4), allBytes}) {
        const CliRun encrypted = Run({"encrypt-bytes"}, data);
        EXPECT_EQ(encrypted.status, 0) << encrypted.err;
        EXPECT_EQ(encrypted.out, EnvelopeOf(data));
        const fs::path envelope = File("envelope", encrypted.out);
        const CliRun decrypted = Run({"decrypt-bytes", envelope.string()});
        EXPECT_EQ(decrypted.status, 0) << decrypted.err;
        EXPECT_EQ(decrypted.out, data);
    }
    EXPECT_EQ(Run({"encrypt-bytes"}, "").out.size(), 32u) << "empty input: a valid envelope of L = 0";
}

TEST_F(CliTest, KeyFileLineEndsAndTheEnvironmentGiveTheSameKey)
{
    const std::string expected = ExpectedMarked("abc", FORMS[0]);
    for (const std::string suffix : {"", "\n", "\r\n"}) {
        const fs::path keyFile = File("key", KEY + suffix);
        EXPECT_EQ(Run({"encrypt", "-k", keyFile.string()}, "abc", {}).out, expected);
        EXPECT_EQ(Run({"encrypt", "--key-file=" + keyFile.string()}, "abc", {OTHER_KEY_ENV}).out,
                  expected)
            << "the key file wins over the environment";
        EXPECT_EQ(Run({"encrypt", "-k", "-", File("in", "abc").string()}, {}, {}, keyFile).out, expected);
    }
    EXPECT_EQ(Run({"encrypt"}, "abc").out, expected);
    const fs::path twoLineEnds = File("key2", KEY + std::string("\n\n"));
    EXPECT_NE(Run({"encrypt", "-k", twoLineEnds.string()}, "abc", {}).out, expected);
}

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

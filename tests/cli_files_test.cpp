// The zarnocrypt tool with files: outputs replaced only on success, keys made
// and messages re-keyed, sealed messages made and changed as an attacker could.
#include "cli_fixture.h"

namespace zarnocrypt::test {
namespace {

// A suite of its own: each file has its own copy of the fixture.
using CliFilesTest = CliTest;

TEST_F(CliFilesTest, AnOutputFileIsReplacedWholeAndOnlyOnSuccess)
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
TEST_F(CliFilesTest, ALinkSwappedInDuringOutputIsNeverFollowed)
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

TEST_F(CliFilesTest, KeygenMakesAPrivateKeyAndRekeyChangesOnlyMessagesItDecrypts)
{
    ASSERT_EQ(Run({"keygen", "-o", "new"}, "", nullptr).status, 0);
    const std::string key = Read("new");
    EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0600));
    EXPECT_TRUE(key.size() == 33 && key.back() == '\n' &&
                std::all_of(key.begin(), key.end() - 1, [](char c) { return c > ' ' && c < 127; })) << key;
    Check({{{"keygen", "-o", "new"}, "", 1, "", "cannot create new: File exists"}});
    EXPECT_EQ(Read("new"), key);

    // Each form with its line ends, in a folder tree, beside a file that only looks like one.
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
    File("box/marked-only", "[ZQV]x\nAAAA[/ZQV]");  // marked, but no message of either format
    const std::string skipped = "skipped box/marked-only: neither a marked text nor a binary envelope";
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
TEST_F(CliFilesTest, SealedMessagesRoundTripAndRefuseEveryChange)
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

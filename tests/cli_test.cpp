// The zarnocrypt tool's formats: what each command writes, and round trips
// through files, pipes and key sources.
#include "cli_test_support.h"

namespace zarnocrypt::test {
namespace {

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

}  // namespace
}  // namespace zarnocrypt::test

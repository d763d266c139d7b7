// The fixture of the zarnocrypt tool's tables: a row is a command line, its
// standard input and key; its exit status, exact output and exact message.
// Rows run in a folder of fixed files named relatively, so that messages are exact.
#pragma once
#include <fcntl.h>
#include <sys/resource.h>
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
        // A tool that writes without end dies at this size (SIGXFSZ) instead of
        // filling the disk; above the 4 GiB sparse file below.
        rlimit written{};
        getrlimit(RLIMIT_FSIZE, &written);
        written.rlim_cur = std::min<rlim_t>(written.rlim_cur, rlim_t{5} << 30);
        setrlimit(RLIMIT_FSIZE, &written);
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

// Replaces every occurrence of each from, in turn.
std::string With(std::string text, const std::vector<std::pair<std::string, std::string>>& edits)
{
    for (const auto& [from, to] : edits)
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    return text;
}

}  // namespace
}  // namespace zarnocrypt::test

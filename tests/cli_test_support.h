// Drives the zarnocrypt tool as a process for the CLI tests: files and pipes
// in, bytes and exit statuses out. Expected ciphertext comes from the core
// directly (EnvelopeCodec and Base64Encode), framed here by hand.
#pragma once

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

namespace fs = std::filesystem;

inline constexpr char KEY[] = "correct horse";  // short: a line end left in it would change the key
inline constexpr char OTHER_KEY[] = "a different key text";
inline const std::string KEY_ENV = std::string("ZARNOCRYPT_KEY=") + KEY;
inline const std::string OTHER_KEY_ENV = std::string("ZARNOCRYPT_KEY=") + OTHER_KEY;

struct CliRun {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

inline std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs the tool with standard input from a pipe fed with piped, or else from
// stdinPath; env holds "NAME=value" entries, and the sanitizer settings pass.
inline CliRun RunCli(const fs::path& dir, std::vector<std::string> args, const std::optional<std::string>& piped,
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
inline constexpr Form FORMS[] = {{"encrypt", false, false}, {"html-encrypt", true, false}, {"multiline-encrypt", false, true}};

inline const std::vector<std::string> TEXTS = {
    "abc", "", std::string(100, 'x'), "line one\r\nline two\n", "caf\xe9 \xe4\xf6\xfc \xff",
};

inline std::string EnvelopeOf(const std::string& bytes)
{
    RijndaelKey key;
    key.SetKeyText(KEY);
    key.BuildSchedule(6);
    EnvelopeCodec codec;
    codec.BindKey(key);
    return AsString(codec.EncryptEnvelope(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          static_cast<std::int32_t>(bytes.size())));
}

inline std::string Base64(const std::string& bytes, std::uint32_t lineLength)
{
    return AsString(Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                 static_cast<std::uint32_t>(bytes.size()), lineLength));
}

// The marked text the tool must print for text, with its trailing line feed.
inline std::string ExpectedMarked(const std::string& text, const Form& form)
{
    const std::string envelope = EnvelopeOf(text + '\0');
    const std::string body = form.lines ? "\n" + Base64(envelope, 72) + "\n" : Base64(envelope, 0);
    return "[ZQV]X\n" + std::string(form.html ? "<!--" : "") + body + (form.html ? "-->" : "") + "[/ZQV]\n";
}

inline std::uint8_t FingerprintOf(const char* keyText)
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

}  // namespace zarnocrypt::test

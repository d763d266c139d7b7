// Runs the built zarnocrypt binary as a user would: arguments, an
// environment of our choosing, standard input from a file or a pipe, and
// standard output and error captured byte for byte.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace zarnocrypt::test {

struct CliRun {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// How standard input is given: nothing (/dev/null), a file, or a pipe fed with bytes.
struct Stdin {
    enum class Kind { Null, File, Pipe } kind = Kind::Null;
    std::string value;
    static Stdin None() { return {}; }
    static Stdin FromFile(const std::filesystem::path& path) { return {Kind::File, path.string()}; }
    static Stdin Piped(std::string bytes) { return {Kind::Pipe, std::move(bytes)}; }
};

class CliRunner {
public:
    explicit CliRunner(std::filesystem::path workDir) : workDir_(std::move(workDir)) {}

    // env holds "NAME=value" entries; the sanitizer settings of the test pass through.
    CliRun Run(const std::vector<std::string>& args, const Stdin& input = Stdin::None(),
               std::vector<std::string> env = {}) const
    {
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* value = std::getenv(name))
                env.push_back(std::string(name) + "=" + value);
        const std::filesystem::path outPath = workDir_ / ".run-stdout";
        const std::filesystem::path errPath = workDir_ / ".run-stderr";

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int pipeEnds[2] = {-1, -1};
        if (input.kind == Stdin::Kind::Pipe) {
            EXPECT_EQ(pipe(pipeEnds), 0);
            posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
            posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
            posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
        } else {
            const std::string path = input.kind == Stdin::Kind::File ? input.value : "/dev/null";
            posix_spawn_file_actions_addopen(&actions, 0, path.c_str(), O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

        std::vector<std::string> argStrings{ZARNOCRYPT_CLI};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        const std::vector<char*> argv = Pointers(argStrings);
        const std::vector<char*> envp = Pointers(env);

        // A child that exits without reading must not kill the test with
        // SIGPIPE; the child itself keeps the default disposition.
        std::signal(SIGPIPE, SIG_IGN);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, ZARNOCRYPT_CLI, &actions, &attributes, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        EXPECT_EQ(spawned, 0) << "cannot start " << ZARNOCRYPT_CLI;
        if (input.kind == Stdin::Kind::Pipe) {
            // The child reads all of its input before it writes (to files),
            // so feeding the pipe from here cannot deadlock.
            close(pipeEnds[0]);
            std::size_t done = 0;
            while (spawned == 0 && done < input.value.size()) {
                const ssize_t n = write(pipeEnds[1], input.value.data() + done, input.value.size() - done);
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
        std::filesystem::remove(outPath);
        std::filesystem::remove(errPath);
        return run;
    }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& strings)
    {
        std::vector<char*> pointers;
        for (std::string& s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
        return pointers;
    }

    std::filesystem::path workDir_;
};

}  // namespace zarnocrypt::test

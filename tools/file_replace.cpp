#include "file_replace.h"

#include "file_replace_platform.h"

namespace zarnocrypt::cli {
namespace {

std::string WriteWhole(const std::string& path, ReplacementKind kind, const std::uint8_t* data, std::size_t size)
{
    const std::unique_ptr<PlatformReplacement> file = NewPlatformReplacement();
    std::string problem = file->Open(path, kind);
    if (problem.empty())
        problem = file->Write(data, size);
    return problem.empty() ? file->Commit() : problem;
}

}  // namespace

struct ReplacementFile::State {
    std::unique_ptr<PlatformReplacement> file = NewPlatformReplacement();
};

ReplacementFile::ReplacementFile() : state_(std::make_unique<State>()) {}
ReplacementFile::~ReplacementFile() = default;

std::string ReplacementFile::Open(const std::string& path) { return state_->file->Open(path, ReplacementKind::Output); }

std::string ReplacementFile::Write(const std::uint8_t* data, std::size_t size)
{
    return state_->file->Write(data, size);
}

std::string ReplacementFile::Commit() { return state_->file->Commit(); }

std::string ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    return WriteWhole(path, ReplacementKind::Output, data, size);
}

std::string WriteSecretFile(const std::string& path, const std::uint8_t* data, std::size_t size, bool replace)
{
    return WriteWhole(path, replace ? ReplacementKind::Secret : ReplacementKind::NewSecret, data, size);
}

}  // namespace zarnocrypt::cli

// zarnocrypt-bench: the table of Google Benchmark, and with --ratios one line
// per comparison and cipher path, "ratio <name>/<path> <peer time / our time>"
// from median times (higher is better).
//
// Unless told otherwise it runs 5 repetitions of at least 0.05 s per case,
// without colours, and reports CPU time (the machine may be shared).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_cases.h"
#include "cipher_path.h"

namespace zarnocrypt::bench {

namespace {

// The console table, plus the median CPU time of every case.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // A reporter made here does not read --benchmark_color: no colour unless asked.
    explicit MedianReporter(bool color) : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[name] = run.GetAdjustedCPUTime();
            else if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                samples_[name].push_back(run.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median time of a case, or 0 when it did not run.
    double Median(const std::string& name) const
    {
        if (const auto found = medians_.find(name); found != medians_.end())
            return found->second;
        const auto found = samples_.find(name);
        if (found == samples_.end() || found->second.empty())
            return 0;
        std::vector<double> sorted = found->second;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }

private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> samples_;
};

void PrintRatio(const MedianReporter& reporter, const std::string& name, const char* path,
                const std::string& peer, const std::string& ours)
{
    const double peerTime = reporter.Median(peer);
    const double ourTime = reporter.Median(ours);
    if (peerTime > 0 && ourTime > 0)
        std::printf("ratio %s/%s %.2f\n", name.c_str(), path, peerTime / ourTime);
}

// The envelope's rate over the bare blocks' at 1 MiB, in its slower direction.
void PrintEnvelopeOverBlocks(const MedianReporter& reporter, const char* path)
{
    double lowest = 0;
    for (const char* direction : {"encrypt", "decrypt"}) {
        const double blocks = reporter.Median(CipherCase((std::string("cipher-") + direction).c_str(), 6, MIB, path));
        const double envelope =
            reporter.Median(CipherCase((std::string("envelope-") + direction).c_str(), 6, MIB, path));
        if (blocks <= 0 || envelope <= 0)
            return;
        lowest = lowest == 0 ? blocks / envelope : std::min(lowest, blocks / envelope);
    }
    std::printf("ratio envelope-vs-blocks-1mib/%s %.2f\n", path, lowest);
}

// Milliseconds rather than ratios: the first sealed message after a new key
// text pays one derivation, a later one with the key text only the cached path.
void PrintSealedCosts(const MedianReporter& reporter)
{
    const double derivation = reporter.Median(SEALED_DERIVATION_CASE);
    const double cached = reporter.Median(SEALED_TEXT_CASE);
    if (derivation > 0 && cached > 0) {
        std::printf("ms sealed-first-text-after-new-key %.2f\n", (derivation + cached) / 1e6);
        std::printf("ms sealed-text-with-cached-key %.3f\n", cached / 1e6);
    }
    const char* chosen = ChosenImplementation().name;
    for (const char* direction : {"encrypt", "decrypt"})
        PrintRatio(reporter, std::string("sealed-") + direction + "-1mib-vs-envelope", chosen,
                   CipherCase((std::string("envelope-") + direction).c_str(), 6, MIB, chosen), SealedCase(direction));
}

void PrintRatios(const MedianReporter& reporter)
{
    for (const CipherImplementation& implementation : AvailableImplementations()) {
        if (std::strcmp(implementation.name, "reference") == 0)
            continue;
        const char* name = implementation.name;
        for (const char* direction : {"encrypt", "decrypt"}) {
            const std::string cipher = std::string("cipher-") + direction;
            const std::string envelope = std::string("envelope-") + direction;
            PrintRatio(reporter, std::string(direction) + "-nb6-nk6-vs-mcrypt192", name,
                       McryptCase(direction, 6, MIB), CipherCase(cipher.c_str(), 6, MIB, name));
            PrintRatio(reporter, std::string(direction) + "-16mib-vs-memcpy", name, MemcpyCase(16 * MIB),
                       CipherCase(cipher.c_str(), 6, 16 * MIB, name));
            PrintRatio(reporter, envelope + "-nb6-nk6-vs-mcrypt192", name, McryptCase(direction, 6, MIB),
                       CipherCase(envelope.c_str(), 6, MIB, name));
            PrintRatio(reporter, envelope + "-16mib-vs-memcpy", name, MemcpyCase(16 * MIB),
                       CipherCase(envelope.c_str(), 6, 16 * MIB, name));
        }
        PrintEnvelopeOverBlocks(reporter, name);
    }
    for (const char* bound : {"rounds", "permuted-rounds"})
        PrintRatio(reporter, std::string("bound-") + bound + "-16mib-vs-memcpy", "avx512-vaes", MemcpyCase(16 * MIB),
                   BoundCase(bound));
    PrintSealedCosts(reporter);
}

}  // namespace

}  // namespace zarnocrypt::bench

int main(int argc, char** argv)
{
    bool ratios = false;
    bool repetitionsGiven = false;
    bool minTimeGiven = false;
    bool color = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ratios") == 0) {
            ratios = true;
            continue;
        }
        repetitionsGiven = repetitionsGiven || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
        minTimeGiven = minTimeGiven || std::strncmp(argv[i], "--benchmark_min_time", 20) == 0;
        if (std::strncmp(argv[i], "--benchmark_color", 17) == 0)
            color = std::strcmp(argv[i], "--benchmark_color") == 0 ||
                    std::strcmp(argv[i], "--benchmark_color=true") == 0;
        args.push_back(argv[i]);
    }
    char repetitions[] = "--benchmark_repetitions=5";
    char minTime[] = "--benchmark_min_time=0.05";
    char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    if (!repetitionsGiven) {
        args.push_back(repetitions);
        args.push_back(aggregatesOnly);
    }
    if (!minTimeGiven)
        args.push_back(minTime);

    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;

    std::printf("cipher path in use: %s\n", zarnocrypt::ChosenImplementation().name);
    zarnocrypt::bench::RegisterCases();
    zarnocrypt::bench::RegisterSealedCases();
    zarnocrypt::bench::MedianReporter reporter(color);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (ratios)
        zarnocrypt::bench::PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}

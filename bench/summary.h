#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

// Google Benchmark's console table, keeping each benchmark's real time per
// iteration (in milliseconds) for the summary: the median of the repetitions
// when there are several.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;
    void ReportRuns(const std::vector<Run>& runs) override;
    // Milliseconds, or a negative number when the benchmark did not run.
    double milliseconds(const std::string& name) const;
    // The program's own CPU time per iteration in milliseconds: on a shared
    // machine, what it cost without the waits for a core. Child processes
    // are not counted.
    double cpuMilliseconds(const std::string& name) const;

private:
    std::map<std::string, double> times_;
    std::map<std::string, double> cpuTimes_;
};

// Runs each converter once more per picture to measure PSNR against the
// source, and prints the comparison as a markdown table, then the targets.
void printSummary(const RecordingReporter& times);

#include "bench/gif_optimize_benchmark.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "bench/gif_optimize_clips.h"
#include "bench/gif_optimize_quality.h"
#include "gif/Zvqgif.h"
#include "gif/frame_optimizer.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

extern char** environ;

namespace {

struct LosslessClip {
    QString name;
    QString input;  // whole frames
};

struct TrueColourClip {
    OptimizeClip clip;
    QString folder;  // frame-000.png ...
};

OptimizeBenchmarkSetup setup_;
std::vector<LosslessClip> lossless_;
std::vector<TrueColourClip> trueColour_;
std::map<std::string, double> times_;  // the fastest run's real milliseconds, by benchmark name
constexpr int kRuns = 5;  // of every tool on every clip

bool run(const QStringList& args) {
    std::vector<std::string> strings;
    for (const QString& arg : args) strings.push_back(arg.toStdString());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    return started && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QString output(const QString& clip, const QString& tool) { return setup_.work + "/" + clip + "." + tool + ".gif"; }
// The true-colour files apart from the lossless ones of the same clip.
QString trueColourOutput(const QString& clip, const QString& tool) { return output(clip + "-truecolour", tool); }

QStringList losslessCommand(const LosslessClip& clip, const QString& tool) {
    const QString out = output(clip.name, tool);
    if (tool == "ours") return {setup_.zvqgif, "optimize", clip.input, out};
    if (tool == "gifsicle") return {"/usr/bin/gifsicle", "-O3", clip.input, "-o", out};
    return {"/usr/bin/convert", clip.input, "-layers", "Optimize", out};
}

QStringList trueColourCommand(const TrueColourClip& clip, const QString& tool) {
    const QString out = trueColourOutput(clip.clip.name, tool);
    if (tool == "ffmpeg") {
        return {"/usr/bin/ffmpeg", "-v", "error", "-y", "-framerate", QString::number(1000 / clip.clip.delay), "-i",
                clip.folder + "/frame-%03d.png", "-lavfi",
                "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=sierra2_4a:diff_mode=rectangle",
                "-gifflags", "+transdiff", out};
    }
    QStringList args{setup_.zvqgif, "animate", out, "--delay", QString::number(clip.clip.delay), "--loop", "0",
                     "--quality", "high"};
    if (tool == "ours-nodither") args << "--no-dither";
    for (std::size_t i = 0; i < clip.clip.trueColour.size(); ++i) {
        args << QStringLiteral("%1/frame-%2.png").arg(clip.folder).arg(int(i), 3, 10, QChar('0'));
    }
    return args;
}


// The pictures of a whole-frame file, for the optimiser in the process.
struct Decoded {
    int width = 0, height = 0;
    std::vector<std::unique_ptr<TDeviceIndependentBitmap>> pictures;
    std::vector<TGIFGraphicControlInfo> infos;
};

std::shared_ptr<Decoded> decode(const QString& file) {
    auto decoded = std::make_shared<Decoded>();
    TMemoryStream in;
    in.LoadFromFile(file);
    TZVQ_GIFDecompressor decoder;
    decoder.OpenImageStream(&in);
    decoded->width = decoder.GetScreenWidth();
    decoded->height = decoder.GetScreenHeight();
    TGIFGraphicControlInfo info;
    while (std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info)) {
        decoded->pictures.emplace_back(static_cast<TDeviceIndependentBitmap*>(graphic.release()));
        decoded->infos.push_back(info);
    }
    return decoded;
}

bool optimizeInProcess(const Decoded& decoded, int threads) {
    TGIFFrameOptimizer optimizer(decoded.width, decoded.height);
    optimizer.setThreadCount(threads);
    for (std::size_t i = 0; i < decoded.pictures.size(); ++i) optimizer.addFrame(*decoded.pictures[i], decoded.infos[i]);
    TMemoryStream out;
    optimizer.write(&out);
    benchmark::DoNotOptimize(out.bytes().size());
    return true;
}

// The same busy work on each of `threads` threads: what the machine gives
// two threads at once, against one, says how far the speed-ups can go.
bool busyThreads(int threads) {
    const auto work = [] {
        volatile std::uint64_t sum = 0;
        for (std::uint64_t i = 0; i < 200'000'000; ++i) sum = sum + i;
    };
    std::vector<std::thread> others;
    for (int t = 1; t < threads; ++t) others.emplace_back(work);
    work();
    for (std::thread& other : others) other.join();
    return true;
}

// Every run timed apart; the summary takes the fastest, the one least
// disturbed where the machine's cores are shared with others.
void timedRuns(benchmark::State& state, const std::string& name, const std::function<bool()>& once) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!once()) {
            state.SkipWithError("the program failed");
            times_.erase(name);
            return;
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const auto [at, first] = times_.try_emplace(name, ms);
        if (!first) at->second = std::min(at->second, ms);
    }
}

void prepareClips() {
    QDir().mkpath(setup_.work);
    for (OptimizeClip& clip : std::vector<OptimizeClip>{terminalClip(), spritesClip(setup_.photo), panClip(setup_.photo)}) {
        const QString whole = setup_.work + "/" + clip.name + ".gif";
        const QString folder = setup_.work + "/" + clip.name;
        if (!QFileInfo::exists(whole)) writeWholeFrames(clip, whole);
        if (!QFileInfo::exists(folder + "/frame-000.png")) writePngFrames(clip, folder);
        lossless_.push_back({clip.name, whole});
        trueColour_.push_back({std::move(clip), folder});
    }
    if (QFileInfo::exists(setup_.animation)) lossless_.push_back({"animation", setup_.animation});
}

}  // namespace

void registerOptimizeBenchmarks(const OptimizeBenchmarkSetup& setup) {
    setup_ = setup;
    prepareClips();
    const auto add = [](const std::string& name, std::function<bool()> once) {
        benchmark::RegisterBenchmark(name.c_str(), [name, once](benchmark::State& s) { timedRuns(s, name, once); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(kRuns);
    };
    for (int threads : {1, 2}) {
        add("machine/busy/threads:" + std::to_string(threads), [threads] { return busyThreads(threads); });
    }
    for (const LosslessClip& clip : lossless_) {
        for (const QString tool : {"ours", "gifsicle", "imagemagick"}) {
            const QStringList command = losslessCommand(clip, tool);
            add(("lossless/" + clip.name + "/" + tool).toStdString(), [command] { return run(command); });
        }
        const std::shared_ptr<Decoded> decoded = decode(clip.input);
        for (int threads : {1, 2}) {
            add("optimiser/" + clip.name.toStdString() + "/threads:" + std::to_string(threads),
                [decoded, threads] { return optimizeInProcess(*decoded, threads); });
        }
    }
    for (const TrueColourClip& clip : trueColour_) {
        for (const QString tool : {"ours", "ours-nodither", "ffmpeg"}) {
            const QStringList command = trueColourCommand(clip, tool);
            add(("truecolour/" + clip.clip.name + "/" + tool).toStdString(), [command] { return run(command); });
        }
    }
}

namespace {

double timeOf(const std::string& name) {
    const auto found = times_.find(name);
    return found == times_.end() ? -1 : found->second;
}

qint64 bytesOf(const QString& file) { return QFileInfo(file).size(); }

}  // namespace

bool printOptimizeSummary() {
    bool same = true;
    std::printf("\nTimes are the fastest of %d runs of each.\n", kRuns);
    std::printf("\n## Lossless: whole-frame GIFs optimised\n\n");
    std::printf("| clip | whole frames | ours | gifsicle -O3 | ImageMagick | ours / gifsicle bytes | ours ms | gifsicle ms | ImageMagick ms | gifsicle / ours time | same frames |\n");
    std::printf("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|\n");
    for (const LosslessClip& clip : lossless_) {
        const std::string base = "lossless/" + clip.name.toStdString() + "/";
        const qint64 ours = bytesOf(output(clip.name, "ours")), theirs = bytesOf(output(clip.name, "gifsicle"));
        const bool equal = showSameFrames(clip.input, output(clip.name, "ours"));
        same = same && equal;
        std::printf("| %s | %lld | %lld | %lld | %lld | %.3f | %.0f | %.0f | %.0f | %.1f× | %s |\n", qPrintable(clip.name),
                    bytesOf(clip.input), ours, theirs, bytesOf(output(clip.name, "imagemagick")), double(ours) / double(theirs),
                    timeOf(base + "ours"), timeOf(base + "gifsicle"), timeOf(base + "imagemagick"),
                    timeOf(base + "gifsicle") / timeOf(base + "ours"), equal ? "yes" : "NO");
    }
    std::printf("\n## The optimiser in the process, one thread and two\n\n");
    std::printf("Two busy threads ran at %.2f× the rate of one on this machine in this run.\n\n",
                2 * timeOf("machine/busy/threads:1") / timeOf("machine/busy/threads:2"));
    std::printf("| clip | 1 thread ms | 2 threads ms | speed-up |\n|---|--:|--:|--:|\n");
    for (const LosslessClip& clip : lossless_) {
        const std::string base = "optimiser/" + clip.name.toStdString() + "/threads:";
        std::printf("| %s | %.1f | %.1f | %.2f× |\n", qPrintable(clip.name), timeOf(base + "1"), timeOf(base + "2"),
                    timeOf(base + "1") / timeOf(base + "2"));
    }
    std::printf("\n## True colour: PNG frames to GIF\n\n");
    std::printf("| clip | tool | bytes | PSNR dB | ms | ffmpeg / tool time |\n|---|---|--:|--:|--:|--:|\n");
    for (const TrueColourClip& clip : trueColour_) {
        const std::string base = "truecolour/" + clip.clip.name.toStdString() + "/";
        for (const QString tool : {"ours", "ours-nodither", "ffmpeg"}) {
            const QString file = trueColourOutput(clip.clip.name, tool);
            std::printf("| %s | %s | %lld | %.2f | %.0f | %.1f× |\n", qPrintable(clip.clip.name), qPrintable(tool), bytesOf(file),
                        clipPsnr(file, clip.clip), timeOf(base + tool.toStdString()),
                        timeOf(base + "ffmpeg") / timeOf(base + tool.toStdString()));
        }
    }
    std::printf("\nGoals: lossless bytes no larger than gifsicle -O3 (floor 3 %% more), at least 10× its speed (floor 3×);"
                " true colour no more bytes than ffmpeg at no lower PSNR and at least 5× its speed; two threads at least"
                " 1.8× one.\n");
    return same;
}

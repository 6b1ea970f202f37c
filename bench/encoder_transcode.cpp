// Whole-encode wall time of a 60 s PAL Video CD clip: our engine (with its preview on, as the
// control runs it) against the ffmpeg CLI doing the same transcode in the same run, and the
// engine's peak memory; the engine writes rv20 or rv40, the CLI rv20. Run by hand:
// build-*/bench/encoder_transcode [runs [video threads [rv20|rv40]]]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "engine/EncodeJob.h"

namespace {

using namespace quenlar::encoder;
using Clock = std::chrono::steady_clock;

constexpr int kTotalKbps = 500;
constexpr int kAudioKbps = 64;

// Does what the control does with events: keeps the latest preview pictures.
class PreviewKeeper : public EncodeListener {
public:
    void OnOpened(int, int) override {}
    void OnStarted() override {}
    void OnProgress(const EncodeProgress&) override {}
    void OnPreview(const PreviewPicture& source, const PreviewPicture& encoded) override
    {
        std::lock_guard lock(m_mutex);
        m_source = source;
        m_encoded = encoded;
        ++previews;
    }
    void OnError(EncodeResult, const std::string& message) override
    {
        std::fprintf(stderr, "engine error: %s\n", message.c_str());
    }
    void OnFinished(EncodeResult finished) override
    {
        std::lock_guard lock(m_mutex);
        result = finished;
    }
    int previews = 0;
    EncodeResult result = EncodeResult::Ok;

private:
    std::mutex m_mutex;
    PreviewPicture m_source;
    PreviewPicture m_encoded;
};

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Run(const std::string& command)
{
    return std::system(command.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int videoThreads = argc > 2 ? std::atoi(argv[2]) : 0;
    const VideoCodec codec = VideoCodecNamed(argc > 3 ? argv[3] : "rv20").value_or(VideoCodec::Rv20);
    char pattern[] = "/tmp/quenlar-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    const std::string clip = folder + "/pal60.mpg";
    if (Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=352x288:rate=25 "
            "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 60 -target pal-vcd " + clip) != 0)
        return 1;

    const int videoKbps = VideoBitRateFor(kTotalKbps, NearestAc3Kbps(kAudioKbps), 25) / 1000;
    const std::string cli = "ffmpeg -nostdin -v error -y -i " + clip + " -c:v rv20 -b:v " +
                            std::to_string(videoKbps) + "k -c:a ac3 -b:a " + std::to_string(kAudioKbps) +
                            "k -ac 2 -ar 44100 " + folder + "/cli.rm";
    std::vector<double> engineTimes;
    std::vector<double> cliTimes;
    std::vector<double> engineCpu;
    std::vector<double> cliCpu;
    int previews = 0;
    for (int run = 0; run < runs; ++run) {
        EncodeSettings settings;
        settings.inputPath = clip;
        settings.outputPath = folder + "/engine.rm";
        settings.title = "bench";
        settings.totalKbps = kTotalKbps;
        settings.audioKbps = kAudioKbps;
        settings.preview = true;
        settings.videoThreads = videoThreads;
        settings.videoCodec = codec;
        PreviewKeeper keeper;
        auto start = Clock::now();
        double cpu = CpuSeconds(RUSAGE_SELF);
        {
            EncodeJob job(settings, keeper);
            job.Start();
            job.Join();
        }
        engineTimes.push_back(Seconds(Clock::now() - start));
        engineCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
        if (keeper.result != EncodeResult::Ok)
            return 1;
        previews = keeper.previews;

        start = Clock::now();
        cpu = CpuSeconds(RUSAGE_CHILDREN);
        if (Run(cli) != 0)
            return 1;
        cliTimes.push_back(Seconds(Clock::now() - start));
        cliCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double engine = Median(engineTimes);
    const double ffmpeg = Median(cliTimes);
    std::printf("60 s PAL VCD, engine %s, %d runs, medians: engine %.3f s, ffmpeg CLI %.3f s, ratio %.2f "
                "(goal <= 0.60)\n",
                VideoCodecName(codec), runs, engine, ffmpeg, engine / ffmpeg);
    // Other work on the machine only ever adds time: the best runs show each side undisturbed.
    const double engineBest = *std::min_element(engineTimes.begin(), engineTimes.end());
    const double cliBest = *std::min_element(cliTimes.begin(), cliTimes.end());
    std::printf("best runs: engine %.3f s, ffmpeg CLI %.3f s, ratio %.2f\n", engineBest, cliBest, engineBest / cliBest);
    std::printf("CPU time medians: engine %.3f s, ffmpeg CLI %.3f s\n",
                Median(engineCpu), Median(cliCpu));
    std::printf("engine peak RSS %.1f MB (goal <= 150 MB), %d previews in the last run\n",
                usage.ru_maxrss / 1024.0, previews);
    std::printf("CLI: %s\n", cli.c_str());
    std::filesystem::remove_all(folder);
    return 0;
}

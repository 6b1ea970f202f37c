// Rate accuracy and picture quality (mean PSNR of the luma) of the engine's rv40 and rv20 against
// the ffmpeg CLI's rv20 at an equal actual rate: a film clip (../shared/media/bbb-60s.mp4, found
// from the source folder or a folder above it) made into a 4:3 PAL Video CD and a 16:9 PAL DVD,
// and test picture with grain as PAL and NTSC Video CD and 16:9 PAL DVD (`seconds` long, the film
// at most its 60 s). Each codec's PSNR is against the source scaled as the engine scaled it for
// that codec; the CLI encodes those same pictures with its default settings, and its PSNR is
// interpolated to each codec's actual video rate.
// Run by hand: build/bench/encoder_quality [seconds [video threads]]
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "engine/EncodeJob.h"

namespace {

using namespace quenlar::encoder;

double g_seconds = 20;
constexpr double kFilmSeconds = 60;
constexpr int kAudioKbps = 64;
const char* const kFilm = "bbb-60s.mp4";

struct Input {
    const char* name;
    bool film;            // the film clip, else the lavfi source below
    const char* picture;  // the lavfi source of the picture
    const char* format;   // ffmpeg's output options for the clip
    int totalKbps;
    // The CLI's rate control lets a first key frame this large outgrow rm's 64 KB packets: it is
    // given a buffer model then, as the engine has.
    bool cliBuffer = false;
};

const Input kInputs[] = {
    {"film VCD 4:3", true, "", "-target pal-vcd -aspect 4:3", 500},
    {"film DVD 16:9", true, "", "-target pal-dvd -aspect 16:9", 500},
    {"film DVD 16:9", true, "", "-target pal-dvd -aspect 16:9", 1500, true},
    {"PAL VCD 4:3", false, "testsrc2=size=352x288:rate=25,noise=alls=6:allf=t", "-target pal-vcd -aspect 4:3",
     500},
    {"NTSC VCD 4:3", false, "testsrc2=size=352x240:rate=30000/1001,noise=alls=6:allf=t",
     "-target ntsc-vcd -aspect 4:3", 500},
    {"PAL DVD 16:9", false, "testsrc2=size=720x576:rate=25,noise=alls=6:allf=t", "-target pal-dvd -aspect 16:9",
     1000},
};

// The shared media folder: ../shared/media from the source folder or from a folder above it.
std::string FindFilm()
{
    for (std::filesystem::path dir = QUENLAR_SOURCE_DIR; !dir.empty(); dir = dir.parent_path()) {
        const std::filesystem::path film = dir.parent_path() / "shared" / "media" / kFilm;
        if (std::filesystem::exists(film))
            return film.string();
        if (dir == dir.parent_path())
            break;
    }
    return {};
}

class Waiter : public EncodeListener {
public:
    void OnOpened(int w, int h) override
    {
        width = w;
        height = h;
    }
    void OnStarted() override {}
    void OnProgress(const EncodeProgress&) override {}
    void OnPreview(const PreviewPicture&, const PreviewPicture&) override {}
    void OnError(EncodeResult, const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
    void OnFinished(EncodeResult finished) override { result = finished; }
    int width = 0;
    int height = 0;
    EncodeResult result = EncodeResult::Ok;
};

std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        while (fgets(chunk, sizeof chunk, pipe))
            text += chunk;
        pclose(pipe);
    }
    return text;
}

void Run(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// Kbit/s of the video packets of an rm file `seconds` long.
double VideoKbps(const std::string& file, double seconds)
{
    const std::string sizes = Output("ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 '" +
                                     file + "' | awk '{ s += $1 } END { print s }'");
    return std::atof(sizes.c_str()) * 8 / seconds / 1000;
}

// A video stream's entry (width, height, r_frame_rate) as ffprobe prints it.
std::string VideoEntry(const std::string& file, const std::string& entry)
{
    std::string text = Output("ffprobe -v error -select_streams v -show_entries stream=" + entry +
                              " -of csv=p=0 '" + file + "'");
    text.erase(text.find_last_not_of("\n") + 1);
    return text;
}

// Mean PSNR of the luma of an rm file's pictures against the raw reference.
double Psnr(const std::string& file, const std::string& reference, int width, int height, const std::string& fps)
{
    const std::string picture = "-f rawvideo -pix_fmt yuv420p -s " + std::to_string(width) + "x" + std::to_string(height);
    const std::string raw = picture + " -r " + fps;
    // Every decoded picture once, none repeated or dropped on the way.
    Run("ffmpeg -nostdin -v error -y -i '" + file + "' -an -vsync passthrough " + picture + " '" + file + ".yuv'");
    const std::string report = Output("ffmpeg -nostdin -v info " + raw + " -i '" + file + ".yuv' " + raw + " -i '" +
                                      reference + "' -lavfi psnr -f null - 2>&1");
    std::filesystem::remove(file + ".yuv");
    const auto at = report.find("PSNR y:");
    return at == std::string::npos ? 0 : std::atof(report.c_str() + at + 7);
}

struct Measured {
    std::string size;
    std::string fps;
    double actual = 0;  // Kbps of the whole file
    double video = 0;   // Kbps of the video packets
    double psnr = 0;
    double cliPsnr = 0;  // the CLI's rv20 on the same pictures at the same video rate
};

// One codec through the engine, and the CLI's rv20 on the pictures the engine encoded.
Measured Measure(VideoCodec codec, const Input& input, const std::string& clip, double seconds,
                 const std::string& folder, int videoThreads)
{
    EncodeSettings settings;
    settings.inputPath = clip;
    settings.outputPath = folder + "/engine.rm";
    settings.totalKbps = input.totalKbps;
    settings.audioKbps = kAudioKbps;
    settings.videoThreads = videoThreads;
    settings.videoCodec = codec;
    Waiter waiter;
    {
        EncodeJob job(settings, waiter);
        job.Start();
        job.Join();
    }
    if (waiter.result != EncodeResult::Ok)
        std::exit(1);
    Measured m;
    m.actual = std::filesystem::file_size(settings.outputPath) * 8 / seconds / 1000;
    m.video = VideoKbps(settings.outputPath, seconds);
    const int w = waiter.width;
    const int h = waiter.height;
    m.size = std::to_string(w) + "x" + std::to_string(h);
    m.fps = VideoEntry(settings.outputPath, "r_frame_rate");
    // As the engine scales: area averaging where the picture shrinks, bicubic where it grows.
    const std::string sourceSize = VideoEntry(clip, "width,height");
    const int sourceWidth = std::atoi(sourceSize.c_str());
    const int sourceHeight = std::atoi(sourceSize.c_str() + sourceSize.find(',') + 1);
    const char* scaling = w <= sourceWidth && h <= sourceHeight ? "area" : "bicubic";
    const std::string reference = folder + "/reference.yuv";
    // -copyts: the fps filter then sees the times the engine gives it and repeats the same frames.
    Run("ffmpeg -nostdin -v error -y -copyts -i '" + clip + "' -an -vf scale=" + m.size + ":flags=" + scaling +
        ",fps=" + m.fps + " -pix_fmt yuv420p -f rawvideo '" + reference + "'");
    m.psnr = Psnr(settings.outputPath, reference, w, h, m.fps);

    // The CLI at two asked rates that bracket the engine's actual video rate.
    auto cli = [&](double askedKbps, double& kbps) {
        const std::string out = folder + "/cli.rm";
        Run("ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s " + m.size + " -r " + m.fps + " -i '" +
            reference + "' -c:v rv20 -b:v " + std::to_string(static_cast<int>(askedKbps)) + "k" +
            (input.cliBuffer ? " -maxrate " + std::to_string(static_cast<int>(2 * askedKbps)) + "k -bufsize 384k"
                             : std::string()) +
            " -f rm '" + out + "'");
        kbps = VideoKbps(out, seconds);
        return Psnr(out, reference, w, h, m.fps);
    };
    double rate0 = 0;
    double rate1 = 0;
    const double psnr0 = cli(m.video * 0.9, rate0);
    const double psnr1 = cli(m.video * 0.9 * m.video / rate0, rate1);
    m.cliPsnr =
        std::abs(rate1 - rate0) < 1e-6 ? psnr1 : psnr0 + (psnr1 - psnr0) * (m.video - rate0) / (rate1 - rate0);
    return m;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        g_seconds = std::max(1.0, std::atof(argv[1]));
    const int videoThreads = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::string film = FindFilm();
    if (film.empty())
        std::fprintf(stderr, "no ../shared/media/%s above %s: the film cases are left out\n", kFilm, QUENLAR_SOURCE_DIR);
    char pattern[] = "/tmp/quenlar-quality-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    std::printf("%-13s %-5s %-8s %3s %7s %9s %7s %8s %8s %8s %6s\n", "input", "codec", "size", "fps", "target",
                "actual", "error", "video", "PSNR-Y", "CLI", "diff");
    for (const Input& input : kInputs) {
        if (input.film && film.empty())
            continue;
        const double seconds = input.film ? std::min(g_seconds, kFilmSeconds) : g_seconds;
        const std::string clip = folder + "/clip.mpg";
        const std::string source = input.film ? "-i '" + film + "'"
                                              : "-f lavfi -i " + std::string(input.picture) +
                                                    " -f lavfi -i sine=frequency=440:sample_rate=44100";
        Run("ffmpeg -nostdin -v error -y " + source + " -t " + std::to_string(seconds) + " " + input.format + " '" +
            clip + "'");
        for (const VideoCodec codec : {VideoCodec::Rv40, VideoCodec::Rv20}) {
            const Measured m = Measure(codec, input, clip, seconds, folder, videoThreads);
            std::printf("%-13s %-5s %-8s %3s %7d %9.1f %+6.1f%% %8.1f %8.2f %8.2f %+6.2f\n", input.name,
                        VideoCodecName(codec), m.size.c_str(), m.fps.substr(0, m.fps.find('/')).c_str(),
                        input.totalKbps, m.actual, (m.actual / input.totalKbps - 1) * 100, m.video, m.psnr,
                        m.cliPsnr, m.psnr - m.cliPsnr);
            std::fflush(stdout);
        }
    }
    std::printf("CLI: ffmpeg -f rawvideo ... -c:v rv20 -b:v <rate> at two rates around ours, PSNR interpolated\n"
                "     (1500: with -maxrate <2 x rate> -bufsize 384k, or its first key frame outgrows rm's packets)\n");
    std::filesystem::remove_all(folder);
    return 0;
}

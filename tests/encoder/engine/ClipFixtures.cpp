#include "ClipFixtures.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace quenlar::encoder::test {

namespace fs = std::filesystem;

namespace {

// The run's temporary folder, removed when the test binary ends.
class RunFolder {
public:
    RunFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "quenlar-encoder-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_path = pattern;
    }
    ~RunFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

const std::string& Folder()
{
    static RunFolder folder;
    return folder.Path();
}

std::string Quote(const std::string& text)
{
    return "'" + text + "'";
}

// Makes a clip once: `inputs` are the ffmpeg input options, `output` the encoding options.
const std::string& Make(const std::string& name, const std::string& inputs, const std::string& output)
{
    static std::map<std::string, std::string> made;
    auto found = made.find(name);
    if (found != made.end())
        return found->second;
    const std::string path = Folder() + "/" + name;
    const std::string command = "ffmpeg -nostdin -v fatal -y " + inputs + " " + output + " " + Quote(path);
    if (Run(command) != 0)
        throw std::runtime_error("cannot make test clip: " + command);
    return made.emplace(name, path).first->second;
}

const std::string kPicture = "-f lavfi -i testsrc2=size=352x288:rate=25";
const std::string kTone = "-f lavfi -i sine=frequency=440:sample_rate=44100";

}  // namespace

int Run(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string& Clips::PalVcd()
{
    return Make("pal.mpg", kPicture + " " + kTone, "-t 3 -target pal-vcd");
}

const std::string& Clips::NtscVcd()
{
    return Make("ntsc.mpg", "-f lavfi -i testsrc2=size=352x240:rate=30000/1001 " + kTone,
                "-t 3 -target ntsc-vcd");
}

const std::string& Clips::VideoCdDat()
{
    static const std::string path = [] {
        const std::string dat = Folder() + "/AVSEQ01.DAT";
        WrapInVideoCdSectors(PalVcd(), dat);
        return dat;
    }();
    return path;
}

const std::string& Clips::Dvd()
{
    return Make("dvd.mpg", "-f lavfi -i testsrc2=size=720x576:rate=25 " + kTone, "-t 3 -target pal-dvd -aspect 4:3");
}

const std::string& Clips::WideDvd()
{
    return Make("wide.mpg", "-f lavfi -i testsrc2=size=720x576:rate=25 " + kTone, "-t 3 -target pal-dvd -aspect 16:9");
}

const std::string& Clips::NtscDvd()
{
    return Make("ntscdvd.mpg", "-f lavfi -i testsrc2=size=720x480:rate=30000/1001 " + kTone,
                "-t 3 -target ntsc-dvd -aspect 4:3");
}

const std::string& Clips::FullHd()
{
    return Make("fullhd.mpg", "-f lavfi -i testsrc2=size=1920x1080:rate=25 " + kTone,
                "-t 3 -c:v mpeg1video -b:v 6M -aspect 16:9 -c:a mp2 -f mpeg");
}

const std::string& Clips::WideSar()
{
    return Make("widesar.mp4", "-f lavfi -i testsrc2=size=1774x1080:rate=25 " + kTone,
                "-t 3 -c:v libx264 -preset ultrafast -x264-params sar=1775/1774 -c:a aac");
}

const std::string& Clips::VariableRate()
{
    // As phones write it: frames dropped at random from a 60 fps grid, times in 1/120 s.
    return Make("variable.mp4", "-f lavfi -i testsrc2=size=320x180:rate=60 " + kTone,
                "-t 10 -vf \"select='gt(random(0),0.52)'\" -fps_mode vfr -c:v libx264 -preset ultrafast "
                "-video_track_timescale 120 -c:a aac");
}

const std::string& Clips::Transport()
{
    return Make("transport.mpg", kPicture + " " + kTone, "-t 3 -c:v mpeg2video -c:a mp2 -f mpegts");
}

const std::string& Clips::Mp4()
{
    return Make("clip.mp4", kPicture + " " + kTone, "-t 3 -c:v libx264 -preset ultrafast -c:a aac");
}

const std::string& Clips::Sound(int rate, int channels)
{
    std::string tones;
    for (int c = 0; c < channels; ++c)
        tones += (c ? "|" : "") + std::string("0.3*sin(") + std::to_string(300 + 110 * c) + "*2*PI*t)";
    const char* layout = channels == 1 ? "mono" : channels == 2 ? "stereo" : "5.1";
    return Make("sound" + std::to_string(rate) + "x" + std::to_string(channels) + ".mkv",
                kPicture + " -f lavfi -i \"aevalsrc=" + tones + ":c=" + layout + ":s=" + std::to_string(rate) + "\"",
                "-t 1 -c:v mpeg2video -c:a pcm_s16le");
}

const std::string& Clips::Joined(const std::string& clip)
{
    static std::map<std::string, std::string> joined;
    auto found = joined.find(clip);
    if (found != joined.end())
        return found->second;
    const std::string path = Folder() + "/joined" + std::to_string(joined.size()) + ".mpg";
    if (Run("cat " + Quote(clip) + " " + Quote(clip) + " > " + Quote(path)) != 0)
        throw std::runtime_error("cannot join " + clip);
    return joined.emplace(clip, path).first->second;
}

const std::string& Clips::OddSize()
{
    return Make("odd.mpg", "-f lavfi -i testsrc2=size=350x286:rate=25 " + kTone,
                "-t 3 -c:v mpeg2video -b:v 1500k -c:a mp2 -b:a 192k -f mpeg");
}

const std::string& Clips::Short()
{
    return Make("short.mpg", kPicture + " " + kTone, "-t 1 -target pal-vcd");
}

const std::string& Clips::UntimedEnd()
{
    return Make("untimed.mpg", kPicture + " " + kTone, "-t 2 -target pal-vcd");
}

const std::string& Clips::LateAudio()
{
    return Make("late.mpg", kPicture + " -itsoffset 3 " + kTone, "-t 6 -target pal-vcd");
}

const std::string& Clips::Noisy()
{
    return Make("noisy.mpg", "-f lavfi -i testsrc2=size=720x576:rate=25,noise=alls=100:allf=t " + kTone,
                "-t 1 -c:v mpeg2video -q:v 2 -c:a mp2 -f mpeg");
}

const std::string& Clips::Long()
{
    return Make("long.mpg", kPicture + " " + kTone, "-t 20 -target pal-vcd");
}

const std::string& Clips::Truncated()
{
    static const std::string path = [] {
        const std::string cut = Folder() + "/truncated.mpg";
        const auto size = fs::file_size(PalVcd());
        fs::copy_file(PalVcd(), cut, fs::copy_options::overwrite_existing);
        // Inside a pack, well past the start, so the last packet is cut in two.
        fs::resize_file(cut, size * 6 / 10 + 1001);
        return cut;
    }();
    return path;
}

const std::string& Clips::RandomBytes()
{
    static const std::string path = [] {
        const std::string noise = Folder() + "/noise.mpg";
        std::mt19937 random(42);
        std::ofstream out(noise, std::ios::binary);
        for (int i = 0; i < 200'000; ++i)
            out.put(static_cast<char>(random() & 0xff));
        return noise;
    }();
    return path;
}

const std::string& Clips::AudioOnly()
{
    return Make("audio.mpg", kTone, "-t 2 -c:a mp2 -f mpeg");
}

std::string Clips::NewFolder()
{
    static int count = 0;
    const std::string path = Folder() + "/case" + std::to_string(++count);
    fs::create_directories(path);
    return path;
}

int VideoFrames(const std::string& path)
{
    return std::atoi(Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                            "stream=nb_read_frames -of csv=p=0 " + Quote(path)).c_str());
}

std::map<std::string, std::string> Probe(const std::string& path)
{
    std::map<std::string, std::string> values;
    const std::string command = "ffprobe -v error -show_format -show_streams -of flat " + Quote(path);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return values;
    std::array<char, 4096> line{};
    while (fgets(line.data(), line.size(), pipe)) {
        std::string text(line.data());
        const auto equals = text.find('=');
        if (equals == std::string::npos)
            continue;
        std::string value = text.substr(equals + 1);
        while (!value.empty() && (value.back() == '\n' || value.back() == '"'))
            value.pop_back();
        if (!value.empty() && value.front() == '"')
            value.erase(0, 1);
        values[text.substr(0, equals)] = value;
    }
    pclose(pipe);
    return values;
}

double ProbeNumber(const std::map<std::string, std::string>& probe, const std::string& key)
{
    auto found = probe.find(key);
    if (found == probe.end())
        return -1;
    return std::atof(found->second.c_str());
}

std::string DecodeErrors(const std::string& path)
{
    return Output("ffmpeg -nostdin -v error -i " + Quote(path) + " -f null - 2>&1");
}

std::string Output(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "cannot run ffmpeg";
    std::string output;
    std::array<char, 4096> chunk{};
    while (fgets(chunk.data(), chunk.size(), pipe))
        output += chunk.data();
    pclose(pipe);
    return output;
}

std::string ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string list;
    for (const auto& name : names)
        list += (list.empty() ? "" : " ") + name;
    return list;
}

void WrapInVideoCdSectors(const std::string& mpegPath, const std::string& datPath)
{
    constexpr size_t kSectorPayload = 2324;
    constexpr int kEmptyLeadingSectors = 10;
    std::ifstream in(mpegPath, std::ios::binary);
    std::vector<char> mpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t sectors = kEmptyLeadingSectors + (mpeg.size() + kSectorPayload - 1) / kSectorPayload;
    const uint32_t dataSize = static_cast<uint32_t>(sectors * 2352);

    std::ofstream out(datPath, std::ios::binary);
    auto le32 = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i)
            out.put(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    out.write("RIFF", 4);
    le32(4 + 8 + 16 + 8 + dataSize);
    out.write("CDXA", 4);
    out.write("fmt ", 4);
    le32(16);
    const char format[16] = {0, 0, 0, 0, 0, 0, 0x11, 0x55, 'X', 'A', 1, 0, 0, 0, 0, 0};
    out.write(format, sizeof format);
    out.write("data", 4);
    le32(dataSize);
    auto bcd = [](int value) { return static_cast<char>(((value / 10) << 4) | (value % 10)); };
    for (size_t sector = 0; sector < sectors; ++sector) {
        const size_t address = sector + 150 + 18 * 75;  // a track after the disc's data track
        const char sync[12] = {0, '\xff', '\xff', '\xff', '\xff', '\xff', '\xff', '\xff', '\xff', '\xff', '\xff', 0};
        out.write(sync, sizeof sync);
        out.put(bcd(static_cast<int>(address / 75 / 60)));
        out.put(bcd(static_cast<int>(address / 75 % 60)));
        out.put(bcd(static_cast<int>(address % 75)));
        out.put(2);  // mode 2
        const char subheader[8] = {1, 1, 0x62, 0x0f, 1, 1, 0x62, 0x0f};
        out.write(subheader, sizeof subheader);
        std::vector<char> payload(kSectorPayload, 0);
        if (sector >= kEmptyLeadingSectors) {
            const size_t offset = (sector - kEmptyLeadingSectors) * kSectorPayload;
            const size_t length = std::min(kSectorPayload, mpeg.size() - offset);
            std::copy_n(mpeg.begin() + static_cast<long>(offset), length, payload.begin());
        }
        out.write(payload.data(), static_cast<long>(payload.size()));
        const char edc[4] = {0, 0, 0, 0};
        out.write(edc, sizeof edc);
    }
}

}  // namespace quenlar::encoder::test

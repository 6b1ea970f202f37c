// Our cook encoder alone on a sound file: encodes it, decodes every frame with libavcodec's cook
// decoder and writes what the decoder made as a WAV file, for ../shared/tools/audio_nmr.py to
// judge against the source; prints the coded rate and the encoder's CPU time per second of sound.
//
//   ffmpeg -i music.ogg -ac 2 -ar 44100 -f f32le music.f32
//   build/bench/cook_quality music.f32 out.wav KBPS [subbands [joint start [frame samples]]]
//   (without them, the parameters of the row nearest KBPS)
//   /usr/bin/python3 ../shared/tools/audio_nmr.py music.ogg out.wav
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

#include "cook/CookEncoder.h"
#include "engine/CookPresets.h"
#include "engine/LibavPtr.h"

using namespace quenlar;

namespace {

// CPU time, so that other work on the machine does not count.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void WriteWav(const char* path, const std::vector<float>& interleaved, int rate)
{
    std::ofstream out(path, std::ios::binary);
    auto put32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(interleaved.size() * 4);
    out.write("RIFF", 4);
    put32(36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(3);  // IEEE float
    put16(2);
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate) * 8);
    put16(8);
    put16(32);
    out.write("data", 4);
    put32(bytes);
    out.write(reinterpret_cast<const char*>(interleaved.data()), bytes);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s IN.f32 OUT.wav KBPS [subbands [joint start [frame samples]]]\n", argv[0]);
        return 2;
    }
    // The row's own parameters unless told otherwise.
    const double kbps = std::atof(argv[3]);
    cook::StreamParameters stream = encoder::CookStreamFor(static_cast<int>(std::lround(kbps)));
    if (argc > 4) {
        stream.frameSamples = argc > 6 ? std::atoi(argv[6]) : 1024;
        stream.subbands = std::atoi(argv[4]);
        stream.jointStart = argc > 5 ? std::atoi(argv[5]) : 0;
        stream.frameBytes = static_cast<int>(std::lround(kbps * 1000 * stream.frameSamples / (8.0 * stream.sampleRate)));
        if (!stream.Joint())
            stream.frameBytes &= ~1;
    }

    std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
    const auto size = static_cast<std::size_t>(in.tellg());
    in.seekg(0);
    std::vector<float> source(size / 4);
    in.read(reinterpret_cast<char*>(source.data()), static_cast<std::streamsize>(size / 4 * 4));
    const int n = stream.frameSamples;
    const std::size_t samples = source.size() / 2;
    const std::size_t frames = samples / static_cast<std::size_t>(n) + 1;

    cook::Encoder encoder(stream);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_COOK);
    encoder::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    decoder->sample_rate = stream.sampleRate;
    av_channel_layout_default(&decoder->ch_layout, 2);
    decoder->block_align = stream.frameBytes;
    const std::vector<std::uint8_t> data = stream.CodecData();
    decoder->extradata = static_cast<std::uint8_t*>(av_mallocz(data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(decoder->extradata, data.data(), data.size());
    decoder->extradata_size = static_cast<int>(data.size());
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return 1;

    std::vector<float> left(static_cast<std::size_t>(n)), right(static_cast<std::size_t>(n));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.frameBytes));
    std::vector<float> output;
    encoder::PacketPtr packet = encoder::MakePacket();
    encoder::FramePtr frame = encoder::MakeFrame();
    double seconds = 0;
    for (std::size_t f = 0; f <= frames; ++f) {
        for (int i = 0; i < n; ++i) {
            const std::size_t at = f * static_cast<std::size_t>(n) + static_cast<std::size_t>(i);
            left[static_cast<std::size_t>(i)] = at < samples ? source[2 * at] : 0.0f;
            right[static_cast<std::size_t>(i)] = at < samples ? source[2 * at + 1] : 0.0f;
        }
        const float* planes[2] = {left.data(), right.data()};
        const double start = ThreadSeconds();
        const bool coded = encoder.Encode(planes, bytes);
        seconds += ThreadSeconds() - start;
        if (!coded)
            continue;
        av_new_packet(packet.get(), stream.frameBytes);
        std::memcpy(packet->data, bytes.data(), bytes.size());
        avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            for (int i = 0; i < frame->nb_samples; ++i) {
                output.push_back(reinterpret_cast<const float*>(frame->extended_data[0])[i]);
                output.push_back(reinterpret_cast<const float*>(frame->extended_data[1])[i]);
            }
        }
    }
    WriteWav(argv[2], output, stream.sampleRate);
    const double duration = static_cast<double>(samples) / stream.sampleRate;
    std::printf("%.2f kbit/s (%d bytes a frame), %d bands, joint from %d, %d samples; encoder %.2f ms of CPU a second"
                " of sound; unfitted units %d, blocks shaped against pre-echo %d\n",
                stream.BitRate() / 1000.0, stream.frameBytes, stream.subbands, stream.jointStart, n,
                1000 * seconds / duration, encoder.UnfittedUnits(), encoder.ShapedBlocks());
    return 0;
}

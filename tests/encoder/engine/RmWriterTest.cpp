// The rm file's layout read back byte by byte, and players seeking in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ClipFixtures.h"
#include "RecordingListener.h"
#include "engine/RmMuxer.h"
#include "engine/RmStreamFormat.h"

namespace quenlar::encoder::test {
namespace {

struct Packet {
    uint16_t stream;
    uint32_t timeMs;
    bool key;
};

class RmFile {
public:
    explicit RmFile(const std::string& path)
        : m_bytes(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {})
    {
    }
    size_t Size() const { return m_bytes.size(); }
    std::string Tag(size_t at) const { return at + 4 <= Size() ? std::string(&m_bytes[at], 4) : ""; }
    uint32_t U16(size_t at) const { return at + 2 <= Size() ? Byte(at) << 8 | Byte(at + 1) : 0; }
    uint32_t U32(size_t at) const { return U16(at) << 16 | U16(at + 2); }

private:
    uint32_t Byte(size_t at) const { return static_cast<uint8_t>(m_bytes[at]); }
    std::vector<char> m_bytes;
};

// The picture's codecs, rv40 with B pictures (its default: packets in decoding order) and
// without them.
struct Variant {
    const char* name;
    VideoCodec codec;
    int bFrames;  // -1: the default
    bool operator<(const Variant& o) const { return std::string(name) < o.name; }
};
constexpr Variant kVariants[] = {{"rv20", VideoCodec::Rv20, -1}, {"rv40", VideoCodec::Rv40, -1},
                                 {"rv40 without B pictures", VideoCodec::Rv40, 0}};

// A 20 s encode per variant, made once: picture at 25 fps with a key frame every few seconds, AC3
// sound.
const std::string& EncodedFile(const Variant& variant)
{
    static std::map<Variant, std::string> made;
    auto& path = made[variant];
    if (path.empty()) {
        path = Clips::NewFolder() + "/long.rm";
        EncodeSettings settings = SettingsFor(Clips::Long(), path);
        settings.videoCodec = variant.codec;
        settings.bFrames = variant.bFrames;
        RecordingListener listener;
        EncodeToEnd(settings, listener);
        EXPECT_EQ(listener.Result(), EncodeResult::Ok) << listener.ErrorText();
    }
    return path;
}


void ExpectChunksAddUpAndIndexesPointAtPackets(const RmFile& file)
{
    std::map<std::string, std::vector<size_t>> chunks;
    size_t at = 0;
    while (at + 10 <= file.Size()) {
        chunks[file.Tag(at)].push_back(at);
        ASSERT_GE(file.U32(at + 4), 10u) << file.Tag(at) << " at " << at;
        at += file.U32(at + 4);
    }
    ASSERT_EQ(at, file.Size()) << "every chunk ends where the next begins, the last at the file's end";
    ASSERT_EQ(chunks[".RMF"], std::vector<size_t>{0});
    ASSERT_EQ(chunks["DATA"].size(), 1u);
    ASSERT_EQ(chunks["INDX"].size(), 2u);
    const size_t prop = chunks["PROP"].at(0);
    const size_t data = chunks["DATA"][0];
    EXPECT_EQ(file.U32(prop + 42), data);
    EXPECT_EQ(file.U32(prop + 38), chunks["INDX"][0]);

    // The packets fill the DATA chunk exactly; the headers count and measure them truly.
    std::map<uint32_t, Packet> packets;
    std::map<uint16_t, std::vector<uint32_t>> lengths;
    uint32_t largest = 0;
    uint64_t total = 0;
    for (at = data + 18; at < data + file.U32(data + 4); at += file.U16(at + 2)) {
        const uint32_t length = file.U16(at + 2);
        ASSERT_GE(length, 12u) << "at " << at;
        packets[at] = {static_cast<uint16_t>(file.U16(at + 4)), file.U32(at + 6), (file.U16(at + 10) & 0xFF) == 2};
        lengths[packets[at].stream].push_back(length);
        largest = std::max(largest, length);
        total += length;
    }
    EXPECT_EQ(at, data + file.U32(data + 4));
    EXPECT_EQ(file.U32(data + 10), packets.size());
    // Each stream's packet times never go back (VLC reads them as decoding times), B pictures
    // or not.
    std::map<uint16_t, uint32_t> latest;
    for (const auto& [offset, packet] : packets) {
        EXPECT_GE(packet.timeMs, latest[packet.stream]) << "stream " << packet.stream << " at " << offset;
        latest[packet.stream] = packet.timeMs;
    }
    EXPECT_EQ(file.U32(prop + 26), packets.size());
    EXPECT_EQ(file.U32(prop + 18), largest);
    EXPECT_EQ(file.U32(prop + 22), total / packets.size());
    EXPECT_NEAR(file.U32(prop + 30), 20'000, 100);
    for (const size_t mdpr : chunks["MDPR"]) {
        const std::vector<uint32_t>& sizes = lengths[file.U16(mdpr + 10)];
        ASSERT_FALSE(sizes.empty());
        EXPECT_EQ(file.U32(mdpr + 20), *std::max_element(sizes.begin(), sizes.end()));
        EXPECT_EQ(file.U32(mdpr + 24), std::accumulate(sizes.begin(), sizes.end(), uint64_t{0}) / sizes.size());
        EXPECT_NEAR(file.U32(mdpr + 36), 20'000, 100);
    }

    // Stream 0 is the picture: an entry per key frame. Stream 1 is the sound: an entry at its
    // last packet before each of the picture's key frames, so that a player that starts a seek
    // at the earliest entry of any stream meets the key frame next.
    std::set<uint32_t> pictureKeys;
    for (const auto& [offset, packet] : packets) {
        if (packet.stream == 0 && packet.key)
            pictureKeys.insert(offset);
    }
    for (size_t index = 0; index < 2; ++index) {
        SCOPED_TRACE(index);
        const size_t indx = chunks["INDX"][index];
        const uint32_t entries = file.U32(indx + 10);
        const uint16_t stream = file.U16(indx + 14);
        EXPECT_EQ(stream, index);
        EXPECT_EQ(file.U32(indx + 4), 20 + 14 * entries);
        EXPECT_EQ(file.U32(indx + 16), index == 0 ? chunks["INDX"][1] : 0) << "the next index";
        // The first key frame comes before any sound.
        EXPECT_EQ(entries, pictureKeys.size() - index);
        for (uint32_t entry = 0; entry < entries; ++entry) {
            const size_t record = indx + 20 + 14 * entry;
            const uint32_t timeMs = file.U32(record + 2);
            const auto packet = packets.find(file.U32(record + 6));
            ASSERT_NE(packet, packets.end()) << "entry " << entry << " is not at a packet";
            EXPECT_EQ(packet->second.stream, stream);
            EXPECT_EQ(packet->second.timeMs, timeMs);
            EXPECT_TRUE(packet->second.key);
            EXPECT_EQ(file.U32(record + 10), std::distance(packets.begin(), packet)) << "the packet's number";
            if (stream == 1) {
                const auto next = std::next(packet);
                ASSERT_NE(next, packets.end());
                EXPECT_TRUE(pictureKeys.count(next->first)) << "entry " << entry << " is not just before a key frame";
            }
            if (entry > 0) {
                EXPECT_GT(timeMs, file.U32(record - 14 + 2));
            }
        }
    }
}

TEST(RmWriter, ChunksAddUpAndEachStreamsIndexPointsAtItsPackets)
{
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        ExpectChunksAddUpAndIndexesPointAtPackets(RmFile(EncodedFile(variant)));
    }
}

// The video key frame nearest the middle, in seconds, from the index: players land on key
// frames, which come seconds apart.
double KeyFrameNearTheMiddle(const RmFile& file)
{
    size_t at = 0;
    while (at + 10 <= file.Size() && file.Tag(at) != "INDX")
        at += std::max<uint32_t>(file.U32(at + 4), 10);
    uint32_t best = 0;
    for (uint32_t entry = 0; entry < file.U32(at + 10); ++entry) {
        const uint32_t timeMs = file.U32(at + 20 + 14 * entry + 2);
        if (std::abs(int(timeMs) - 10'000) < std::abs(int(best) - 10'000))
            best = timeMs;
    }
    return best / 1000.0;
}

void ExpectPlayersToSeekToTheMiddleAndPlayToTheEnd(const std::string& file)
{
    EXPECT_EQ(Output("ffmpeg -nostdin -v warning -i '" + file + "' -f null - 2>&1"), "");
    const double middle = KeyFrameNearTheMiddle(RmFile(file));
    ASSERT_GT(middle, 5.0) << "no key frame in the middle to seek to";
    const std::string gstreamer = Output("/usr/bin/python3 " QUENLAR_SOURCE_DIR
                                         "/tests/encoder/engine/gstreamer_seek.py '" + file + "' " +
                                         std::to_string(middle));
    double first = -1;
    double last = -1;
    int seeked = 0;
    int ended = 0;
    int increasing = 0;
    ASSERT_EQ(std::sscanf(gstreamer.c_str(), "seeked=%d first=%lf last=%lf eos=%d increasing=%d", &seeked, &first,
                          &last, &ended, &increasing),
              5)
        << gstreamer;
    EXPECT_EQ(seeked, 1);
    EXPECT_EQ(increasing, 1) << "the pictures after the seek must come in their order";
    EXPECT_NEAR(first, middle, 1.0);
    EXPECT_EQ(ended, 1) << "the picture must not freeze after the seek";
    EXPECT_NEAR(last, 19.96, 0.05);

    const std::string mplayer = Output("mplayer -really-quiet -msglevel statusline=5 -noconfig all -nolirc "
                                       "-demuxer real -ss " + std::to_string(middle) +
                                       " -frames 1 -vo null -ao null '" + file + "' </dev/null 2>&1");
    const auto shown = mplayer.find("V:");
    ASSERT_NE(shown, std::string::npos) << mplayer;
    EXPECT_NEAR(std::atof(mplayer.c_str() + shown + 2), middle, 1.0) << mplayer;

    // MPlayer times each picture from its packet and its header (a reference at the one before
    // it, which the decoder then outputs): after the first, the times rise strictly.
    std::istringstream played(Output("mplayer -noconfig all -nolirc -msglevel all=9 -benchmark -demuxer real -vo null -ao null "
                                     "-nosound '" + file + "' </dev/null 2>&1 | grep 'packet to d_video'"));
    std::vector<double> times;
    for (std::string line; std::getline(played, line);)
        if (const auto at = line.find("pts="); at != std::string::npos)
            times.push_back(std::atof(line.c_str() + at + 4));
    ASSERT_GT(times.size(), 400u);
    for (size_t i = 2; i < times.size(); ++i)
        ASSERT_GT(times[i], times[i - 1]) << "picture " << i << " of MPlayer's";
}

TEST(RmWriter, PlayersSeekToTheMiddleAndPlayOnToTheEnd)
{
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        ExpectPlayersToSeekToTheMiddleAndPlayToTheEnd(EncodedFile(variant));
    }
}

void PutLittleEndian32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

TEST(RmWriter, SlicesOfAFrameComeBackFromTheDemuxerInTheDecodersLayout)
{
    // Our encoder makes one slice a frame; several go one to a packet, short and long lengths,
    // the frame larger than one packet may be, and the demuxer joins them again.
    const std::vector<std::vector<uint32_t>> slicesOfFrames = {{300}, {20'000, 500}, {7, 16'384, 50'000}};
    const std::string path = Clips::NewFolder() + "/slices.rm";
    std::vector<std::vector<uint8_t>> frames;
    AVIOContext* io = nullptr;
    ASSERT_GE(avio_open(&io, path.c_str(), AVIO_FLAG_WRITE), 0);
    {
        RmMuxer muxer(*io, path);
        muxer.AddStream(Rv40Format(64, 48, {25, 1}, 100'000));
        muxer.WriteHeader();
        for (const std::vector<uint32_t>& slices : slicesOfFrames) {
            std::vector<uint8_t> frame = {static_cast<uint8_t>(slices.size() - 1)};
            std::vector<uint8_t> data;
            for (const uint32_t size : slices) {
                PutLittleEndian32(frame, 1);
                PutLittleEndian32(frame, static_cast<uint32_t>(data.size()));
                for (uint32_t i = 0; i < size; ++i)
                    data.push_back(static_cast<uint8_t>(i * 7 + size));
            }
            frame.insert(frame.end(), data.begin(), data.end());
            AVPacket packet{};
            packet.data = frame.data();
            packet.size = static_cast<int>(frame.size());
            packet.flags = frames.empty() ? AV_PKT_FLAG_KEY : 0;
            muxer.Write(0, packet);
            frames.push_back(std::move(frame));
        }
        muxer.Finish();
    }
    ASSERT_EQ(avio_closep(&io), 0);

    AVFormatContext* input = nullptr;
    ASSERT_EQ(avformat_open_input(&input, path.c_str(), nullptr, nullptr), 0);
    const InputFormatPtr owned(input);
    ASSERT_EQ(input->nb_streams, 1u);
    EXPECT_EQ(input->streams[0]->codecpar->codec_id, AV_CODEC_ID_RV40);
    PacketPtr packet = MakePacket();
    std::vector<std::vector<uint8_t>> read;
    while (av_read_frame(input, packet.get()) >= 0) {
        read.emplace_back(packet->data, packet->data + packet->size);
        av_packet_unref(packet.get());
    }
    EXPECT_EQ(read, frames);
}

TEST(RmWriter, CookFramesComeBackFromTheDemuxerInOrderWhateverTheInterleaving)
{
    // Heights odd and even, several frames a packet: the demuxer's "genr" deinterleaver must give
    // the frames back as they were coded, the block's time on its first, and the decoder its
    // layout (block_align, codec data) from the header.
    cook::StreamParameters stream;
    stream.subbands = 37;
    stream.jointStart = 16;
    stream.frameBytes = 128;
    for (const auto& [height, perPacket] : {std::pair{1, 4}, {3, 2}, {4, 3}}) {
        SCOPED_TRACE("height " + std::to_string(height) + ", frames a packet " + std::to_string(perPacket));
        const std::string path = Clips::NewFolder() + "/cook.rm";
        const int blocks = 3;
        std::vector<std::vector<uint8_t>> frames;
        AVIOContext* io = nullptr;
        ASSERT_GE(avio_open(&io, path.c_str(), AVIO_FLAG_WRITE), 0);
        {
            RmMuxer muxer(*io, path);
            muxer.AddStream(CookFormat(stream, height, perPacket));
            muxer.WriteHeader();
            for (int f = 0; f < blocks * height * perPacket; ++f) {
                std::vector<uint8_t> frame(static_cast<size_t>(stream.frameBytes));
                for (size_t i = 0; i < frame.size(); ++i)
                    frame[i] = static_cast<uint8_t>(f * 31 + i);
                AVPacket packet{};
                packet.data = frame.data();
                packet.size = static_cast<int>(frame.size());
                packet.flags = AV_PKT_FLAG_KEY;
                muxer.Write(0, packet);
                frames.push_back(std::move(frame));
            }
            muxer.Finish();
        }
        ASSERT_EQ(avio_closep(&io), 0);

        AVFormatContext* input = nullptr;
        ASSERT_EQ(avformat_open_input(&input, path.c_str(), nullptr, nullptr), 0);
        const InputFormatPtr owned(input);
        ASSERT_EQ(avformat_find_stream_info(input, nullptr), 0);
        const AVCodecParameters& codec = *input->streams[0]->codecpar;
        EXPECT_EQ(codec.codec_id, AV_CODEC_ID_COOK);
        EXPECT_EQ(codec.sample_rate, 44'100);
        EXPECT_EQ(codec.ch_layout.nb_channels, 2);
        EXPECT_EQ(codec.block_align, stream.frameBytes);
        EXPECT_EQ(std::vector<uint8_t>(codec.extradata, codec.extradata + codec.extradata_size), stream.CodecData());
        PacketPtr packet = MakePacket();
        std::vector<std::vector<uint8_t>> read;
        std::vector<int64_t> times;
        while (av_read_frame(input, packet.get()) >= 0) {
            read.emplace_back(packet->data, packet->data + packet->size);
            times.push_back(packet->pts);
            av_packet_unref(packet.get());
        }
        EXPECT_EQ(read, frames);
        // libavformat times a block's other frames by their whole-ms durations, and with them may
        // move its first by a ms or two.
        ASSERT_EQ(times.size(), frames.size());
        for (size_t f = 0; f < times.size(); f += static_cast<size_t>(height * perPacket))
            EXPECT_NEAR(times[f], static_cast<double>(f) * 1024 * 1000 / 44'100, 3.0) << "frame " << f;
    }
}

}  // namespace
}  // namespace quenlar::encoder::test

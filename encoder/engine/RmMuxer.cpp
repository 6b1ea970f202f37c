#include "engine/RmMuxer.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

constexpr const char* kTagKeys[] = {"title", "author", "copyright", "comment"};
constexpr uint32_t kFileHeaderBytes = 18;
constexpr uint32_t kPropertiesBytes = 50;
constexpr uint32_t kChunkHeaderBytes = 10;
constexpr uint32_t kDataHeaderBytes = 18;
constexpr uint32_t kPacketHeaderBytes = 12;
constexpr uint32_t kIndexHeaderBytes = 20;
constexpr uint32_t kIndexEntryBytes = 14;
constexpr uint32_t kMaxPacketBytes = 0xFFFF;
// Offsets and sizes are 32-bit.
constexpr int64_t kMaxFileBytes = std::numeric_limits<uint32_t>::max();
// Saving allowed, perfect play.
constexpr uint16_t kFileFlags = 1 | 2;
constexpr uint8_t kKeyFrameFlag = 2;
// A stream that has ended or lags far behind no longer holds the others back (as libavformat's
// interleaver does), so that memory stays bounded.
constexpr int64_t kMaxHeldMs = 10'000;

}  // namespace

RmMuxer::RmMuxer(AVIOContext& io, std::string fileName) : m_io(io), m_fileName(std::move(fileName)) {}

int RmMuxer::AddStream(RmStreamFormat format)
{
    Stream& stream = m_streams.emplace_back();
    stream.format = std::move(format);
    return static_cast<int>(m_streams.size()) - 1;
}

void RmMuxer::SetTag(const std::string& key, const std::string& value)
{
    const auto found = std::find(std::begin(kTagKeys), std::end(kTagKeys), key);
    if (found != std::end(kTagKeys))
        m_tags[found - std::begin(kTagKeys)] = value;
}

uint32_t RmMuxer::Stream::StartMs(int64_t frame) const
{
    return static_cast<uint32_t>(
        av_rescale_rnd(frame, int64_t{1000} * format.frameDuration.num, format.frameDuration.den, AV_ROUND_ZERO));
}

rm::Bytes RmMuxer::Header() const
{
    uint32_t bitRate = 0;
    uint32_t largest = 0;
    int64_t bytes = 0;
    uint32_t durationMs = 0;
    for (const Stream& stream : m_streams) {
        bitRate += stream.format.bitRate;
        largest = std::max(largest, stream.largest);
        bytes += stream.bytes;
        durationMs = std::max(durationMs, stream.StartMs(stream.frames));
    }
    const auto streams = static_cast<uint32_t>(m_streams.size());

    rm::Bytes out;
    rm::PutBytes(out, ".RMF");
    rm::Put32(out, kFileHeaderBytes);
    rm::Put16(out, 0);
    rm::Put32(out, 0);  // file version
    rm::Put32(out, 3 + 2 * streams);  // the chunks after this one: PROP, CONT, DATA, MDPR and INDX each

    rm::PutBytes(out, "PROP");
    rm::Put32(out, kPropertiesBytes);
    rm::Put16(out, 0);
    rm::Put32(out, bitRate);  // the most
    rm::Put32(out, bitRate);  // on average
    rm::Put32(out, largest);
    rm::Put32(out, m_packets ? static_cast<uint32_t>(bytes / m_packets) : 0);
    rm::Put32(out, m_packets);
    rm::Put32(out, durationMs);
    rm::Put32(out, 0);  // preroll
    rm::Put32(out, m_indexOffset);
    const size_t dataOffsetAt = out.size();
    rm::Put32(out, 0);
    rm::Put16(out, streams);
    rm::Put16(out, kFileFlags);

    uint32_t contentBytes = kChunkHeaderBytes;
    for (const std::string& tag : m_tags)
        contentBytes += 2 + static_cast<uint32_t>(rm::CutTo(tag, 0xFFFF).size());
    rm::PutBytes(out, "CONT");
    rm::Put32(out, contentBytes);
    rm::Put16(out, 0);
    for (const std::string& tag : m_tags)
        rm::PutString16(out, tag);

    for (int number = 0; number < static_cast<int>(m_streams.size()); ++number)
        AppendMediaProperties(out, number);

    rm::Patch32(out, dataOffsetAt, static_cast<uint32_t>(out.size()));
    rm::PutBytes(out, "DATA");
    rm::Put32(out, static_cast<uint32_t>(kDataHeaderBytes + bytes));
    rm::Put16(out, 0);
    rm::Put32(out, m_packets);
    rm::Put32(out, 0);  // no further DATA chunk
    return out;
}

void RmMuxer::AppendMediaProperties(rm::Bytes& out, int number) const
{
    const Stream& stream = m_streams[number];
    const RmStreamFormat& format = stream.format;
    const char* name = format.video ? "The Video Stream" : "The Audio Stream";
    const char* mimeType = format.video ? "video/x-pn-realvideo" : "audio/x-pn-realaudio";
    rm::Bytes body;
    rm::Put16(body, number);
    rm::Put32(body, format.bitRate);  // the most
    rm::Put32(body, format.bitRate);  // on average
    rm::Put32(body, stream.largest);
    rm::Put32(body, stream.packets ? static_cast<uint32_t>(stream.bytes / stream.packets) : 0);
    rm::Put32(body, 0);  // start time
    rm::Put32(body, 0);  // preroll
    rm::Put32(body, stream.StartMs(stream.frames));
    rm::PutString8(body, name);
    rm::PutString8(body, mimeType);
    rm::Put32(body, static_cast<uint32_t>(format.typeSpecificData.size()));
    rm::PutBytes(body, format.typeSpecificData);

    rm::PutBytes(out, "MDPR");
    rm::Put32(out, kChunkHeaderBytes + static_cast<uint32_t>(body.size()));
    rm::Put16(out, 0);
    rm::PutBytes(out, body);
}

void RmMuxer::WriteHeader()
{
    const rm::Bytes header = Header();
    m_headerBytes = static_cast<int64_t>(header.size());
    avio_write(&m_io, header.data(), static_cast<int>(header.size()));
}

void RmMuxer::Write(int stream, const AVPacket& frame)
{
    Stream& target = m_streams[stream];
    if (target.format.interleaving.height > 0) {
        HoldInterleaved(target, frame);
    } else {
        std::vector<rm::Bytes> payloads;
        target.format.frame(frame, target.frames, payloads);
        // Pictures in decoding order: a reference is timed at its presentation (ahead of its
        // decoding), from which FFmpeg, GStreamer and MPlayer rebuild the B pictures' times with
        // their headers' times; a B picture, whose own time those readers ignore, takes the
        // reference's before it, as VLC's demuxer reads every packet's time as its decoding
        // time and shows pictures late when those go back.
        const int64_t reordered =
            target.format.video && frame.pts != AV_NOPTS_VALUE && frame.dts != AV_NOPTS_VALUE ? frame.pts - frame.dts : 0;
        const uint32_t timeMs = std::max(target.StartMs(target.frames + reordered), target.latestMs);
        target.latestMs = timeMs;
        ++target.frames;
        for (size_t part = 0; part < payloads.size(); ++part) {
            HoldPacket(target, {timeMs, (frame.flags & AV_PKT_FLAG_KEY) != 0, part == 0, std::move(payloads[part])},
                       frame.size);
        }
    }
    WriteHeld(false);
}

void RmMuxer::HoldPacket(Stream& stream, Packet packet, int frameBytes)
{
    if (kPacketHeaderBytes + packet.payload.size() > kMaxPacketBytes) {
        throw EncodeFailure(EncodeResult::EncoderFailure,
                            std::string(stream.format.video ? "A video" : "A sound") + " frame of " +
                                std::to_string(frameBytes) + " bytes is too large for the rm format in " +
                                Quoted(m_fileName));
    }
    stream.held.push_back(std::move(packet));
}

// A block's frames are spread over its packets as the reader's "genr" deinterleaver gathers
// them. Its first packet is the key one, where a reader starts a block; each packet is timed at
// the first of the block's frames in decoding order that it begins, as MPlayer reads them.
// A block left unfinished at the end is not written: no reader could play it, and the codec
// pads its last block.
void RmMuxer::HoldInterleaved(Stream& stream, const AVPacket& frame)
{
    stream.block.emplace_back(frame.data, frame.data + frame.size);
    ++stream.frames;
    const RmStreamFormat::Interleaving& interleaving = stream.format.interleaving;
    if (static_cast<int>(stream.block.size()) < interleaving.FramesPerBlock())
        return;
    const int64_t first = stream.frames - interleaving.FramesPerBlock();
    for (int row = 0; row < interleaving.height; ++row) {
        Packet packet{stream.StartMs(first + int64_t{row} * interleaving.framesPerPacket), row == 0, row == 0, {}};
        for (int slot = 0; slot < interleaving.framesPerPacket; ++slot) {
            const rm::Bytes& coded = stream.block[static_cast<size_t>(GenrFrameIndex(interleaving.height, row, slot))];
            packet.payload.insert(packet.payload.end(), coded.begin(), coded.end());
        }
        HoldPacket(stream, std::move(packet), frame.size);
    }
    stream.block.clear();
}

// The oldest held packet goes out once every stream has one waiting behind it, or once the
// newest is far ahead of it.
void RmMuxer::WriteHeld(bool all)
{
    for (;;) {
        int oldest = -1;
        bool everyStreamHeld = true;
        int64_t newestMs = 0;
        for (int number = 0; number < static_cast<int>(m_streams.size()); ++number) {
            const std::deque<Packet>& held = m_streams[number].held;
            if (held.empty()) {
                everyStreamHeld = false;
                continue;
            }
            newestMs = std::max<int64_t>(newestMs, held.back().timeMs);
            if (oldest < 0 || held.front().timeMs < m_streams[oldest].held.front().timeMs)
                oldest = number;
        }
        if (oldest < 0)
            return;
        if (!all && !everyStreamHeld && newestMs - m_streams[oldest].held.front().timeMs < kMaxHeldMs)
            return;
        WritePacket(oldest);
    }
}

void RmMuxer::WritePacket(int number)
{
    Stream& stream = m_streams[number];
    const Packet packet = std::move(stream.held.front());
    stream.held.pop_front();
    const auto length = static_cast<uint32_t>(kPacketHeaderBytes + packet.payload.size());
    const int64_t offset = avio_tell(&m_io);
    CheckSize(offset + length);

    const IndexEntry entry{packet.timeMs, static_cast<uint32_t>(offset), m_packets};
    if (packet.key && packet.frameStart) {
        if (stream.format.indexBeforePictureKeyFrames) {
            stream.lastWritten = entry;
        } else {
            stream.index.push_back(entry);
            if (stream.format.video)
                IndexBeforePictureKeyFrame();
        }
    }

    rm::Bytes header;
    rm::Put16(header, 0);  // version
    rm::Put16(header, length);
    rm::Put16(header, number);
    rm::Put32(header, packet.timeMs);
    rm::Put8(header, 0);  // packet group
    rm::Put8(header, packet.key ? kKeyFrameFlag : 0);
    avio_write(&m_io, header.data(), static_cast<int>(header.size()));
    avio_write(&m_io, packet.payload.data(), static_cast<int>(packet.payload.size()));

    ++stream.packets;
    stream.bytes += length;
    stream.largest = std::max(stream.largest, length);
    ++m_packets;
}

// The streams indexed before the picture's key frames get their last packet written.
void RmMuxer::IndexBeforePictureKeyFrame()
{
    for (Stream& stream : m_streams) {
        if (stream.format.indexBeforePictureKeyFrames && stream.lastWritten) {
            stream.index.push_back(*stream.lastWritten);
            stream.lastWritten.reset();
        }
    }
}

// One INDX chunk per stream, each naming the next.
void RmMuxer::WriteIndex()
{
    int64_t offset = avio_tell(&m_io);
    m_indexOffset = static_cast<uint32_t>(offset);
    for (int number = 0; number < static_cast<int>(m_streams.size()); ++number) {
        const std::vector<IndexEntry>& entries = m_streams[number].index;
        const int64_t bytes = kIndexHeaderBytes + int64_t{kIndexEntryBytes} * static_cast<int64_t>(entries.size());
        const bool last = number + 1 == static_cast<int>(m_streams.size());
        CheckSize(offset + bytes);
        rm::Bytes chunk;
        rm::PutBytes(chunk, "INDX");
        rm::Put32(chunk, static_cast<uint32_t>(bytes));
        rm::Put16(chunk, 0);
        rm::Put32(chunk, static_cast<uint32_t>(entries.size()));
        rm::Put16(chunk, number);
        rm::Put32(chunk, last ? 0 : static_cast<uint32_t>(offset + bytes));
        for (const IndexEntry& entry : entries) {
            rm::Put16(chunk, 0);
            rm::Put32(chunk, entry.timeMs);
            rm::Put32(chunk, entry.offset);
            rm::Put32(chunk, entry.number);
        }
        avio_write(&m_io, chunk.data(), static_cast<int>(chunk.size()));
        offset += bytes;
    }
}

void RmMuxer::CheckSize(int64_t end) const
{
    if (end > kMaxFileBytes) {
        throw EncodeFailure(EncodeResult::WriteFailure, "Cannot write output file " + Quoted(m_fileName) +
                                                            ": it would pass the 4 GB an rm file can hold");
    }
}

void RmMuxer::Finish()
{
    WriteHeld(true);
    WriteIndex();
    const rm::Bytes header = Header();
    // Only numbers changed: the header fills the room it took at the start.
    assert(static_cast<int64_t>(header.size()) == m_headerBytes);
    avio_seek(&m_io, 0, SEEK_SET);
    avio_write(&m_io, header.data(), static_cast<int>(header.size()));
}

}  // namespace quenlar::encoder

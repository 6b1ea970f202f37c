// Lays out an rm file: the header (.RMF, PROP, CONT, an MDPR per stream), the DATA chunk with
// the streams' packets in time order, and an INDX chunk per stream, so that players can seek.
// Writes through `io` and leaves its errors there for the caller to check; not thread-safe.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/RmStreamFormat.h"

namespace quenlar::encoder {

class RmMuxer {
public:
    // `fileName` names the file in messages.
    RmMuxer(AVIOContext& io, std::string fileName);

    // Before WriteHeader. Returns the stream's number.
    int AddStream(RmStreamFormat format);
    // "title", "author", "copyright" or "comment"; other keys are not carried.
    void SetTag(const std::string& key, const std::string& value);
    void WriteHeader();

    // One encoded frame of `stream`, as one packet or more (or, for interleaved sound, as part of
    // a block of packets once the block is whole); packets are held until they can go out in
    // time order.
    // Throws EncodeFailure when the frame or the file outgrows what the format can hold.
    void Write(int stream, const AVPacket& frame);
    // Writes the packets still held and the index, then the header again with the file's
    // true sizes, counts and durations.
    void Finish();

private:
    struct Packet {
        uint32_t timeMs = 0;
        bool key = false;
        bool frameStart = true;  // the first packet of its frame, where a reader may start
        rm::Bytes payload;
    };
    struct IndexEntry {
        uint32_t timeMs;
        uint32_t offset;
        uint32_t number;  // of the packet in the DATA chunk
    };
    struct Stream {
        RmStreamFormat format;
        int64_t frames = 0;
        std::deque<Packet> held;
        uint32_t packets = 0;
        int64_t bytes = 0;
        uint32_t largest = 0;
        std::vector<IndexEntry> index;
        std::optional<IndexEntry> lastWritten;
        std::vector<rm::Bytes> block;  // interleaved sound: the frames of the block under way
        uint32_t latestMs = 0;         // the latest packet time written: none goes back

        // The frame's time; the stream's duration after its last frame.
        uint32_t StartMs(int64_t frame) const;
    };

    void HoldPacket(Stream& stream, Packet packet, int frameBytes);
    void HoldInterleaved(Stream& stream, const AVPacket& frame);
    rm::Bytes Header() const;
    void AppendMediaProperties(rm::Bytes& out, int number) const;
    void WriteHeld(bool all);
    void WritePacket(int number);
    void IndexBeforePictureKeyFrame();
    void WriteIndex();
    void CheckSize(int64_t end) const;

    AVIOContext& m_io;
    std::string m_fileName;
    std::vector<Stream> m_streams;
    std::array<std::string, 4> m_tags;  // in the order the CONT chunk holds them
    int64_t m_headerBytes = 0;  // where the first packet starts
    uint32_t m_packets = 0;
    uint32_t m_indexOffset = 0;
};

}  // namespace quenlar::encoder

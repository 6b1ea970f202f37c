#include "engine/Rv40VideoEncoder.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

std::unique_ptr<rv40::Encoder> NewEncoder(int width, int height)
{
    try {
        return std::make_unique<rv40::Encoder>(width, height);
    } catch (const std::invalid_argument& error) {
        throw EncodeFailure(EncodeResult::EncoderFailure, "The video encoder failed (opening rv40 at " +
                                                              std::to_string(width) + "x" + std::to_string(height) +
                                                              "): " + error.what());
    }
}

rv40::SourcePicture PictureOf(const AVFrame& frame)
{
    return {{frame.data[0], frame.data[1], frame.data[2]}, {frame.linesize[0], frame.linesize[1], frame.linesize[2]}};
}

// The bits rm carries of a frame in the decoder's layout: its slices, without their table.
int SliceBits(const std::vector<uint8_t>& frame)
{
    const size_t table = frame.empty() ? 0 : 1 + 8 * (size_t{frame[0]} + 1);
    return static_cast<int>(8 * (frame.size() - std::min(table, frame.size())));
}

}  // namespace

Rv40VideoEncoder::Rv40VideoEncoder(int width, int height, AVRational frameRate, int bitRate, int bFrames)
    : m_frameRate(frameRate),
      // One second's bits must fit in the frames rm carries; above that the rate is one rm
      // cannot carry at this frame rate, and the encode runs at the highest it can.
      m_bitRate(static_cast<int>(std::min<int64_t>(bitRate, MaxVideoBitRate(frameRate)))),
      m_encoder(NewEncoder(width, height)),
      m_lookahead(width, height),
      m_rate(m_bitRate, av_q2d(frameRate), 8 * kMaxRealVideoPartBytes, width * height),
      m_bFrames(std::clamp(bFrames, 0, kMaxBFrames)),
      m_packet(MakePacket())
{
    if (!m_packet)
        throw std::bad_alloc();
}

RmStreamFormat Rv40VideoEncoder::StreamFormat() const
{
    return Rv40Format(m_encoder->Width(), m_encoder->Height(), m_frameRate, m_bitRate);
}

void Rv40VideoEncoder::BeginRun(const std::vector<FramePtr>& frames, int64_t firstPts)
{
    std::vector<double> costs;
    costs.reserve(frames.size());
    for (const FramePtr& frame : frames)
        costs.push_back(m_lookahead.Cost(PictureOf(*frame), costs.empty()));
    // B pictures between references; the run's first and last pictures are references, so that
    // it decodes after any other run.
    const size_t count = frames.size();
    m_bidirectional.assign(count, false);
    for (size_t i = 1; i + 1 < count; ++i)
        m_bidirectional[i] = i % static_cast<size_t>(m_bFrames + 1) != 0;
    // The rate control plans in decoding order: each reference before the B pictures ahead of it.
    std::vector<double> codingCosts;
    std::vector<bool> codingBidirectional;
    codingCosts.reserve(count);
    std::vector<double> waiting;
    for (size_t i = 0; i < count; ++i) {
        if (m_bidirectional[i]) {
            waiting.push_back(costs[i]);
            continue;
        }
        codingCosts.push_back(costs[i]);
        codingBidirectional.push_back(false);
        for (const double cost : waiting) {
            codingCosts.push_back(cost);
            codingBidirectional.push_back(true);
        }
        waiting.clear();
    }
    m_rate.BeginRun(std::move(codingCosts), std::move(codingBidirectional));
    m_nextPts = firstPts;
    m_runStart = true;
    m_runIndex = 0;
    m_held.clear();
}

void Rv40VideoEncoder::Encode(AVFrame* frame, const PacketSink& sink)
{
    // A run ends on a reference: nothing is held at the end.
    if (!frame)
        return;
    const int64_t streamPts = m_nextPts++;
    const bool bidirectional = m_runIndex < m_bidirectional.size() && m_bidirectional[m_runIndex];
    ++m_runIndex;
    if (bidirectional) {
        FramePtr kept(av_frame_clone(frame));
        if (!kept)
            throw std::bad_alloc();
        m_held.push_back({std::move(kept), streamPts});
        return;
    }
    Code(*frame, streamPts, false, sink);
    for (Held& held : m_held)
        Code(*held.frame, held.streamPts, true, sink);
    m_held.clear();
}

void Rv40VideoEncoder::Code(const AVFrame& frame, int64_t streamPts, bool bidirectional, const PacketSink& sink)
{
    bool key = !bidirectional && std::exchange(m_runStart, false);
    int quant = m_rate.Quantiser();
    // The slice header carries the stream's time, which demuxers read for rv40 (and from which
    // they time B pictures).
    const auto timestampMs = static_cast<uint32_t>(av_rescale(streamPts, int64_t{1000} * m_frameRate.den, m_frameRate.num));
    const rv40::SourcePicture picture = PictureOf(frame);
    for (;;) {
        m_encoder->Encode(picture, {key, quant, timestampMs, bidirectional}, m_coded);
        const std::optional<int> again = m_rate.Coded(key, quant, SliceBits(m_coded.data));
        if (!again)
            break;
        // Coded again from scratch: a P frame's reference is gone once it is coded. A B picture
        // changed nothing.
        key = !bidirectional;
        quant = *again;
    }
    if (av_new_packet(m_packet.get(), static_cast<int>(m_coded.data.size())) < 0)
        throw std::bad_alloc();
    std::copy(m_coded.data.begin(), m_coded.data.end(), m_packet->data);
    m_packet->flags = m_coded.key ? AV_PKT_FLAG_KEY : 0;
    m_packet->pts = m_packet->dts = frame.pts;
    if (m_coded.key && PreviewWanted()) {
        const rv40::Picture& shown = m_encoder->Reconstruction();
        const uint8_t* planes[3] = {shown.y.Row(0), shown.u.Row(0), shown.v.Row(0)};
        const int strides[3] = {shown.y.Stride(), shown.u.Stride(), shown.v.Stride()};
        ShowPreview(frame, planes, strides);
    }
    sink(m_packet.get());
    av_packet_unref(m_packet.get());
}

}  // namespace quenlar::encoder

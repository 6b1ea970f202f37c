#include "engine/RmWriter.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

// rm cannot carry a bigger video packet (the muxer fails with "patch welcome").
constexpr int kMaxRmPacketBytes = 65535;

// A hidden, unique name beside the target, so the rename stays on one file system.
std::string TempPathTemplate(const std::string& target)
{
    const std::filesystem::path path(target);
    return (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
}

}  // namespace

RmWriter::RmWriter(std::string targetPath, const std::atomic<bool>& halt)
    : m_targetPath(std::move(targetPath)), m_halt(halt)
{
    std::string pattern = TempPathTemplate(m_targetPath);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        throw EncodeFailure(EncodeResult::CannotCreateOutput, "Cannot create output file " +
                                                                  Quoted(m_targetPath) + ": " +
                                                                  AvErrorText(AVERROR(errno)));
    }
    // mkstemp makes the file private; the result is an ordinary document.
    fchmod(fd, 0644);
    close(fd);
    m_tempPath = name.data();

    int error = avformat_alloc_output_context2(&m_format, nullptr, "rm", m_tempPath.c_str());
    if (error >= 0) {
        m_format->interrupt_callback = {&RmWriter::Interrupt, this};
        error = avio_open2(&m_format->pb, m_tempPath.c_str(), AVIO_FLAG_WRITE,
                           &m_format->interrupt_callback, nullptr);
    }
    if (error < 0) {
        CloseAndRemove();
        throw EncodeFailure(EncodeResult::CannotCreateOutput,
                            "Cannot create output file " + Quoted(m_targetPath) + ": " + AvErrorText(error));
    }
}

RmWriter::~RmWriter()
{
    if (!m_committed)
        CloseAndRemove();
}

int RmWriter::Interrupt(void* opaque)
{
    return static_cast<const RmWriter*>(opaque)->m_halt.load() ? 1 : 0;
}

void RmWriter::CloseAndRemove()
{
    if (m_format) {
        avio_closep(&m_format->pb);
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    if (!m_tempPath.empty())
        std::remove(m_tempPath.c_str());
}

void RmWriter::ThrowWriteError(int error)
{
    if (m_halt)
        throw EncodeFailure(EncodeResult::Stopped, "Stopped");
    throw EncodeFailure(EncodeResult::WriteFailure,
                        "Cannot write output file " + Quoted(m_targetPath) + ": " + AvErrorText(error));
}

int RmWriter::AddStream(const AVCodecContext& encoder)
{
    AVStream* stream = avformat_new_stream(m_format, nullptr);
    if (!stream)
        ThrowWriteError(AVERROR(ENOMEM));
    const int error = avcodec_parameters_from_context(stream->codecpar, &encoder);
    if (error < 0)
        ThrowWriteError(error);
    // rm numbers video frames by this time base; it must be 1/fps for video.
    stream->time_base = encoder.time_base;
    return stream->index;
}

void RmWriter::SetTag(const char* key, const std::string& value)
{
    if (!value.empty())
        av_dict_set(&m_format->metadata, key, value.c_str(), 0);
}

void RmWriter::WriteHeader()
{
    const int error = avformat_write_header(m_format, nullptr);
    if (error < 0)
        ThrowWriteError(error);
}

void RmWriter::Write(AVPacket* packet, AVRational encoderTimeBase)
{
    std::lock_guard lock(m_mutex);
    AVStream* stream = m_format->streams[packet->stream_index];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && packet->size > kMaxRmPacketBytes) {
        throw EncodeFailure(EncodeResult::EncoderFailure,
                            "A video frame of " + std::to_string(packet->size) +
                                " bytes is too large for the rm format in " + Quoted(m_targetPath));
    }
    av_packet_rescale_ts(packet, encoderTimeBase, stream->time_base);
    const int error = av_interleaved_write_frame(m_format, packet);
    if (error < 0)
        ThrowWriteError(error);
}

void RmWriter::Commit()
{
    std::lock_guard lock(m_mutex);
    int error = av_write_trailer(m_format);
    if (error < 0)
        ThrowWriteError(error);
    // Late write errors (a full disk) show only here.
    error = m_format->pb->error;
    if (error < 0)
        ThrowWriteError(error);
    error = avio_closep(&m_format->pb);
    if (error < 0)
        ThrowWriteError(error);
    if (std::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0)
        ThrowWriteError(AVERROR(errno));
    avformat_free_context(m_format);
    m_format = nullptr;
    m_committed = true;
}

}  // namespace quenlar::encoder

#include "engine/EncodeJob.h"

#include <algorithm>
#include <deque>
#include <utility>
#include <filesystem>
#include <new>

#include "engine/AudioEncoder.h"
#include "engine/EncodeFailure.h"
#include "engine/InputReader.h"
#include "engine/RmWriter.h"
#include "engine/VideoEncoder.h"
#include "engine/VideoFilter.h"

namespace quenlar::encoder {

namespace {

// About a third of a second of video ahead of the encoder: enough to ride out uneven frames.
constexpr std::size_t kVideoQueueFrames = 8;
// Decoded audio frames (about 26 ms each): the reader must never wait on audio while the
// video encoder is hungry.
constexpr std::size_t kAudioQueueFrames = 64;
// Decoded sound kept while the first picture is awaited: several seconds of it.
constexpr std::size_t kHeldAudioFrames = 256;
constexpr auto kProgressInterval = std::chrono::milliseconds(500);
constexpr auto kPreviewInterval = std::chrono::milliseconds(250);

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Joins a stage's thread when the scope ends, also when an exception leaves it.
class JoiningThread {
public:
    template <typename F>
    explicit JoiningThread(F&& body) : m_thread(std::forward<F>(body)) {}
    ~JoiningThread()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    void Join() { m_thread.join(); }

private:
    std::thread m_thread;
};

// Closes both queues when the reading scope ends, so that the encoder threads finish.
class QueueCloser {
public:
    QueueCloser(BoundedQueue<FramePtr>& video, BoundedQueue<FramePtr>& audio) : m_video(video), m_audio(audio) {}
    ~QueueCloser()
    {
        m_video.Close();
        m_audio.Close();
    }

private:
    BoundedQueue<FramePtr>& m_video;
    BoundedQueue<FramePtr>& m_audio;
};

}  // namespace

EncodeJob::EncodeJob(EncodeSettings settings, EncodeListener& listener)
    : m_settings(std::move(settings)),
      m_listener(listener),
      m_videoQueue(kVideoQueueFrames, m_halt),
      m_audioQueue(kAudioQueueFrames, m_halt)
{
}

EncodeJob::~EncodeJob()
{
    Stop();
    Join();
}

void EncodeJob::Start()
{
    m_startTime = Clock::now();
    m_thread = std::thread(&EncodeJob::Run, this);
}

void EncodeJob::Stop()
{
    m_stopRequested = true;
    Halt();
}

void EncodeJob::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void EncodeJob::Halt()
{
    m_halt = true;
    m_videoQueue.WakeAll();
    m_audioQueue.WakeAll();
}

// Any stage's thread. The first failure wins; the others are its consequences.
void EncodeJob::RecordFailure(const EncodeFailure& failure)
{
    {
        std::lock_guard lock(m_failureMutex);
        if (!m_failure && !m_stopRequested)
            m_failure = failure;
    }
    Halt();
}

template <typename Body>
void EncodeJob::Guarded(Body body)
{
    try {
        body();
    } catch (const EncodeFailure& failure) {
        RecordFailure(failure);
    } catch (const std::bad_alloc&) {
        RecordFailure(EncodeFailure(EncodeResult::EncoderFailure,
                                    "Out of memory encoding " + Quoted(m_settings.inputPath)));
    }
}

// Job thread.
void EncodeJob::Run()
{
    JoiningThread ticker([this] { ProgressLoop(); });
    std::string message;
    EncodeResult result;
    bool completed = false;
    try {
        result = Encode(message);
        completed = OutputWritten(result);
    } catch (const EncodeFailure& failure) {
        result = failure.Code();
        message = failure.what();
    } catch (const std::bad_alloc&) {
        result = EncodeResult::EncoderFailure;
        message = "Out of memory encoding " + Quoted(m_settings.inputPath);
    }
    if (m_stopRequested && !completed)
        result = EncodeResult::Stopped;
    {
        std::lock_guard lock(m_progressMutex);
        m_progressDone = true;
    }
    m_progressWake.notify_all();
    ticker.Join();
    if (completed)
        m_listener.OnProgress(CurrentProgress(true));
    if (result != EncodeResult::Ok && result != EncodeResult::Stopped)
        m_listener.OnError(result, message);
    m_listener.OnFinished(result);
}

EncodeResult EncodeJob::Encode(std::string& message)
{
    InputReader reader(m_settings.inputPath, m_halt);
    reader.Open();
    if (SameFile(m_settings.inputPath, m_settings.outputPath)) {
        throw EncodeFailure(EncodeResult::CannotCreateOutput,
                            "Cannot create output file " + Quoted(m_settings.outputPath) +
                                ": it is the input file");
    }
    const AVRational frameRate = reader.FrameRate();
    VideoFilter filter(reader.Video(), reader.VideoTimeBase(), reader.SampleAspectRatio(), frameRate,
                       m_settings.deinterlace);
    const FrameSize size = filter.Size();
    const bool hasAudio = reader.Audio() != nullptr;
    const int ac3Kbps = NearestAc3Kbps(m_settings.audioKbps);
    VideoEncoder video(size.width, size.height, frameRate,
                       VideoBitRateFor(m_settings.totalKbps, hasAudio ? ac3Kbps : 0));
    std::optional<AudioEncoder> audio;
    if (hasAudio)
        audio.emplace(ac3Kbps, reader.AudioTimeBase());

    RmWriter writer(m_settings.outputPath, m_halt);
    const int videoStream = writer.AddStream(video.Context());
    const int audioStream = audio ? writer.AddStream(audio->Context()) : -1;
    writer.SetTag("title", m_settings.title);
    writer.SetTag("author", m_settings.author);
    writer.SetTag("comment", m_settings.comment);
    writer.WriteHeader();

    m_durationMs = reader.DurationMs();
    m_expectedFrames = av_rescale(reader.DurationMs(), frameRate.num, int64_t{1000} * frameRate.den);
    m_listener.OnOpened(size.width, size.height);

    if (m_settings.preview) {
        video.SetPreviewSink([this](const PreviewPicture& source, const PreviewPicture& encoded) {
            m_listener.OnPreview(source, encoded);
        });
    }
    const AVRational videoTimeBase = video.Context().time_base;
    const AVRational audioTimeBase = audio ? audio->Context().time_base : AVRational{1, 1};
    const PacketSink writeVideo = [&](AVPacket* packet) {
        packet->stream_index = videoStream;
        writer.Write(packet, videoTimeBase);
    };
    const PacketSink writeAudio = [&](AVPacket* packet) {
        packet->stream_index = audioStream;
        writer.Write(packet, audioTimeBase);
    };
    {
        JoiningThread videoThread([&] { Guarded([&] { VideoStage(video, filter.TimeBase(), writeVideo); }); });
        JoiningThread audioThread([&] {
            if (audio)
                Guarded([&] { AudioStage(*audio, writeAudio); });
        });
        // Whatever way this scope is left, the encoders see the end of their input before
        // their threads are joined.
        QueueCloser closer(m_videoQueue, m_audioQueue);
        Guarded([&] { ReadStage(reader, filter); });
    }

    {
        std::lock_guard lock(m_failureMutex);
        if (m_failure)
            throw *m_failure;
    }
    if (m_stopRequested)
        return EncodeResult::Stopped;
    if (m_frames == 0) {
        throw EncodeFailure(EncodeResult::ReadError,
                            "Input file " + Quoted(m_settings.inputPath) + " has no readable video" +
                                (reader.ReadError() ? ": " + AvErrorText(reader.ReadError()) : std::string()));
    }
    writer.Commit();
    if (reader.DamagedPackets() > 0) {
        message = "Input file " + Quoted(m_settings.inputPath) + " is damaged (" +
                  std::to_string(reader.DamagedPackets()) + " damaged packet" +
                  (reader.DamagedPackets() == 1 ? "" : "s") +
                  (reader.ReadError() ? ", " + AvErrorText(reader.ReadError()) : std::string()) +
                  "); it was converted as far as it could be read";
        return EncodeResult::DamagedInput;
    }
    return EncodeResult::Ok;
}

// Job thread: demux, decode and filter into the queues. Sound is held back until the first
// picture has been decoded, which gives the clock the audio stage keeps it on.
void EncodeJob::ReadStage(InputReader& reader, VideoFilter& filter)
{
    auto queue = [](BoundedQueue<FramePtr>& target, FramePtr owned) { return target.Push(std::move(owned)); };
    auto own = [](AVFrame* frame) {
        FramePtr owned = MakeFrame();
        if (!owned)
            throw std::bad_alloc();
        av_frame_move_ref(owned.get(), frame);
        return owned;
    };
    std::deque<FramePtr> heldAudio;
    bool clockKnown = false;
    auto setClock = [&](double videoStartSeconds) {
        clockKnown = true;
        m_videoStartSeconds = videoStartSeconds;
        bool more = true;
        for (; more && !heldAudio.empty(); heldAudio.pop_front())
            more = queue(m_audioQueue, std::move(heldAudio.front()));
        return more;
    };
    const AVRational videoTimeBase = reader.VideoTimeBase();
    auto queueVideo = [&](AVFrame* picture) { return queue(m_videoQueue, own(picture)); };
    auto filterVideo = [&](AVFrame* decoded) {
        if (!clockKnown &&
            !setClock(decoded->pts != AV_NOPTS_VALUE ? decoded->pts * av_q2d(videoTimeBase)
                                                     : reader.VideoStartSeconds()))
            return false;
        return filter.Push(decoded, queueVideo);
    };
    auto queueAudio = [&](AVFrame* samples) {
        if (clockKnown)
            return queue(m_audioQueue, own(samples));
        heldAudio.push_back(own(samples));
        // Picture this late: the stream's start time has to do.
        return heldAudio.size() < kHeldAudioFrames || setClock(reader.VideoStartSeconds());
    };
    reader.DecodeAll(filterVideo, queueAudio);
    if (m_halt)
        return;
    if (!clockKnown && !setClock(reader.VideoStartSeconds()))
        return;
    filter.Push(nullptr, queueVideo);
}

// Video thread: the frames from the filter, encoded and written.
void EncodeJob::VideoStage(VideoEncoder& video, AVRational filterTimeBase, const PacketSink& write)
{
    const AVRational timeBase = video.Context().time_base;
    int64_t firstPts = AV_NOPTS_VALUE;
    auto lastPreview = Clock::now() - kPreviewInterval;
    while (std::optional<FramePtr> frame = m_videoQueue.Pop()) {
        AVFrame* picture = frame->get();
        const int64_t pts = av_rescale_q(picture->pts, filterTimeBase, timeBase);
        if (firstPts == AV_NOPTS_VALUE)
            firstPts = pts;
        // rm starts the clock at the first frame.
        picture->pts = pts - firstPts;
        picture->pict_type = AV_PICTURE_TYPE_NONE;
        if (m_settings.preview && Clock::now() - lastPreview >= kPreviewInterval) {
            lastPreview = Clock::now();
            video.RequestPreview();
        }
        video.Encode(picture, write);
        ++m_frames;
        if (!m_started.exchange(true))
            m_listener.OnStarted();
    }
    if (!m_halt)
        video.Encode(nullptr, write);
}

// Audio thread: the decoded sound, resampled, encoded and written.
void EncodeJob::AudioStage(AudioEncoder& audio, const PacketSink& write)
{
    // The reader set the clock before it queued the first sound.
    bool started = false;
    while (std::optional<FramePtr> frame = m_audioQueue.Pop()) {
        if (!std::exchange(started, true))
            audio.StartAt(m_videoStartSeconds);
        audio.Encode(frame->get(), write);
    }
    if (!m_halt)
        audio.Encode(nullptr, write);
}

// Ticker thread: progress at a steady pace, however slowly the stages move.
void EncodeJob::ProgressLoop()
{
    std::unique_lock lock(m_progressMutex);
    for (;;) {
        m_progressWake.wait_for(lock, kProgressInterval, [this] { return m_progressDone; });
        if (m_progressDone)
            return;
        if (!m_started)
            continue;
        lock.unlock();
        m_listener.OnProgress(CurrentProgress(false));
        lock.lock();
    }
}

EncodeProgress EncodeJob::CurrentProgress(bool done) const
{
    EncodeProgress progress;
    progress.elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_startTime).count();
    progress.durationMs = m_durationMs;
    progress.frames = m_frames;
    const int64_t expected = m_expectedFrames;
    if (done)
        progress.percent = 100;
    else if (expected > 0)
        progress.percent = static_cast<int>(std::clamp<int64_t>(progress.frames * 100 / expected, 0, 99));
    if (progress.elapsedMs > 0)
        progress.fps = progress.frames * 1000.0 / progress.elapsedMs;
    if (done)
        progress.remainingMs = 0;
    else if (progress.frames > 0 && expected > progress.frames)
        progress.remainingMs = progress.elapsedMs * (expected - progress.frames) / progress.frames;
    return progress;
}

}  // namespace quenlar::encoder

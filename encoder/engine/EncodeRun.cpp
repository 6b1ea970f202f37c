#include "engine/EncodeRun.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <utility>
#include <filesystem>
#include <functional>
#include <limits>
#include <new>
#include <thread>

#include "engine/AudioEncoder.h"
#include "engine/EncodeFailure.h"
#include "engine/InputReader.h"
#include "engine/RmWriter.h"
#include "engine/ParallelVideoEncoder.h"
#include "engine/ThreadName.h"
#include "engine/VideoFilter.h"

namespace quenlar::encoder {

namespace {

// Decoded audio frames (about 26 ms each): the reader must never wait on audio while the
// video encoder is hungry.
constexpr std::size_t kAudioQueueFrames = 64;
// The audio stage keeps up easily and would otherwise sleep and wake for every frame.
constexpr std::size_t kAudioWakeFrames = 8;
// Decoded sound kept while the first picture is awaited: several seconds of it.
constexpr std::size_t kHeldAudioFrames = 256;
constexpr auto kProgressInterval = std::chrono::milliseconds(500);
constexpr auto kPreviewInterval = std::chrono::milliseconds(250);
constexpr int64_t kMsPerRv20Thread = 30'000;
constexpr int64_t kMsPerRv40Thread = 2'000;
constexpr int kMaxVideoThreadsFromEnvironment = 64;

// QUENLAR_VIDEO_THREADS fixes the count for every encode: for a machine shared with other
// work, and to measure. 0 when unset or not a positive number.
int VideoThreadsFromEnvironment()
{
    const char* text = std::getenv("QUENLAR_VIDEO_THREADS");
    int value = 0;
    if (!text || std::from_chars(text, text + std::strlen(text), value).ec != std::errc())
        return 0;
    return std::clamp(value, 0, kMaxVideoThreadsFromEnvironment);
}

// How many B pictures rv40 puts between references: the setting's, or QUENLAR_B_FRAMES's when
// it leaves it (-1), else the default; at most kMaxBFrames.
int BFramesFor(int requested)
{
    if (requested >= 0)
        return std::min(requested, kMaxBFrames);
    const char* text = std::getenv("QUENLAR_B_FRAMES");
    return text && *text ? std::clamp(std::atoi(text), 0, kMaxBFrames) : kDefaultBFrames;
}

// An rv20 instance's rate control settles once at its start, which costs a short file rate and
// picture; so it takes on no less than half a minute. rv40 plans each run from a look at it
// first, so from 4 s up a file keeps both cores busy (measured on film: rate within 1.5 %,
// picture within 0.1 dB of one instance), and its last runs are shared out evenly.
int VideoThreadsFor(VideoCodec codec, int requested, int64_t durationMs)
{
    if (requested > 0)
        return requested;
    if (const int fixed = VideoThreadsFromEnvironment(); fixed > 0)
        return fixed;
    const int64_t machine = ParallelVideoEncoder::InstancesForThisMachine();
    const int64_t perThread = codec == VideoCodec::Rv40 ? kMsPerRv40Thread : kMsPerRv20Thread;
    return static_cast<int>(
        std::min<int64_t>(machine, durationMs > 0 ? std::max<int64_t>(1, durationMs / perThread) : machine));
}

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

// Ends the encoders' input when the reading scope ends, so that their threads finish before
// the output they write to closes.
class InputCloser {
public:
    InputCloser(ParallelVideoEncoder& video, BoundedQueue<FramePtr>& audio) : m_video(video), m_audio(audio) {}
    ~InputCloser()
    {
        m_video.Close();
        m_audio.Close();
    }
    InputCloser(const InputCloser&) = delete;
    InputCloser& operator=(const InputCloser&) = delete;

private:
    ParallelVideoEncoder& m_video;
    BoundedQueue<FramePtr>& m_audio;
};

}  // namespace

EncodeRun::EncodeRun(EncodeSettings settings, EncodeListener& listener)
    : m_settings(std::move(settings)),
      m_listener(&listener),
      m_audioQueue(kAudioQueueFrames, m_halt, kAudioWakeFrames)
{
}

void EncodeRun::Stop()
{
    m_stopRequested = true;
    Halt();
}

bool EncodeRun::WaitEnded(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_endMutex);
    return m_endChanged.wait_for(lock, timeout, [this] { return m_ended; });
}

void EncodeRun::EndForListener()
{
    TellFinished(EncodeResult::Stopped);
}

void EncodeRun::Disconnect()
{
    std::unique_lock lock(m_listenerMutex);
    m_listener = nullptr;
    m_listenerIdle.wait(lock, [this] { return m_listenerCalls == 0; });
}

bool EncodeRun::ListenerEnded()
{
    std::lock_guard lock(m_listenerMutex);
    return m_listenerEnded || !m_listener;
}

class EncodeRun::ListenerCall {
public:
    // `last`: the end; it waits for the calls under way and nothing follows it.
    ListenerCall(EncodeRun& run, bool last) : m_run(run)
    {
        std::unique_lock lock(run.m_listenerMutex);
        if (last)
            run.m_listenerIdle.wait(lock, [&] { return run.m_listenerCalls == 0; });
        if (!run.m_listener || run.m_listenerEnded)
            return;
        m_listener = run.m_listener;
        run.m_listenerEnded = last;
        ++run.m_listenerCalls;
    }
    ~ListenerCall()
    {
        if (!m_listener)
            return;
        std::lock_guard lock(m_run.m_listenerMutex);
        --m_run.m_listenerCalls;
        m_run.m_listenerIdle.notify_all();
    }
    ListenerCall(const ListenerCall&) = delete;
    ListenerCall& operator=(const ListenerCall&) = delete;

    EncodeListener* Listener() const { return m_listener; }

private:
    EncodeRun& m_run;
    EncodeListener* m_listener = nullptr;
};

template <typename Call>
void EncodeRun::Tell(Call call)
{
    ListenerCall entry(*this, false);
    if (entry.Listener())
        call(*entry.Listener());
}

void EncodeRun::TellFinished(EncodeResult result)
{
    ListenerCall entry(*this, true);
    if (entry.Listener())
        entry.Listener()->OnFinished(result);
}

void EncodeRun::Halt()
{
    m_halt = true;
    m_audioQueue.WakeAll();
    std::lock_guard lock(m_videoMutex);
    if (m_video)
        m_video->WakeAll();
}

// Any stage's thread. The first failure wins; the others are its consequences.
void EncodeRun::RecordFailure(const EncodeFailure& failure)
{
    {
        std::lock_guard lock(m_failureMutex);
        if (!m_failure && !m_stopRequested)
            m_failure = failure;
    }
    Halt();
}

template <typename Body>
void EncodeRun::Guarded(Body body)
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
void EncodeRun::Run()
{
    NameThisThread("qn-reader");
    m_startTime = Clock::now();
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
        Tell([&](EncodeListener& listener) { listener.OnProgress(CurrentProgress(true)); });
    if (result != EncodeResult::Ok && result != EncodeResult::Stopped)
        Tell([&](EncodeListener& listener) { listener.OnError(result, message); });
    TellFinished(result);
    {
        std::lock_guard lock(m_endMutex);
        m_ended = true;
    }
    m_endChanged.notify_all();
}

// The open objects of one encode, declared in the order they open, so that they close in
// reverse.
struct EncodeRun::Pipeline {
    // Halt reaches the video encoder's threads while it lives.
    class VideoRegistration {
    public:
        VideoRegistration(EncodeRun& run, ParallelVideoEncoder& video) : m_run(run)
        {
            std::lock_guard lock(m_run.m_videoMutex);
            m_run.m_video = &video;
        }
        ~VideoRegistration()
        {
            std::lock_guard lock(m_run.m_videoMutex);
            m_run.m_video = nullptr;
        }
        VideoRegistration(const VideoRegistration&) = delete;
        VideoRegistration& operator=(const VideoRegistration&) = delete;

    private:
        EncodeRun& m_run;
    };

    std::optional<InputReader> reader;
    std::optional<VideoFilter> filter;
    std::optional<ParallelVideoEncoder> video;
    std::optional<VideoRegistration> registration;
    std::optional<AudioEncoder> audio;
    std::optional<RmWriter> writer;
    int videoStream = -1;
    int audioStream = -1;
};

EncodeResult EncodeRun::Encode(std::string& message)
{
    Pipeline pipeline;
    OpenInput(pipeline);
    OpenEncoders(pipeline);
    OpenOutput(pipeline);
    RunStages(pipeline);
    return Finish(pipeline, message);
}

void EncodeRun::OpenInput(Pipeline& pipeline)
{
    InputReader& reader = pipeline.reader.emplace(m_settings.inputPath, m_halt);
    reader.Open();
    if (SameFile(m_settings.inputPath, m_settings.outputPath)) {
        throw EncodeFailure(EncodeResult::CannotCreateOutput,
                            "Cannot create output file " + Quoted(m_settings.outputPath) +
                                ": it is the input file");
    }
    const AVCodecContext& decoder = reader.Video();
    const FrameSize size = EncodedSizeFor(decoder.width, decoder.height, reader.SampleAspectRatio(),
                                          VideoBitRate(reader), reader.FrameRate(), m_settings.videoCodec);
    pipeline.filter.emplace(decoder, reader.VideoTimeBase(), reader.SampleAspectRatio(), reader.FrameRate(), size,
                            m_settings.deinterlace);
}

int EncodeRun::VideoBitRate(const InputReader& reader) const
{
    return VideoBitRateFor(m_settings.totalKbps,
                           reader.Audio() ? SoundBitRate(m_settings.audioCodec, m_settings.audioKbps) : 0,
                           av_q2d(reader.FrameRate()));
}

void EncodeRun::OpenEncoders(Pipeline& pipeline)
{
    const InputReader& reader = *pipeline.reader;
    const FrameSize size = pipeline.filter->Size();
    const bool hasAudio = reader.Audio() != nullptr;
    // Packets come in the stream's order, from one encoder thread at a time.
    auto writeVideo = [this, &pipeline](AVPacket* packet) {
        packet->stream_index = pipeline.videoStream;
        const AVRational timeBase = pipeline.video->TimeBase();
        const double end = static_cast<double>(packet->dts + 1) * av_q2d(timeBase);
        pipeline.writer->Write(packet);
        WriteHeldSound(*pipeline.writer, end);
        ++m_frames;
        if (!m_started.exchange(true))
            Tell([](EncodeListener& listener) { listener.OnStarted(); });
    };
    ParallelVideoEncoder& video = pipeline.video.emplace(
        m_settings.videoCodec, VideoThreadsFor(m_settings.videoCodec, m_settings.videoThreads, reader.DurationMs()), size.width, size.height,
        reader.FrameRate(), VideoBitRate(reader), reader.DurationMs() / 1000.0, m_halt,
        [this](const std::function<void()>& body) { Guarded(body); }, writeVideo, BFramesFor(m_settings.bFrames));
    pipeline.registration.emplace(*this, video);
    if (hasAudio)
        pipeline.audio.emplace(m_settings.audioCodec, m_settings.audioKbps, reader.AudioTimeBase());
}

// The header is written, then the listener hears that the encode is under way.
void EncodeRun::OpenOutput(Pipeline& pipeline)
{
    RmWriter& writer = pipeline.writer.emplace(m_settings.outputPath, m_halt);
    pipeline.videoStream = writer.AddStream(pipeline.video->StreamFormat());
    if (pipeline.audio)
        pipeline.audioStream = writer.AddStream(pipeline.audio->StreamFormat());
    writer.SetTag("title", m_settings.title);
    writer.SetTag("author", m_settings.author);
    writer.SetTag("comment", m_settings.comment);
    writer.WriteHeader();

    const InputReader& reader = *pipeline.reader;
    const AVRational frameRate = reader.FrameRate();
    m_durationMs = reader.DurationMs();
    m_expectedFrames = av_rescale(reader.DurationMs(), frameRate.num, int64_t{1000} * frameRate.den);
    const FrameSize size = pipeline.filter->Size();
    Tell([&](EncodeListener& listener) { listener.OnOpened(size.width, size.height); });
    if (m_settings.preview) {
        pipeline.video->SetPreviewSink([this](const PreviewPicture& source, const PreviewPicture& encoded) {
            Tell([&](EncodeListener& listener) { listener.OnPreview(source, encoded); });
        });
    }
}

// Job thread: reads and feeds the video encoder's instances here, while sound is encoded on a
// thread of its own.
void EncodeRun::RunStages(Pipeline& pipeline)
{
    RmWriter& writer = *pipeline.writer;
    m_soundTimeBase = pipeline.audio ? pipeline.audio->TimeBase() : AVRational{1, 1};
    const PacketSink writeAudio = [&](AVPacket* packet) {
        PacketPtr held = MakePacket();
        if (!held)
            throw std::bad_alloc();
        packet->stream_index = pipeline.audioStream;
        av_packet_move_ref(held.get(), packet);
        {
            std::lock_guard lock(m_interleaveMutex);
            m_heldSound.push_back(std::move(held));
        }
        WriteHeldSound(writer, -1);
        ++m_audioPackets;
    };
    JoiningThread audioThread([&] {
        NameThisThread("qn-audio");
        if (pipeline.audio)
            Guarded([&] { AudioStage(*pipeline.audio, writeAudio); });
    });
    // Whatever way this scope is left, the encoders see the end of their input before their
    // threads are joined.
    InputCloser closer(*pipeline.video, m_audioQueue);
    Guarded([&] {
        ReadStage(*pipeline.reader, *pipeline.filter, *pipeline.video);
        if (!m_halt)
            pipeline.video->Finish();
    });
}

// Throws the first stage's failure; otherwise the file takes the target's name.
EncodeResult EncodeRun::Finish(Pipeline& pipeline, std::string& message)
{
    {
        std::lock_guard lock(m_failureMutex);
        if (m_failure)
            throw *m_failure;
    }
    if (m_stopRequested)
        return EncodeResult::Stopped;
    const InputReader& reader = *pipeline.reader;
    if (m_frames == 0) {
        throw EncodeFailure(EncodeResult::ReadError,
                            "Input file " + Quoted(m_settings.inputPath) + " has no readable video" +
                                (reader.ReadError() ? ": " + AvErrorText(reader.ReadError()) : std::string()));
    }
    WriteHeldSound(*pipeline.writer, std::numeric_limits<double>::infinity());
    pipeline.writer->Commit();
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

// Audio and video encoder threads, and the job thread at the end. `pictureEnd`: where the
// picture written so far ends, in seconds (less than before: unchanged).
void EncodeRun::WriteHeldSound(RmWriter& writer, double pictureEnd)
{
    std::lock_guard lock(m_interleaveMutex);
    m_pictureEnd = std::max(m_pictureEnd, pictureEnd);
    while (!m_heldSound.empty()) {
        AVPacket* packet = m_heldSound.front().get();
        if (static_cast<double>(packet->pts) * av_q2d(m_soundTimeBase) > m_pictureEnd)
            return;
        writer.Write(packet);
        m_heldSound.pop_front();
    }
}

// Job thread: demux, decode and filter; pictures go to the video encoder, sound to its queue.
// Sound is held back until the first picture has been decoded, which gives the clock the audio
// stage keeps it on.
void EncodeRun::ReadStage(InputReader& reader, VideoFilter& filter, ParallelVideoEncoder& video)
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
    const AVRational filterTimeBase = filter.TimeBase();
    const AVRational encoderTimeBase = video.TimeBase();
    int64_t firstPts = AV_NOPTS_VALUE;
    auto lastPreview = Clock::now() - kPreviewInterval;
    auto queueVideo = [&](AVFrame* picture) {
        const int64_t pts = av_rescale_q(picture->pts, filterTimeBase, encoderTimeBase);
        if (firstPts == AV_NOPTS_VALUE)
            firstPts = pts;
        // rm starts the clock at the first frame.
        picture->pts = pts - firstPts;
        if (m_settings.preview && Clock::now() - lastPreview >= kPreviewInterval) {
            lastPreview = Clock::now();
            video.RequestPreview();
        }
        return video.Encode(own(picture));
    };
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

// Audio thread: the decoded sound, resampled, encoded and written.
void EncodeRun::AudioStage(AudioEncoder& audio, const PacketSink& write)
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

// Ticker thread: progress a few times a second while the encode advances, and nothing while it
// does not, so that a stalled source shows as silence.
void EncodeRun::ProgressLoop()
{
    NameThisThread("qn-ticker");
    int64_t frames = 0;
    int64_t audioPackets = 0;
    std::unique_lock lock(m_progressMutex);
    for (;;) {
        m_progressWake.wait_for(lock, kProgressInterval, [this] { return m_progressDone; });
        if (m_progressDone)
            return;
        if (!m_started || (m_frames == frames && m_audioPackets == audioPackets))
            continue;
        frames = m_frames;
        audioPackets = m_audioPackets;
        lock.unlock();
        Tell([&](EncodeListener& listener) { listener.OnProgress(CurrentProgress(false)); });
        lock.lock();
    }
}

EncodeProgress EncodeRun::CurrentProgress(bool done) const
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

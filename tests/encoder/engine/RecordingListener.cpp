#include "RecordingListener.h"

#include <gtest/gtest.h>

namespace quenlar::encoder::test {

std::string RecordingListener::Trace() const
{
    std::lock_guard lock(m_mutex);
    return m_trace;
}

EncodeResult RecordingListener::Result() const
{
    std::lock_guard lock(m_mutex);
    return m_result;
}

std::string RecordingListener::ErrorText() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

int RecordingListener::Width() const
{
    std::lock_guard lock(m_mutex);
    return m_width;
}

int RecordingListener::Height() const
{
    std::lock_guard lock(m_mutex);
    return m_height;
}

std::vector<EncodeProgress> RecordingListener::Progress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

int RecordingListener::Previews() const
{
    std::lock_guard lock(m_mutex);
    return m_previews;
}

PreviewPicture RecordingListener::LastSource() const
{
    std::lock_guard lock(m_mutex);
    return m_source;
}

PreviewPicture RecordingListener::LastEncoded() const
{
    std::lock_guard lock(m_mutex);
    return m_encoded;
}

bool RecordingListener::WaitFinished(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_finishedChanged.wait_for(lock, timeout, [this] { return m_finished; });
}

std::chrono::steady_clock::time_point RecordingListener::FinishedAt() const
{
    std::lock_guard lock(m_mutex);
    return m_finishedAt;
}

void RecordingListener::OnOpened(int width, int height)
{
    std::lock_guard lock(m_mutex);
    m_trace += 'O';
    m_width = width;
    m_height = height;
}

void RecordingListener::OnStarted()
{
    {
        std::lock_guard lock(m_mutex);
        m_trace += 'S';
    }
    if (onStarted)
        onStarted();
}

void RecordingListener::OnProgress(const EncodeProgress& progress)
{
    std::lock_guard lock(m_mutex);
    // Progress comes often; one letter for a run of them keeps traces readable.
    if (m_trace.empty() || m_trace.back() != 'P')
        m_trace += 'P';
    m_progress.push_back(progress);
}

void RecordingListener::OnPreview(const PreviewPicture& source, const PreviewPicture& encoded)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_previews;
        m_source = source;
        m_encoded = encoded;
    }
    if (onPreview)
        onPreview();
}

void RecordingListener::OnError(EncodeResult code, const std::string& message)
{
    std::lock_guard lock(m_mutex);
    m_trace += 'E';
    m_result = code;
    m_error = message;
}

void RecordingListener::OnFinished(EncodeResult result)
{
    std::lock_guard lock(m_mutex);
    m_trace += 'F';
    m_result = result;
    m_finished = true;
    m_finishedAt = std::chrono::steady_clock::now();
    m_finishedChanged.notify_all();
}

EncodeSettings SettingsFor(const std::string& input, const std::string& output)
{
    EncodeSettings settings;
    settings.inputPath = input;
    settings.outputPath = output;
    settings.title = "Clip title";
    settings.author = "Clip author";
    settings.comment = "Quenlar";
    settings.totalKbps = 500;
    settings.audioKbps = 64;
    return settings;
}

void EncodeToEnd(const EncodeSettings& settings, RecordingListener& listener)
{
    EncodeJob job(settings, listener);
    job.Start();
    ASSERT_TRUE(listener.WaitFinished(std::chrono::seconds(60))) << "encode of " << settings.inputPath;
    job.Join();
}

}  // namespace quenlar::encoder::test

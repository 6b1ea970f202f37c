// A listener that records what an encode reported, for tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/EncodeJob.h"
#include "engine/EncodeListener.h"

namespace quenlar::encoder::test {

class RecordingListener : public EncodeListener {
public:
    // Letters in order of arrival: O opened, S started, P progress, V preview, E error, F finished.
    std::string Trace() const;
    EncodeResult Result() const;
    std::string ErrorText() const;
    int Width() const;
    int Height() const;
    std::vector<EncodeProgress> Progress() const;
    int Previews() const;
    PreviewPicture LastSource() const;
    PreviewPicture LastEncoded() const;

    // Waits for OnFinished; false when it did not come in time.
    bool WaitFinished(std::chrono::milliseconds timeout);
    std::chrono::steady_clock::time_point FinishedAt() const;

    // Called on the worker thread at the named moment (for stopping a job from inside).
    std::function<void()> onStarted;
    std::function<void()> onPreview;

    void OnOpened(int width, int height) override;
    void OnStarted() override;
    void OnProgress(const EncodeProgress& progress) override;
    void OnPreview(const PreviewPicture& source, const PreviewPicture& encoded) override;
    void OnError(EncodeResult code, const std::string& message) override;
    void OnFinished(EncodeResult result) override;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    std::string m_trace;
    EncodeResult m_result = EncodeResult::Ok;
    std::string m_error;
    int m_width = 0;
    int m_height = 0;
    std::vector<EncodeProgress> m_progress;
    int m_previews = 0;
    PreviewPicture m_source;
    PreviewPicture m_encoded;
    bool m_finished = false;
    std::chrono::steady_clock::time_point m_finishedAt;
};

// Default settings for a test encode of `input` to `output`.
EncodeSettings SettingsFor(const std::string& input, const std::string& output);

// Runs one encode to its end; the listener holds what it reported.
void EncodeToEnd(const EncodeSettings& settings, RecordingListener& listener);

}  // namespace quenlar::encoder::test

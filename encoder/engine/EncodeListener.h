// How an encode reports to whoever runs it; every call comes from a worker thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/EncodeSettings.h"

namespace quenlar::encoder {

struct EncodeProgress {
    int64_t elapsedMs = 0;
    int64_t durationMs = 0;  // of the source; 0 when unknown
    int percent = 0;         // 0..100
    int64_t frames = 0;      // video frames encoded so far
    double fps = 0;          // frames encoded per second of wall time
    int64_t remainingMs = -1;  // -1 while it cannot be told yet
};

// A packed RGB24 picture, rows without padding.
struct PreviewPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

class EncodeListener {
public:
    virtual ~EncodeListener() = default;
    // The input is open; the video is shown at this size.
    virtual void OnOpened(int width, int height) = 0;
    // The first frame reached the video encoder.
    virtual void OnStarted() = 0;
    // A few times a second, and at least once a second, from OnStarted until OnFinished.
    virtual void OnProgress(const EncodeProgress& progress) = 0;
    // The source frame and the same frame encoded and decoded back; only with preview asked.
    virtual void OnPreview(const PreviewPicture& source, const PreviewPicture& encoded) = 0;
    // A failure or damage, with a message naming the file and the reason. At most once.
    virtual void OnError(EncodeResult code, const std::string& message) = 0;
    // Always the last call, exactly once per started job.
    virtual void OnFinished(EncodeResult result) = 0;
};

}  // namespace quenlar::encoder

// Writes the rm file: into a temporary file beside the target, renamed over it only on success.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/LibavPtr.h"

namespace quenlar::encoder {

class RmWriter {
public:
    // Creates the temporary file. Throws EncodeFailure (CannotCreateOutput).
    RmWriter(std::string targetPath, const std::atomic<bool>& halt);
    // Removes the temporary file unless Commit() succeeded.
    ~RmWriter();
    RmWriter(const RmWriter&) = delete;
    RmWriter& operator=(const RmWriter&) = delete;

    // Before WriteHeader, on the job thread. Returns the stream index.
    int AddStream(const AVCodecContext& encoder);
    void SetTag(const char* key, const std::string& value);
    void WriteHeader();

    // From any thread; the packet is in the encoder's time base and is consumed.
    // Throws EncodeFailure (WriteFailure).
    void Write(AVPacket* packet, AVRational encoderTimeBase);

    // Trailer, close, rename over the target. Throws EncodeFailure (WriteFailure).
    void Commit();

    const std::string& TempPath() const { return m_tempPath; }

private:
    static int Interrupt(void* opaque);
    [[noreturn]] void ThrowWriteError(int error);
    void CloseAndRemove();

    std::string m_targetPath;
    std::string m_tempPath;
    const std::atomic<bool>& m_halt;
    AVFormatContext* m_format = nullptr;
    std::mutex m_mutex;  // the muxer is not thread-safe; audio and video threads both write
    bool m_committed = false;
};

}  // namespace quenlar::encoder

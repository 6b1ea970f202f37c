// Writes the rm file into an unnamed file in the target's folder (O_TMPFILE), linked in over the
// target only on success, so that nothing half-written outlives the process, even when it is
// killed. Where the file system has no unnamed files, a short named temporary is used instead,
// and those that dead processes left behind are swept away.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "engine/LibavPtr.h"

namespace quenlar::encoder {

class RmWriter {
public:
    // Creates the output file. Throws EncodeFailure (CannotCreateOutput), also when the target
    // exists and is read-only: it is never replaced.
    RmWriter(std::string targetPath, const std::atomic<bool>& halt);
    // Drops the output unless Commit() succeeded.
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

    // Trailer, then the file takes the target's name. Throws EncodeFailure (WriteFailure).
    void Commit();

private:
    struct IoDeleter {
        void operator()(AVIOContext* io) const;
    };

    static int WriteBytes(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    [[noreturn]] void ThrowWriteError(int error);
    void CheckTargetWritable() const;
    void CreateFile();
    void Discard();

    std::string m_targetPath;
    std::string m_folder;
    std::string m_namedTemp;  // only where the file system has no unnamed files
    int m_fd = -1;
    const std::atomic<bool>& m_halt;
    std::unique_ptr<AVIOContext, IoDeleter> m_io;
    OutputFormatPtr m_format;  // after m_io, so freed before it: m_io is its pb
    std::mutex m_mutex;  // the muxer is not thread-safe; the audio and video encoder threads all write
    bool m_committed = false;
};

}  // namespace quenlar::encoder

// Writes the rm file into an unnamed file in the target's folder (O_TMPFILE), linked in over the
// target only on success, so that nothing half-written outlives the process, even when it is
// killed. Where the file system has no unnamed files, a short named temporary is used instead,
// and those that dead processes left behind are swept away.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/LibavPtr.h"
#include "engine/RmMuxer.h"

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
    int AddStream(RmStreamFormat format);
    void SetTag(const char* key, const std::string& value);
    void WriteHeader();

    // From any thread, each stream's packets in order; the packet is consumed. Each is one whole
    // frame, and rm times packets by counting frames.
    // Throws EncodeFailure (WriteFailure, or EncoderFailure for a frame too large for rm).
    void Write(AVPacket* packet);

    // The index and the true header, then the file takes the target's name. Throws
    // EncodeFailure (WriteFailure).
    void Commit();

private:
    struct IoDeleter {
        void operator()(AVIOContext* io) const;
    };

    static int WriteBytes(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    [[noreturn]] void ThrowWriteError(int error);
    void CheckWritten();
    void CheckTargetWritable() const;
    void CreateFile();
    void Discard();

    std::string m_targetPath;
    std::string m_folder;
    std::string m_namedTemp;  // only where the file system has no unnamed files
    int m_fd = -1;
    const std::atomic<bool>& m_halt;
    std::unique_ptr<AVIOContext, IoDeleter> m_io;
    std::optional<RmMuxer> m_muxer;  // writes through m_io
    std::mutex m_mutex;  // over the muxer and m_io; the audio and video encoder threads all write
    bool m_committed = false;
};

}  // namespace quenlar::encoder

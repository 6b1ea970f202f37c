#include "engine/RmWriter.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/EncodeFailure.h"

namespace quenlar::encoder {

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
// Named temporaries are ".quenlar-<pid>-<random>": short, so that any legal target name works,
// and carrying the process, so that leftovers of dead ones can be told apart.
constexpr const char* kTempPrefix = ".quenlar-";

std::string TempName(const std::string& folder)
{
    static thread_local std::mt19937 random(std::random_device{}());
    char name[64];
    std::snprintf(name, sizeof name, "%s%d-%08x", kTempPrefix, static_cast<int>(getpid()),
                  static_cast<unsigned>(random()));
    return folder + "/" + name;
}

// Removes named temporaries whose process no longer runs.
void SweepLeftovers(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = kTempPrefix;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const int pid = std::atoi(name.c_str() + prefix.size());
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(dir), name.c_str(), 0);
    }
    closedir(dir);
}

std::string FolderOf(const std::string& target)
{
    const std::string folder = std::filesystem::path(target).parent_path().string();
    return folder.empty() ? "." : folder;
}

}  // namespace

void RmWriter::IoDeleter::operator()(AVIOContext* io) const
{
    av_freep(&io->buffer);
    avio_context_free(&io);
}

RmWriter::RmWriter(std::string targetPath, const std::atomic<bool>& halt)
    : m_targetPath(std::move(targetPath)), m_folder(FolderOf(m_targetPath)), m_halt(halt)
{
    CheckTargetWritable();
    CreateFile();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer)
        m_io.reset(avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &RmWriter::WriteBytes, &RmWriter::Seek));
    if (!m_io) {
        av_free(buffer);
        Discard();
        throw EncodeFailure(EncodeResult::CannotCreateOutput, "Cannot create output file " + Quoted(m_targetPath) +
                                                                  ": " + AvErrorText(AVERROR(ENOMEM)));
    }
    m_muxer.emplace(*m_io, m_targetPath);
}

RmWriter::~RmWriter()
{
    if (!m_committed)
        Discard();
}

void RmWriter::CheckTargetWritable() const
{
    struct stat info {};
    if (stat(m_targetPath.c_str(), &info) != 0)
        return;
    // Write bits, not access(): root may write anywhere, yet a read-only file is the user's word.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(m_targetPath.c_str(), W_OK) != 0) {
        throw EncodeFailure(EncodeResult::CannotCreateOutput,
                            "Output file " + Quoted(m_targetPath) + " is read-only; it was left as it is");
    }
}

void RmWriter::CreateFile()
{
    SweepLeftovers(m_folder);
    m_fd = open(m_folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0; m_fd < 0 && attempt < 8; ++attempt) {
            m_namedTemp = TempName(m_folder);
            m_fd = open(m_namedTemp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0644);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            m_namedTemp.clear();
    }
    if (m_fd < 0) {
        throw EncodeFailure(EncodeResult::CannotCreateOutput, "Cannot create output file " +
                                                                  Quoted(m_targetPath) + ": " +
                                                                  AvErrorText(AVERROR(errno)));
    }
}

void RmWriter::Discard()
{
    m_muxer.reset();
    m_io.reset();
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (!m_namedTemp.empty())
        unlink(m_namedTemp.c_str());
    m_namedTemp.clear();
}

int RmWriter::WriteBytes(void* opaque, uint8_t* data, int size)
{
    auto* writer = static_cast<RmWriter*>(opaque);
    int done = 0;
    while (done < size) {
        const ssize_t written = write(writer->m_fd, data + done, static_cast<size_t>(size - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return AVERROR(errno);
        done += static_cast<int>(written);
    }
    return done;
}

int64_t RmWriter::Seek(void* opaque, int64_t offset, int whence)
{
    auto* writer = static_cast<RmWriter*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat info {};
        return fstat(writer->m_fd, &info) == 0 ? info.st_size : AVERROR(errno);
    }
    const off_t position = lseek(writer->m_fd, offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : position;
}

void RmWriter::ThrowWriteError(int error)
{
    if (m_halt)
        throw EncodeFailure(EncodeResult::Stopped, "Stopped");
    throw EncodeFailure(EncodeResult::WriteFailure,
                        "Cannot write output file " + Quoted(m_targetPath) + ": " + AvErrorText(error));
}

// Write errors stay in the I/O context; they show here.
void RmWriter::CheckWritten()
{
    if (m_io->error < 0)
        ThrowWriteError(m_io->error);
}

int RmWriter::AddStream(RmStreamFormat format)
{
    return m_muxer->AddStream(std::move(format));
}

void RmWriter::SetTag(const char* key, const std::string& value)
{
    m_muxer->SetTag(key, value);
}

void RmWriter::WriteHeader()
{
    m_muxer->WriteHeader();
    CheckWritten();
}

void RmWriter::Write(AVPacket* packet)
{
    std::lock_guard lock(m_mutex);
    m_muxer->Write(packet->stream_index, *packet);
    av_packet_unref(packet);
    CheckWritten();
}

void RmWriter::Commit()
{
    std::lock_guard lock(m_mutex);
    m_muxer->Finish();
    avio_flush(m_io.get());
    // Late write errors (a full disk) show only here.
    CheckWritten();
    // The target may have been made read-only while the encode ran.
    CheckTargetWritable();
    std::string named = m_namedTemp;
    if (named.empty()) {
        // An unnamed file gets a name only here; linkat will not replace, so it takes a fresh
        // short one and the rename replaces the target.
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        for (int attempt = 0; named.empty() && attempt < 8; ++attempt) {
            const std::string candidate = TempName(m_folder);
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
                named = candidate;
            else if (errno != EEXIST)
                ThrowWriteError(AVERROR(errno));
        }
        if (named.empty())
            ThrowWriteError(AVERROR(EEXIST));
        m_namedTemp = named;
    }
    if (std::rename(named.c_str(), m_targetPath.c_str()) != 0)
        ThrowWriteError(AVERROR(errno));
    m_namedTemp.clear();
    m_muxer.reset();
    m_io.reset();
    close(m_fd);
    m_fd = -1;
    m_committed = true;
}

}  // namespace quenlar::encoder

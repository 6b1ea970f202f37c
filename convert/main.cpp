// quenlar-convert: the dialog's conversion without a display, for scripts, servers and GNU
// parallel. Same engine, same target names, same options and settings file.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "common/AudioRows.h"
#include "convert/ConvertOptions.h"
#include "convert/Converter.h"
#include "convert/QueueFile.h"
#include "platform/desktop/AppId.h"
#include "platform/desktop/DesktopNotification.h"
#include "platform/desktop/SleepInhibitor.h"

#ifndef QUENLAR_VERSION
#error "QUENLAR_VERSION is set by the build"
#endif

namespace {

using namespace convert;

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "quenlar-convert: %s\nTry 'quenlar-convert --help' for more information.\n",
                 reason.c_str());
    return kExitUsage;
}

// The command line over the queue file's [Config] over the defaults. An audio row the file
// holds out of range is what the dialog would pass as no row: the encoder's own default.
EncodeOptions MergeOptions(const ConvertOptions& given, const QueueFile* queue, std::string& warning)
{
    const settings::BatchOptions stored = queue ? queue->Options() : settings::BatchOptions();
    EncodeOptions options;
    options.bitrate = given.bitrate.value_or(stored.bitRate);
    options.audioRow = given.audio.value_or(stored.audioSetting);
    if (options.audioRow < 0 || options.audioRow >= static_cast<int>(kAudioRows.size())) {
        warning = "AudioSetting " + std::to_string(options.audioRow) + " in " + queue->Path() +
                  " is no audio row; using row " + std::to_string(kEncoderDefaultAudioRow);
        options.audioRow = kEncoderDefaultAudioRow;
    }
    options.author = given.author.value_or(stored.author);
    options.folderPrefix = given.folderPrefix || stored.folderAsPrefix;
    options.deinterlace = given.deinterlace;
    options.video = given.video;
    options.bFrames = given.bFrames;
    return options;
}

int ExitStatusFor(int signal)
{
    return signal == SIGINT ? kExitInterrupted : signal == SIGTERM ? kExitTerminated : 128 + signal;
}

}  // namespace

int main(int argc, char** argv)
{
    const ParsedCommand parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.command) {
    case Command::UsageError:
        return UsageError(parsed.error);
    case Command::Help:
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    case Command::Version:
        std::printf("quenlar-convert %s\n", QUENLAR_VERSION);
        return kExitOk;
    case Command::ListAudio:
        for (std::size_t row = 0; row < kAudioRows.size(); ++row) {
            const AudioRow& audio = kAudioRows[row];
            const auto codec = quenlar::encoder::AudioCodecNamed(audio.codec).value_or(quenlar::encoder::AudioCodec::Ac3);
            std::printf("%zu  %.*s  (%s, %.1f kbit/s)\n", row, static_cast<int>(audio.name.size()), audio.name.data(),
                        quenlar::encoder::AudioCodecName(codec),
                        quenlar::encoder::SoundBitRate(codec, audio.kbps) / 1000.0);
        }
        return kExitOk;
    case Command::Convert:
        break;
    }
    const ConvertOptions& given = parsed.options;
    // The libraries' own chatter would break the one-line-per-file output; every failure
    // reaches the user through the engine's messages, which name the file.
    av_log_set_level(AV_LOG_QUIET);

    std::optional<QueueFile> queue;
    if (given.queue) {
        queue.emplace(*given.queue);
        std::string error;
        if (!queue->Load(error))
            return UsageError(error);
    }

    // Signals are taken by one thread with sigwait, so that they are blocked in every thread the
    // engine starts; nothing runs in a signal handler. A reader of our output that goes away
    // must not end the encodes half-way.
    // A signal ignored at start (SIGHUP under nohup, SIGINT in a script's background job)
    // stays ignored.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&stopSignals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string warning;
    const EncodeOptions options = MergeOptions(given, queue ? &*queue : nullptr, warning);
    const std::vector<FileTask> tasks =
        PlanTasks(given.files, queue ? queue->Paths() : std::vector<std::string>(), options.folderPrefix);
    ProgressView view(stdout, isatty(STDOUT_FILENO) != 0, given.quiet, static_cast<int>(tasks.size()));
    if (!warning.empty())
        view.Note(warning);
    const int jobs = given.jobs > 0 ? given.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    Converter converter(tasks, options, jobs, view, queue ? &*queue : nullptr);
    std::atomic<int> caught{0};
    std::thread([&] {
        int signal = 0;
        if (sigwait(&stopSignals, &signal) == 0) {
            caught = signal;
            converter.RequestStop();
        }
    }).detach();

    // An idle desktop, or logind's idle action on a server, would suspend the machine mid-run.
    platform::SleepInhibitor inhibitor;
    if (given.inhibit)
        inhibitor.Take("quenlar-convert", "Converting " + std::to_string(tasks.size()) +
                                              (tasks.size() == 1 ? " file" : " files"));
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = converter.Run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    inhibitor.Release();
    const bool stopped = caught != 0;
    view.Summary(result.converted, result.failed, result.notConverted, seconds, stopped);
    if (given.notify && !stopped) {
        std::string body = std::to_string(result.converted) + " converted";
        if (result.failed > 0)
            body += ", " + std::to_string(result.failed) + " failed";
        platform::NotifyDesktop({"quenlar-convert", platform::kDesktopAppId, "quenlar-convert is done", body});
    }

    return stopped ? ExitStatusFor(caught) : result.failed > 0 ? kExitFailed : kExitOk;
}

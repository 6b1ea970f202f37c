// The batch's texts: what the user is told in boxes and what the info log records.
#pragma once

#include <string>

namespace batchtext {

inline constexpr const char* kSelectSourceFirst = "Please select the source file at first.";
inline constexpr const char* kBitrateTooLow =
    "Bitrate less than 300KB is rubbish. Please correct it.\n码率低于300KB只能批量制造垃圾。我们有责任抵制垃圾的泛滥。";
inline constexpr const char* kExitWhileEncoding =
    "It's encoding. Are you sure you want to exit?\n压缩中，真的想退出吗？";
// The program has no control to encode with (not installed, or it failed to start).
inline constexpr const char* kNoEncoderControl =
    "The encoder control could not be created, so no file can be encoded.\n"
    "Please reinstall Quenlar and start it again.";

// At close, followed by one line per file that could not be written.
inline constexpr const char* kNotSaved =
    "These files could not be written, so what they should hold was not saved:";

inline constexpr const char* kCompressionFailed = "Compression failed:";
inline constexpr const char* kErrorPrefixFormat = "Error %d: ";
// Followed by the source, its target and the source that wrote that target before.
inline constexpr const char* kSameTargetNotConverted = "Not converted, another file of this batch has its target: ";
// Followed by the reason the system gave.
inline constexpr const char* kPowerOffFailed = "The computer could not be powered off: ";
inline constexpr const char* kLineEnd = "\r\n";

// The sleep inhibitor's reason, as the desktop lists it while the batch runs.
inline std::string ConvertingReason(int files)
{
    return "Converting " + std::to_string(files) + (files == 1 ? " file" : " files");
}
// The notification at a batch's end.
inline constexpr const char* kBatchDoneSummary = "Quenlar: the batch is done";
inline std::string BatchDoneBody(int converted, int failed)
{
    std::string body = std::to_string(converted) + " converted";
    if (failed > 0)
        body += ", " + std::to_string(failed) + " failed — see the info log";
    return body;
}

inline constexpr const char* kStartCaption = "Start";
inline constexpr const char* kStopCaption = "Stop";

}  // namespace batchtext

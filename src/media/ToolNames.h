// The names Tarnivo's tools go by, written once.
#pragma once

namespace tarnivo::media {

// The ffmpeg front end and the SoX launcher as the working folder holds them.
constexpr const char* kFfmpegToolName = "ffmpeg.exe";
constexpr const char* kSoxToolName = "sox.exe";
// Tarnivo's frame writer, under the same name where it is installed and in the working folder,
// where the ffmpeg front end finds it beside itself.
constexpr const char* kFrameWriterProgram = "tarnivo-frames";

// The system's programs that do the media work.
constexpr const char* kFfmpegProgram = "ffmpeg";
constexpr const char* kFfprobeProgram = "ffprobe";
constexpr const char* kSoxProgram = "sox";

// Put before a path that ffmpeg or ffprobe reads, so that a name that looks like a protocol
// ("http:...", "concat:...") stays a plain file.
constexpr const char* kFileProtocol = "file:";

}  // namespace tarnivo::media

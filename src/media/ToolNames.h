// The names Tarnivo's tools go by, written once.
#pragma once

namespace tarnivo::media {

// The ffmpeg front end and the SoX launcher as the working folder holds them.
constexpr const char* kFfmpegToolName = "ffmpeg.exe";
constexpr const char* kSoxToolName = "sox.exe";

// The system's programs that do the media work.
constexpr const char* kFfmpegProgram = "ffmpeg";
constexpr const char* kFfprobeProgram = "ffprobe";
constexpr const char* kSoxProgram = "sox";

// Put before a path that ffmpeg or ffprobe reads, so that a name that looks like a protocol
// ("http:...", "concat:...") stays a plain file.
constexpr const char* kFileProtocol = "file:";

}  // namespace tarnivo::media

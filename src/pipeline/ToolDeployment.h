// Puts the tools that the job runs into the working folder: the ffmpeg front end as
// "ffmpeg.exe", the SoX launcher as "sox.exe" and the frame writer that the front end runs. They
// are the helper programs installed with Tarnivo (beside the program, or in its installation's
// libexec folder); the libraries that the tools need are the system's own, so nothing is written
// for them.
#pragma once

#include "ToolNames.h"

#include <QByteArray>
#include <QString>

namespace tarnivo {

class StepErrorReporter;

// The tools' numbers, and the names they are written under in the working folder.
constexpr int kFfmpeg32Resource = 101;
constexpr int kFfmpeg64Resource = 102;
constexpr int kSpareProgramResource = 103;  // carried, never written
constexpr int kSoxResource = 104;
constexpr int kLibMadResource = 105;
constexpr int kLibMp3LameResource = 106;
constexpr int kPthreadResource = 107;
constexpr int kZlibResource = 108;
// Tarnivo's frame writer, which the ffmpeg front end runs beside itself for the frame extraction.
constexpr int kFrameWriterResource = 109;

// The helper program carried under a resource number; empty for the libraries (105 to 108),
// which the system provides.
QString ResourceProgramPath(int resource);

// The bytes of a resource: the helper program's file, or nothing for the libraries. Raises
// FileRoutineError when a helper program cannot be read.
QByteArray LoadResource(int resource);

// "64" on a 64-bit processor, "32" otherwise.
QString GetAddressWidth();

// Writes bytes to a new file at path, readable, writable and runnable by the user only (0700).
// Raises FileRoutineError when it cannot.
void WriteBytesToFile(const QByteArray& bytes, const QString& path);

// The files the job deletes after its last file, in order.
const char* const kDeployedToolNames[] = {media::kFfmpegToolName,    media::kSoxToolName, "LibMad.dll",
                                          "LibMp3Lame.dll",          "pthreadgc2.dll",    "zlib1.dll",
                                          media::kFrameWriterProgram};

// Creates the working folder when missing and writes every tool that is missing there. A
// failing step is reported at the caller's location and the next one runs; an existing tool
// is never replaced.
void DeployTools(const StepErrorReporter& report);

}  // namespace tarnivo

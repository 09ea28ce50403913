// The one sentence a user reads when a step fails: the tool's most telling line, or a sentence
// of ours when the tool said nothing useful.
#pragma once

#include <QString>
#include <QStringList>

namespace tarnivo {

// The line of a tool's standard error that says best why it failed: a line naming a cause
// ("No space left on device", "Permission denied", ...) beats a closing "Conversion failed!",
// and the last such line wins. Empty when the tool said nothing useful.
QString TellingLine(const QStringList& errorLines);

// True when the lines say that writing a file went wrong, although the tool may have ended
// with status 0 (ffmpeg reports a failed close or trailer and still exits 0).
bool SaysWriteFailed(const QStringList& errorLines);

// True when the lines say that ffmpeg could not open its encoder, or encoded nothing at all.
bool SaysEncoderRefused(const QStringList& errorLines);

// True when the lines say the disk (or the user's quota) is full.
bool SaysDiskFull(const QStringList& errorLines);

// Where a step wrote, for a reason about a full disk: "the working folder /home/u/.cache/...".
struct WritePlace {
    QString role;    // "working folder", "output folder"
    QString folder;  // its path
};

// The session's limit on the size of a file (ulimit -f, RLIMIT_FSIZE), in bytes; -1 when there
// is none.
qint64 FileSizeLimitBytes();
// "the file-size limit of this session is too small (files may not grow beyond N KB, ulimit -f)"
QString FileSizeLimitReason();

// Why a tool's run failed: a file-size limit of the session that stopped a write as such, a full
// disk as "No space left on device in the <role> <folder>",
// else the telling line, else a tool ended by a signal as such, else fallback with the status.
QString ToolFailureReason(const QString& tool, int exitStatus, const QStringList& errorLines,
                          const QString& fallback, const WritePlace& place);

// The reason with any of the paths removed where it starts with "PATH: " (once or repeated),
// so a path named beside the reason is not named again inside it.
QString WithoutLeadingPaths(QString reason, const QStringList& paths);

}  // namespace tarnivo

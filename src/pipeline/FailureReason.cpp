#include "FailureReason.h"

#include "ProcessRunner.h"

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace tarnivo {

namespace {

// Texts that name the cause of a failure, in the words of the C library and of ffmpeg.
const char* const kCauses[] = {
    "No space left on device",
    "Disk quota exceeded",
    "Permission denied",
    "Read-only file system",
    "No such file or directory",
    "Input/output error",
    "File too large",
    "Is a directory",
    "Operation not permitted",
    "Too many open files",
    "Invalid data found when processing input",
    "Error closing file",
    "Error writing trailer",
    "Unrecognized option",
    "Unknown encoder",
};

// Texts that say a written file is not whole.
const char* const kWriteFailures[] = {
    "Error closing file",           "Error writing trailer", "No space left on device",
    "Disk quota exceeded",          "Input/output error",    "File too large",
    "av_interleaved_write_frame()", "Error muxing a packet", "Error submitting a packet to the muxer",
    "Error writing output",
};

const char* const kDiskFull[] = {"No space left on device", "Disk quota exceeded"};

const char* const kEncoderRefusals[] = {"Error while opening encoder",
                                        "Output file is empty, nothing was encoded",
                                        "ff_frame_thread_encoder_init failed"};

// ffmpeg's closing words, which add nothing to the line before them.
bool isClosingWord(const QString& line)
{
    return line == QLatin1String("Conversion failed!") || line.startsWith(QLatin1String("Exiting normally"));
}

template <size_t N> bool holdsAny(const QString& line, const char* const (&texts)[N])
{
    for (const char* text : texts) {
        if (line.contains(QLatin1String(text)))
            return true;
    }
    return false;
}

template <size_t N> bool anyLineHolds(const QStringList& lines, const char* const (&texts)[N])
{
    for (const QString& line : lines) {
        if (holdsAny(line, texts))
            return true;
    }
    return false;
}

const char* const kFileTooLarge[] = {"File too large"};

bool endedBySignal(int exitStatus) { return exitStatus > 128 && exitStatus < 128 + 65; }

}  // namespace

QString TellingLine(const QStringList& errorLines)
{
    for (auto line = errorLines.crbegin(); line != errorLines.crend(); ++line) {
        if (holdsAny(*line, kCauses))
            return line->trimmed();
    }
    QStringList meaningful;
    for (const QString& line : errorLines) {
        if (!isClosingWord(line.trimmed()))
            meaningful << line;
    }
    return LastMeaningfulLine(meaningful);
}

bool SaysWriteFailed(const QStringList& errorLines) { return anyLineHolds(errorLines, kWriteFailures); }

bool SaysDiskFull(const QStringList& errorLines) { return anyLineHolds(errorLines, kDiskFull); }

bool SaysEncoderRefused(const QStringList& errorLines) { return anyLineHolds(errorLines, kEncoderRefusals); }

qint64 FileSizeLimitBytes()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return static_cast<qint64>(limit.rlim_cur);
}

QString FileSizeLimitReason()
{
    return QStringLiteral(
               "the file-size limit of this session is too small (files may not grow beyond %1 KB, "
               "ulimit -f)")
        .arg(FileSizeLimitBytes() / 1024);
}

QString ToolFailureReason(const QString& tool, int exitStatus, const QStringList& errorLines,
                          const QString& fallback, const WritePlace& place)
{
    // A write past the limit ends a tool by SIGXFSZ, or fails with "File too large" where the
    // tool ignores that signal (the same words come from a file system's own limit, FAT's 4 GB).
    if (FileSizeLimitBytes() >= 0 && (exitStatus == 128 + SIGXFSZ || anyLineHolds(errorLines, kFileTooLarge)))
        return FileSizeLimitReason() +
               QStringLiteral(" for a file in the %1 %2").arg(place.role, place.folder);
    if (SaysDiskFull(errorLines))
        return QStringLiteral("No space left on device in the %1 %2").arg(place.role, place.folder);
    const QString line = TellingLine(errorLines);
    if (endedBySignal(exitStatus) && !holdsAny(line, kCauses)) {
        const int signal = exitStatus - 128;
        return QStringLiteral("%1 was stopped by signal %2 (%3)")
            .arg(tool)
            .arg(signal)
            .arg(QString::fromLocal8Bit(::strsignal(signal)));
    }
    if (!line.isEmpty())
        return line;
    if (exitStatus != 0 && exitStatus >= 0)
        return QStringLiteral("%1 (%2 ended with status %3)").arg(fallback, tool).arg(exitStatus);
    return fallback;
}

QString WithoutLeadingPaths(QString reason, const QStringList& paths)
{
    bool removed = true;
    while (removed) {
        removed = false;
        for (const QString& path : paths) {
            const QString prefix = path + QStringLiteral(": ");
            if (!path.isEmpty() && reason.startsWith(prefix) && reason.size() > prefix.size()) {
                reason.remove(0, prefix.size());
                removed = true;
            }
        }
    }
    return reason;
}

}  // namespace tarnivo

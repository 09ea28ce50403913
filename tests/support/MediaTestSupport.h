// Test support: temporary folders, environment overrides, real tool runs and clip making.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <vector>

namespace tarnivo::test {

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QString& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    QByteArray m_name;
    QByteArray m_oldValue;
    bool m_hadValue;
};

// A private TEMP for one test: a fresh folder, with TEMP pointing at it.
class TempEnvironment {
public:
    TempEnvironment();
    QString root() const { return m_folder.path(); }
    QString work() const { return m_folder.path() + "/temp"; }

private:
    QTemporaryDir m_folder;
    ScopedEnvironment m_temp;
};

struct ToolResult {
    int exitCode = -1;
    QByteArray output;  // standard output
    QByteArray errors;  // standard error
};

// Runs a program directly (no shell) and waits for it.
ToolResult RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 120000);

struct ClipOptions {
    int width = 160;
    int height = 120;
    QString frameRate = "25";
    double seconds = 1.0;
    int frames = 0;  // when above 0, overrides seconds: exactly this many frames
    bool withVideo = true;
    bool withAudio = true;
};

// Makes a clip whose frame N decodes to a mean grey level of about ExpectedGrey(N), with a
// 440 Hz tone.
// Returns false (with the tool's messages in *errors) when ffmpeg fails.
// The full-range grey level of frame N of a clip from MakeClip.
inline double ExpectedGrey(int n) { return std::min(255.0, n * 4 * 255.0 / 219.0); }

bool MakeClip(const QString& path, const ClipOptions& options, QString* errors = nullptr);

// The mean grey level of each decoded frame of a picture or video file.
std::vector<double> MeanGreyPerFrame(const QString& path);

// ffprobe's value of one stream entry, e.g. StreamEntry(file, "v:0", "nb_frames").
QString StreamEntry(const QString& path, const QString& stream, const QString& entry);
// Duration in seconds of the first stream of the kind ("v:0" or "a:0"), decoded in full; -1 when absent.
double DecodedDuration(const QString& path, const QString& stream);

// Lets the application handle its events until done() or the deadline; returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

// Copies the helper programs into the working folder as "ffmpeg.exe", "sox.exe" and the frame
// writer, the way the job deploys them.
void InstallToolsInto(const QString& workFolder);

}  // namespace tarnivo::test

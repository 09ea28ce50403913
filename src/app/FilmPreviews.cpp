#include "FilmPreviews.h"

#include "JobProgress.h"
#include "ProgramStart.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <unistd.h>

namespace tarnivo {

namespace {

// Files read at once: each costs a short ffprobe and the decoding of one picture.
constexpr int kReadingsAtOnce = 2;
// A tool that has not answered by then (a file on a stalled network share) is stopped.
constexpr int kToolDeadlineMs = 60000;
// The picture is made this large (twice the list's box, for sharp high-density screens).
const QString kPictureScale = QStringLiteral("scale=96:64:force_original_aspect_ratio=decrease");

// ffmpeg and ffprobe take the "file:" form of a path as the path itself, whatever it holds
// (a name that begins with "-" or holds ":" is no option and no protocol).
QString toolInput(const QString& path) { return QStringLiteral("file:") + path; }

// The moment of the picture: a tenth into the film, at most ten seconds in.
QString pictureMoment(qint64 lengthMs)
{
    const qint64 ms = lengthMs > 0 ? std::min<qint64>(lengthMs / 10, 10000) : 0;
    return QString::number(double(ms) / 1000, 'f', 3);
}

// ffprobe's "key=value" lines: the first picture stream's width and height, the length.
void readProbe(const QByteArray& output, FilmFacts& facts)
{
    int width = 0;
    int height = 0;
    for (const QByteArray& line : output.split('\n')) {
        const int equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        bool number = false;
        if (key == "width")
            width = value.toInt();
        else if (key == "height")
            height = value.toInt();
        else if (const double seconds = value.toDouble(&number); key == "duration" && number && seconds >= 0)
            facts.lengthMs = qRound64(seconds * 1000);
    }
    if (width > 0 && height > 0)
        facts.pictureSize = QSize(width, height);
}

}  // namespace

struct FilmPreviews::Reading {
    QString path;
    FilmFacts facts;
    bool probing = true;  // else making the picture
    bool wanted = true;
};

FilmPreviews::FilmPreviews(QObject* parent) : QObject(parent) {}

FilmPreviews::~FilmPreviews()
{
    // The tools are stopped and collected with the list: nothing of them outlives the window.
    for (auto it = m_running.begin(); it != m_running.end(); ++it) {
        QProcess* process = it.key();
        process->disconnect(this);
        process->kill();
        process->waitForFinished();
        delete process;
        delete it.value();
    }
}

void FilmPreviews::Request(const QString& path)
{
    if (m_facts.contains(path) || m_asked.contains(path))
        return;
    if (!QFileInfo(path).isFile())
        return;  // a folder, a missing file or a pipe: nothing to show and nothing to run
    m_asked.insert(path);
    m_waiting << path;
    StartWaiting();
}

void FilmPreviews::KeepOnly(const QSet<QString>& paths)
{
    m_waiting.removeIf([&](const QString& path) { return !paths.contains(path); });
    for (auto it = m_running.begin(); it != m_running.end(); ++it) {
        if (it.value()->wanted && !paths.contains(it.value()->path)) {
            it.value()->wanted = false;
            it.key()->kill();  // its end comes as a signal like any other
        }
    }
    // What is no longer waited for can be asked for again (a row added back).
    m_asked.removeIf([&](const QString& path) { return !paths.contains(path); });
}

const FilmFacts* FilmPreviews::Facts(const QString& path) const
{
    const auto found = m_facts.constFind(path);
    return found == m_facts.cend() ? nullptr : &found.value();
}

void FilmPreviews::StartWaiting()
{
    while (m_running.size() < kReadingsAtOnce && !m_waiting.isEmpty()) {
        auto* reading = new Reading;
        reading->path = m_waiting.takeFirst();
        Probe(*reading);
    }
}

void FilmPreviews::Probe(Reading& reading)
{
    QProcess* process =
        Launch(QStringLiteral("ffprobe"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                QStringLiteral("stream=width,height:format=duration"), QStringLiteral("-of"),
                QStringLiteral("default=noprint_wrappers=1"), toolInput(reading.path)});
    m_running.insert(process, &reading);
}

void FilmPreviews::MakePicture(Reading& reading)
{
    reading.probing = false;
    QProcess* process = Launch(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
         pictureMoment(reading.facts.lengthMs), QStringLiteral("-i"), toolInput(reading.path),
         QStringLiteral("-an"), QStringLiteral("-sn"), QStringLiteral("-dn"), QStringLiteral("-frames:v"),
         QStringLiteral("1"), QStringLiteral("-vf"), kPictureScale, QStringLiteral("-f"),
         QStringLiteral("image2pipe"), QStringLiteral("-c:v"), QStringLiteral("png"), QStringLiteral("-")});
    m_running.insert(process, &reading);
}

QProcess* FilmPreviews::Launch(const QString& program, const QStringList& arguments)
{
    auto* process = new QProcess(this);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // Like the job's tools, these end with the program, even when it is killed outright.
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] { TieToParent(parent); });
    connect(process, &QProcess::finished, this, [this, process] { StepFinished(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)  // no finished() follows
            StepFinished(process);
    });
    QTimer::singleShot(kToolDeadlineMs, process, [process] { process->kill(); });
    process->start();
    return process;
}

void FilmPreviews::StepFinished(QProcess* process)
{
    Reading* reading = m_running.take(process);
    if (!reading)
        return;
    const bool succeeded = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 &&
                           process->error() != QProcess::FailedToStart;
    const QByteArray output = succeeded ? process->readAllStandardOutput() : QByteArray();
    process->deleteLater();

    bool done = true;
    if (!reading->wanted || !succeeded) {
        // Not wanted any more, or unreadable: no facts (a picture that failed keeps the rest).
        if (reading->wanted && !reading->probing)
            m_facts.insert(reading->path, reading->facts);
    } else if (reading->probing) {
        readProbe(output, reading->facts);
        if (!reading->facts.pictureSize.isEmpty()) {
            MakePicture(*reading);
            done = false;
        } else if (reading->facts.Known()) {
            m_facts.insert(reading->path, reading->facts);
        }
    } else {
        reading->facts.picture = QImage::fromData(output, "PNG");
        m_facts.insert(reading->path, reading->facts);
    }
    if (!done)
        return;
    const QString path = reading->path;
    const bool tell = reading->wanted;
    if (tell)  // an unwanted reading's path may have been asked for anew meanwhile
        m_asked.remove(path);
    delete reading;
    StartWaiting();
    if (tell)
        emit Ready(path);
}

QString FactsText(const FilmFacts& facts)
{
    QStringList parts;
    if (facts.lengthMs >= 0)
        parts << ClockText(facts.lengthMs);
    if (!facts.pictureSize.isEmpty())
        parts << QStringLiteral("%1\u00d7%2").arg(facts.pictureSize.width()).arg(facts.pictureSize.height());
    return parts.join(QStringLiteral(" \u00b7 "));
}

}  // namespace tarnivo

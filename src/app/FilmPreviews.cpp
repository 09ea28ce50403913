#include "FilmPreviews.h"

#include "ToolNames.h"
#include "JobProgress.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>

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
QString toolInput(const QString& path) { return QLatin1String(media::kFileProtocol) + path; }

// The moment of the picture: a tenth into the film, at most ten seconds in.
QString pictureMoment(qint64 lengthMs)
{
    const qint64 ms = lengthMs > 0 ? std::min<qint64>(lengthMs / 10, 10000) : 0;
    return QString::number(double(ms) / 1000, 'f', 3);
}

}  // namespace

FilmPreviews::FilmPreviews(QObject* parent) : QObject(parent), m_probes(new ProbeClient(this))
{
    connect(m_probes, &ProbeClient::Probed, this, &FilmPreviews::Probed);
}

// The tools are stopped and collected with the list: nothing of them outlives the window.
FilmPreviews::~FilmPreviews() { qDeleteAll(m_making); }

void FilmPreviews::Request(const QString& path)
{
    if (m_facts.contains(path) || m_wanted.contains(path))
        return;
    m_wanted.insert(path);
    m_probes->Request(path);
}

void FilmPreviews::KeepOnly(const QSet<QString>& paths)
{
    m_wanted.intersect(paths);
    m_waitingPictures.removeIf([&](const QString& path) { return !paths.contains(path); });
    for (auto it = m_making.begin(); it != m_making.end();) {
        if (paths.contains(it.key())) {
            ++it;
            continue;
        }
        delete it.value();  // stops and collects its ffmpeg
        it = m_making.erase(it);
    }
    m_probes->KeepOnly(paths);
    StartPictures();
}

const FilmFacts* FilmPreviews::Facts(const QString& path) const
{
    const auto found = m_facts.constFind(path);
    return found == m_facts.cend() ? nullptr : &found.value();
}

bool FilmPreviews::Busy() const
{
    return !m_wanted.isEmpty() || !m_waitingPictures.isEmpty() || !m_making.isEmpty();
}

void FilmPreviews::Probed(const QString& path, const SourceFacts& facts)
{
    if (!m_wanted.contains(path))
        return;  // asked for by the job alone, or no longer listed
    FilmFacts film;
    if (!facts.readable) {
        film.problem = facts.problem;
    } else {
        const double seconds = facts.duration > 0 ? facts.duration : facts.statedEnd;
        if (seconds > 0)
            film.lengthMs = qRound64(seconds * 1000);
        if (facts.hasPicture && facts.width > 0 && facts.height > 0)
            film.pictureSize = QSize(facts.width, facts.height);
    }
    if (!film.pictureSize.isEmpty()) {
        m_facts.insert(path, film);
        m_waitingPictures << path;
        StartPictures();
        return;
    }
    m_wanted.remove(path);
    m_facts.insert(path, film);
    emit Ready(path);
}

void FilmPreviews::StartPictures()
{
    while (m_making.size() < kReadingsAtOnce && !m_waitingPictures.isEmpty()) {
        const QString path = m_waitingPictures.takeFirst();
        auto* run = new ToolRun(this);
        m_making.insert(path, run);
        connect(run, &ToolRun::Finished, this,
                [this, path, run](const ToolOutcome& outcome) { PictureMade(path, run, outcome); });
        QTimer::singleShot(kToolDeadlineMs, run, [run] { run->Stop(); });
        run->Start(m_tools, QLatin1String(media::kFfmpegProgram),
                   {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                    QStringLiteral("-ss"), pictureMoment(m_facts.value(path).lengthMs), QStringLiteral("-i"),
                    toolInput(path), QStringLiteral("-an"), QStringLiteral("-sn"), QStringLiteral("-dn"),
                    QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-vf"), kPictureScale,
                    QStringLiteral("-f"), QStringLiteral("image2pipe"), QStringLiteral("-c:v"),
                    QStringLiteral("png"), QStringLiteral("-")});
    }
}

void FilmPreviews::PictureMade(const QString& path, ToolRun* run, const ToolOutcome& outcome)
{
    if (m_making.value(path) != run)
        return;
    m_making.remove(path);
    run->deleteLater();
    // A picture that failed keeps the rest of the facts.
    if (outcome.Succeeded())
        m_facts[path].picture = QImage::fromData(outcome.output, "PNG");
    m_wanted.remove(path);
    StartPictures();
    emit Ready(path);
}

QString FactsText(const FilmFacts& facts)
{
    if (!facts.problem.isEmpty())
        return QStringLiteral("cannot be read: ") + facts.problem;
    QStringList parts;
    if (facts.lengthMs >= 0)
        parts << ClockText(facts.lengthMs);
    if (!facts.pictureSize.isEmpty())
        parts << QStringLiteral("%1\u00d7%2").arg(facts.pictureSize.width()).arg(facts.pictureSize.height());
    return parts.join(QStringLiteral(" \u00b7 "));
}

}  // namespace tarnivo

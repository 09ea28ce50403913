#include "ProbeClient.h"

#include "ToolNames.h"
#include "ToolRun.h"

#include <QTimer>

namespace tarnivo {

ProbeClient::ProbeClient(QObject* parent) : QObject(parent) { qRegisterMetaType<SourceFacts>(); }

ProbeClient::~ProbeClient()
{
    // Each run's ToolRun kills and collects its ffprobe as it goes.
    qDeleteAll(m_running);
}

void ProbeClient::Request(const QString& path)
{
    if (m_waiting.contains(path) || m_running.contains(path))
        return;
    if (const SourceFacts* known = Facts(path)) {
        const SourceFacts facts = *known;
        QTimer::singleShot(0, this, [this, path, facts] { emit Probed(path, facts); });
        return;
    }
    m_waiting << path;
    StartWaiting();
}

const SourceFacts* ProbeClient::Facts(const QString& path) const
{
    const auto found = m_known.constFind(path);
    if (found == m_known.cend() || !SourceUnchanged(path, found->identity))
        return nullptr;
    return &found.value();
}

void ProbeClient::KeepOnly(const QSet<QString>& paths)
{
    m_waiting.removeIf([&](const QString& path) { return !paths.contains(path); });
    for (auto it = m_running.begin(); it != m_running.end();) {
        if (paths.contains(it.key())) {
            ++it;
            continue;
        }
        delete it.value();  // stops and collects its ffprobe
        it = m_running.erase(it);
    }
    StartWaiting();
}

void ProbeClient::StartWaiting()
{
    while (m_running.size() < kReadingsAtOnce && !m_waiting.isEmpty()) {
        const QString path = m_waiting.takeFirst();
        // A named pipe would hold ffprobe for ever: only a regular file is read.
        SourceIdentity identity;
        if (const QString problem = RecordSourceIdentity(path, &identity); !problem.isEmpty()) {
            SourceFacts facts;
            facts.problem = problem;
            QTimer::singleShot(0, this, [this, path, facts] { Finish(path, facts); });
            continue;
        }
        RunFfprobe(path, ProbeArguments(path), [this, path, identity](const ToolOutcome& outcome) {
            SourceFacts facts = ParseProbe(path, outcome.status, outcome.output, outcome.errorLines);
            facts.identity = identity;
            if (NeedsPictureColours(facts))
                ReadPictureColours(path, facts);
            else
                Finish(path, facts);
        });
    }
}

void ProbeClient::ReadPictureColours(const QString& path, const SourceFacts& facts)
{
    RunFfprobe(path, PictureColoursArguments(path, facts.pictureStream),
               [this, path, facts](const ToolOutcome& outcome) {
                   Finish(path, WithPictureColours(facts, outcome.status, outcome.output));
               });
}

void ProbeClient::RunFfprobe(const QString& path, const QStringList& arguments,
                             std::function<void(const ToolOutcome&)> then)
{
    auto* run = new ToolRun(this);
    m_running.insert(path, run);
    connect(run, &ToolRun::Finished, this, [this, path, run, then](const ToolOutcome& outcome) {
        if (m_running.value(path) != run)
            return;
        m_running.remove(path);
        run->deleteLater();
        then(outcome);
    });
    QTimer::singleShot(kToolDeadlineMs, run, [run] { run->Stop(); });
    run->Start(m_tools, QLatin1String(media::kFfprobeProgram), arguments);
}

void ProbeClient::Finish(const QString& path, const SourceFacts& facts)
{
    m_known.insert(path, facts);
    StartWaiting();
    emit Probed(path, facts);
}

}  // namespace tarnivo

// The one reader of films' facts: ffprobe runs in the background, a few files at a time, and the
// facts are kept for each file as long as it is unchanged. The job's plan and the job list's
// rows ask the same client, so a film whose row already shows its facts is not read again.
#pragma once

#include "ChildProcess.h"
#include "MediaProbe.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tarnivo {

class ToolRun;
struct ToolOutcome;

class ProbeClient : public QObject {
    Q_OBJECT

public:
    static constexpr int kReadingsAtOnce = 2;
    // A file on a stalled share: ffprobe is stopped and the file counts as unreadable.
    static constexpr int kToolDeadlineMs = 60000;

    explicit ProbeClient(QObject* parent = nullptr);
    ~ProbeClient() override;

    // Reads path's facts unless they are known for the file as it is now or on their way;
    // Probed follows (at once from the event loop when they are known). A path that is no
    // regular file is never given to ffprobe: its facts say why it cannot be read.
    void Request(const QString& path);
    // The facts known for the file as it is now (its size and modification time unchanged);
    // nothing when they are not known yet.
    const SourceFacts* Facts(const QString& path) const;
    // Only these paths are still wanted: waiting requests for others are dropped and their
    // running tools stopped.
    void KeepOnly(const QSet<QString>& paths);
    bool Busy() const { return !m_waiting.isEmpty() || !m_running.isEmpty(); }

signals:
    void Probed(const QString& path, const tarnivo::SourceFacts& facts);

private:
    void StartWaiting();
    // The second reading, of the first picture's colours, for facts whose stream states none.
    void ReadPictureColours(const QString& path, const SourceFacts& facts);
    // One ffprobe run for path, ended after the tools' deadline; then is called with its
    // outcome unless the reading was dropped meanwhile.
    void RunFfprobe(const QString& path, const QStringList& arguments,
                    std::function<void(const ToolOutcome&)> then);
    void Finish(const QString& path, const SourceFacts& facts);

    RunningTools m_tools;
    QHash<QString, SourceFacts> m_known;  // with the identity of the file they were read from
    QStringList m_waiting;
    QHash<QString, ToolRun*> m_running;
};

}  // namespace tarnivo

Q_DECLARE_METATYPE(tarnivo::SourceFacts)

// What the job list shows of a film besides its path: a small picture from near its start, its
// length and its picture size, or why it cannot be read. The facts come from the probe client
// that the reverse job's plan asks too (ProbeClient.h); ffmpeg makes the picture in the
// background, a few files at a time; the window never waits for them. The facts are kept by
// path, so a file added again is shown at once.
#pragma once

#include "ProbeClient.h"
#include "ToolRun.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

namespace tarnivo {

struct FilmFacts {
    qint64 lengthMs = -1;  // -1 when unknown
    QSize pictureSize;     // empty when the file has no picture
    QImage picture;        // null when none could be made
    QString problem;       // why the file cannot be read; empty when it can
    bool Known() const { return lengthMs >= 0 || !pictureSize.isEmpty() || !problem.isEmpty(); }
};

class FilmPreviews : public QObject {
    Q_OBJECT

public:
    explicit FilmPreviews(QObject* parent = nullptr);
    ~FilmPreviews() override;

    // Reads the file's facts unless they are known or on their way; Ready follows when they
    // are read (or could not be). No tool reads a path that is no regular file.
    void Request(const QString& path);
    // Only these paths are still wanted: requests for any other that have not started are
    // dropped, and those running are stopped.
    void KeepOnly(const QSet<QString>& paths);
    // The facts read so far, or why the file cannot be read; nothing while it is not read yet.
    const FilmFacts* Facts(const QString& path) const;
    // True while files wait or are read.
    bool Busy() const;
    // The client that reads the films' facts, which the reverse job's plan asks too.
    ProbeClient& Probes() { return *m_probes; }

signals:
    // The file's facts are read (Facts() gives them); also when it could not be read.
    void Ready(const QString& path);

private:
    void Probed(const QString& path, const SourceFacts& facts);
    void StartPictures();
    void PictureMade(const QString& path, ToolRun* run, const ToolOutcome& outcome);

    ProbeClient* m_probes;
    RunningTools m_tools;
    QHash<QString, FilmFacts> m_facts;  // read, by path
    QSet<QString> m_wanted;             // asked for by a row and not read yet
    QStringList m_waitingPictures;      // probed, their picture still to make
    QHash<QString, ToolRun*> m_making;  // pictures being made
};

// "0:42 · 320×240": the length and the picture size that are known, else "" (or why the file
// cannot be read).
QString FactsText(const FilmFacts& facts);

}  // namespace tarnivo

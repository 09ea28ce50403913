// What the job list shows of a film besides its path: a small picture from near its start, its
// length and its picture size. ffprobe and ffmpeg read them as child processes in the
// background, a few files at a time; the window never waits for them. The facts are kept by
// path, so a file added again is shown at once.
#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

class QProcess;

namespace tarnivo {

struct FilmFacts {
    qint64 lengthMs = -1;  // -1 when unknown
    QSize pictureSize;     // empty when the file has no picture
    QImage picture;        // null when none could be made
    bool Known() const { return lengthMs >= 0 || !pictureSize.isEmpty(); }
};

class FilmPreviews : public QObject {
    Q_OBJECT

public:
    explicit FilmPreviews(QObject* parent = nullptr);
    ~FilmPreviews() override;

    // Reads the file's facts unless they are known or on their way; Ready follows when they
    // are read (or could not be). Nothing is read of a path that is no regular file.
    void Request(const QString& path);
    // Only these paths are still wanted: requests for any other that have not started are
    // dropped, and those running are stopped.
    void KeepOnly(const QSet<QString>& paths);
    // The facts read so far; nothing when the file could not be read (or is not read yet).
    const FilmFacts* Facts(const QString& path) const;
    // True while files wait or are read.
    bool Busy() const { return !m_waiting.isEmpty() || !m_running.isEmpty(); }

signals:
    // The file's facts are read (Facts() gives them); also when it could not be read.
    void Ready(const QString& path);

private:
    struct Reading;

    void StartWaiting();
    void Probe(Reading& reading);
    void MakePicture(Reading& reading);
    void StepFinished(QProcess* process);
    QProcess* Launch(const QString& program, const QStringList& arguments);

    QHash<QString, FilmFacts> m_facts;  // read, by path
    QStringList m_waiting;              // in order of request
    QSet<QString> m_asked;              // waiting or being read for a row
    QHash<QProcess*, Reading*> m_running;
};

// "0:42 · 320×240": the length and the picture size that are known, else "".
QString FactsText(const FilmFacts& facts);

}  // namespace tarnivo

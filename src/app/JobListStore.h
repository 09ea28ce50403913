// The job list kept between runs of the window: every row's path, the part of its film to
// reverse and how far it got (waiting, made with its result, failed with its reason), in a file
// of its own in the user's data folder, replaced whole at every change so that a window closed
// during a job, killed or stopped by a power cut leaves the last list as it was. The next start
// offers to restore it. Nothing of it goes into the settings store.
#pragma once

#include "FilmPart.h"

#include <QObject>
#include <QString>

#include <vector>

class QTimer;

namespace tarnivo {

class JobList;
class JobListView;
class WindowDialogs;

struct SavedRow {
    enum class State { Waiting, Made, Failed };
    QString path;
    FilmPart part;
    State state = State::Waiting;
    QString result;  // the file made, for a made row
    QString reason;  // why it failed, for a failed row

    bool operator==(const SavedRow& other) const
    {
        return path == other.path && part == other.part && state == other.state && result == other.result &&
               reason == other.reason;
    }
};

// "$XDG_DATA_HOME/tarnivo/job-list.json" (~/.local/share/tarnivo/job-list.json by default).
QString SavedJobListFile();

// The rows of the file; none when there is no file or it cannot be read.
std::vector<SavedRow> LoadJobList(const QString& file);
// Replaces the file with the rows at once (QSaveFile), or removes it for an empty list. Returns
// why it could not be written; empty when it was.
QString SaveJobList(const QString& file, const std::vector<SavedRow>& rows);

// "Restore the 5 files of the last job list? 2 were made."
QString RestoreQuestion(const std::vector<SavedRow>& rows);

// Keeps the window's job list in a file: offers the saved list at the start, then writes the
// list after every change of its rows (coalesced to one write per turn of the event loop).
class JobListKeeper : public QObject {
    Q_OBJECT

public:
    JobListKeeper(const QString& file, JobList& list, JobListView& view, QObject* parent = nullptr);

    // Asks whether to restore a saved list, and restores it (adding its rows to the list's)
    // when the answer is yes; a list not restored is forgotten.
    void OfferRestore(WindowDialogs& dialogs, const QString& title);
    // Writes the list now (a closing window).
    void SaveNow();

private:
    void Changed();

    QString m_file;
    JobList& m_list;
    QTimer* m_pending;
    QByteArray m_written;  // what the file holds, so that an unchanged list is not written again
};

}  // namespace tarnivo

// The job list's widget: a report list of the files with a "Status" column beside them, that
// takes dropped files and folders and tells the window about Delete and double-clicks. A row's
// text is the file's full path (what the job reads); the row shows the file's name first, a
// small picture of the film, its length, picture size and folder (see JobListLook.h), with the
// full path as the tooltip. The picture and facts are read in the background (FilmPreviews.h).
#pragma once

#include <QStringList>
#include <QTreeWidget>

class QMimeData;

namespace tarnivo {

class FilmPreviews;
class ProbeClient;
class FilmRowDelegate;

struct FileOutcome;
struct JobProgress;
struct JobSummary;

// The local files a drag offers, in order; empty when it offers no file list.
QStringList LocalFilesOf(const QMimeData* data);

class JobListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit JobListView(QWidget* parent = nullptr);
    // The tree widget clears its model after this destructor has run; the model's signals must
    // not reach this part of the object any more by then.
    ~JobListView() override;

    // The two columns: the paths under the given header, the status to the right of the bar.
    void SetHeader(const QString& text);

    // A row's status as the job goes: "waiting" for every file of a starting job, "cannot be
    // made" as soon as its plan finds a file that cannot be made, then "reversing 42 %" or
    // "converting 80 % · 0:12 left" for the file worked on, "made NAME" or "failed" (the reason
    // as the row's tooltip) when it is over, and "cancelled" for the files a cancel left
    // unfinished. Before any job, a file that cannot be read shows "cannot be read".
    void ShowProgress(const tarnivo::JobProgress& progress);
    void ShowOutcome(const tarnivo::FileOutcome& outcome);
    void ShowEnd(const tarnivo::JobSummary& summary);
    QString StatusOf(int row) const;  // rows count from 1

    // The two lines the row shows now: the name, and the film's facts with its folder.
    QStringList ShownLines(int row) const;
    bool ShowsPicture(int row) const;
    // The row's film's length in milliseconds; -1 while it is not known.
    qint64 FilmLengthMs(int row) const;
    // True while pictures and facts of listed files are still being read.
    bool ReadingFilms() const;
    // The client that reads the listed films' facts; the reverse job's plan asks it too.
    ProbeClient& Probes();

signals:
    void FilesDropped(const QStringList& paths);
    void DeletePressed();
    void DoubleClicked();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetStatus(int row, const QString& status, const QString& tooltip = QString());
    void RowsAdded(int first, int last);
    void RowsGone();
    void ShowFacts(const QString& path);
    void ShowFactsOn(QTreeWidgetItem* item);

    void FitColumns();

    // The file column's width and the columns' total when they were last laid out.
    int m_laidOutPath = 0;
    int m_laidOutTotal = 0;
    bool m_fittingColumns = false;  // the columns' widths are being set here, not by the user
    FilmPreviews* m_previews = nullptr;
    FilmRowDelegate* m_rowLook = nullptr;

    int m_jobRows = 0;  // the rows of the running or last job
};

// The status texts of the column.
QString ProgressStatusText(const JobProgress& progress);
inline const QString kStatusHeader = QStringLiteral("Status");
inline const QString kWaitingStatus = QStringLiteral("waiting");
inline const QString kFailedStatus = QStringLiteral("failed");
inline const QString kCancelledStatus = QStringLiteral("cancelled");
inline const QString kCannotBeMadeStatus = QStringLiteral("cannot be made");
inline const QString kCannotBeReadStatus = QStringLiteral("cannot be read");
inline const QString kMissingStatus = QStringLiteral("missing");  // a restored row's file is gone
inline const QString kPausedStatus = QStringLiteral("paused");

}  // namespace tarnivo

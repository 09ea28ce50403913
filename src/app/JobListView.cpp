#include "JobListView.h"

#include "ReverseJob.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

namespace tarnivo {

namespace {

constexpr int kPathColumn = 0;
constexpr int kStatusColumn = 1;

int percent(double fraction) { return static_cast<int>(fraction * 100); }

}  // namespace

QString ProgressStatusText(const JobProgress& progress)
{
    QString text =
        QStringLiteral("%1 %2 %").arg(PhaseName(progress.step)).arg(percent(progress.phaseFraction));
    if (progress.fileLeftMs > 0)
        text += QStringLiteral(" \u00b7 %1 left").arg(ClockText(progress.fileLeftMs));
    return text;
}

QStringList LocalFilesOf(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

JobListView::JobListView(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void JobListView::SetHeader(const QString& text)
{
    setHeaderLabels({text, kStatusHeader});
    headerItem()->setToolTip(kPathColumn, text);
    // The status column is wide enough for a file's progress with its time left; the paths
    // take the rest, and the user moves the bar between them as the header says.
    const int statusWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("converting 100 % \u00b7 00:00 left")) +
        4 * style()->pixelMetric(QStyle::PM_HeaderMargin);
    setColumnWidth(kPathColumn, std::max(statusWidth, width() - 2 * frameWidth() - statusWidth));
}

void JobListView::SetStatus(int row, const QString& status, const QString& tooltip)
{
    QTreeWidgetItem* item = topLevelItem(row - 1);
    if (!item)
        return;
    item->setText(kStatusColumn, status);
    item->setToolTip(kPathColumn, tooltip);
    item->setToolTip(kStatusColumn, tooltip);
}

QString JobListView::StatusOf(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row - 1);
    return item ? item->text(kStatusColumn) : QString();
}

void JobListView::ShowProgress(const JobProgress& progress)
{
    if (progress.file == 0) {
        // A job starts: the rows it will work on wait, the others have no status of this job.
        m_jobRows = progress.fileCount;
        for (int row = 1; row <= topLevelItemCount(); ++row)
            SetStatus(row, row <= m_jobRows ? kWaitingStatus : QString());
        return;
    }
    if (progress.fileFraction >= 1)
        return;  // its outcome follows
    if (StatusOf(progress.file) == kWaitingStatus)
        scrollToItem(topLevelItem(progress.file - 1));
    SetStatus(progress.file, ProgressStatusText(progress));
}

void JobListView::ShowOutcome(const FileOutcome& outcome)
{
    if (outcome.succeeded)
        SetStatus(outcome.row, QStringLiteral("made ") + QFileInfo(outcome.output).fileName(),
                  outcome.output);
    else
        SetStatus(outcome.row, kFailedStatus, outcome.reason);
}

void JobListView::ShowEnd(const JobSummary& summary)
{
    if (!summary.cancelled)
        return;
    // Every file the job had not finished: the one it was working on and those still waiting.
    for (int row = static_cast<int>(summary.files.size()) + 1;
         row <= std::min(m_jobRows, topLevelItemCount()); ++row)
        SetStatus(row, kCancelledStatus);
}

void JobListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (LocalFilesOf(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void JobListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (LocalFilesOf(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void JobListView::dropEvent(QDropEvent* event)
{
    const QStringList paths = LocalFilesOf(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit FilesDropped(paths);
}

void JobListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        emit DeletePressed();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void JobListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

}  // namespace tarnivo

#include "JobListView.h"

#include "FilmPreviews.h"
#include "JobListLook.h"
#include "ReverseJob.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QSet>
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
    if (progress.paused)
        text += QStringLiteral(" \u00b7 ") + kPausedStatus;
    else if (progress.fileLeftMs > 0)
        text += QStringLiteral(" \u00b7 %1 left").arg(TimeLeftText(progress.fileLeftMs));
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

    setHeader(new WrappingHeader(this));
    setUniformRowHeights(true);
    m_rowLook = new FilmRowDelegate(this);
    setItemDelegateForColumn(kPathColumn, m_rowLook);
    m_previews = new FilmPreviews(this);
    connect(m_previews, &FilmPreviews::Ready, this, &JobListView::ShowFacts);
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    RowsAdded(first, last);
            });
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &JobListView::RowsGone);
    connect(model(), &QAbstractItemModel::modelReset, this, &JobListView::RowsGone);
    // The user moved the bar: the columns share the width from there on as the user set them.
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (m_fittingColumns || column != kPathColumn || m_laidOutTotal <= 0)
            return;
        m_laidOutPath = size;
        m_laidOutTotal = viewport()->width();
    });
}

JobListView::~JobListView()
{
    disconnect(model(), nullptr, this, nullptr);
    disconnect(header(), nullptr, this, nullptr);
    disconnect(m_previews, nullptr, this, nullptr);
}

void JobListView::RowsAdded(int first, int last)
{
    for (int index = first; index <= last; ++index) {
        QTreeWidgetItem* item = topLevelItem(index);
        const QString path = item->text(kPathColumn);
        item->setToolTip(kPathColumn, path);
        if (m_previews->Facts(path))
            ShowFactsOn(item);
        else
            m_previews->Request(path);
    }
}

void JobListView::RowsGone()
{
    QSet<QString> listed;
    for (int index = 0; index < topLevelItemCount(); ++index)
        listed.insert(topLevelItem(index)->text(kPathColumn));
    m_previews->KeepOnly(listed);
}

void JobListView::ShowFacts(const QString& path)
{
    for (int index = 0; index < topLevelItemCount(); ++index) {
        if (QTreeWidgetItem* item = topLevelItem(index); item->text(kPathColumn) == path)
            ShowFactsOn(item);
    }
}

void JobListView::ShowFactsOn(QTreeWidgetItem* item)
{
    const FilmFacts* facts = m_previews->Facts(item->text(kPathColumn));
    if (!facts)
        return;
    item->setData(kPathColumn, kPictureRole, facts->picture);
    item->setData(kPathColumn, kFactsRole, FactsText(*facts));
    // Marked at once, before any job; a job's own statuses are not overwritten.
    if (!facts->problem.isEmpty() && item->text(kStatusColumn).isEmpty()) {
        item->setText(kStatusColumn, kCannotBeReadStatus);
        item->setToolTip(kStatusColumn, facts->problem);
    }
}

QStringList JobListView::ShownLines(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row - 1);
    if (!item)
        return {};
    const QModelIndex index = indexFromItem(item, kPathColumn);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = QRect(0, 0, columnWidth(kPathColumn), m_rowLook->sizeHint(option, index).height());
    const RowLines lines = m_rowLook->Lines(option, index);
    return {lines.name, lines.details};
}

bool JobListView::ShowsPicture(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row - 1);
    return item && !item->data(kPathColumn, kPictureRole).value<QImage>().isNull();
}

qint64 JobListView::FilmLengthMs(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row - 1);
    const FilmFacts* facts = item ? m_previews->Facts(item->text(kPathColumn)) : nullptr;
    return facts ? facts->lengthMs : -1;
}

bool JobListView::ReadingFilms() const { return m_previews->Busy(); }

ProbeClient& JobListView::Probes() { return m_previews->Probes(); }

void JobListView::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    FitColumns();
}

// Wider than when the columns were last laid out (by SetHeader or the user's bar), the list
// gives each column its share of the gain, so a long status ("made NAME") is not cut while the
// file column stands half empty; narrower, the file column gives up the room and the status
// keeps its width. The status column, the last, fills what the file column leaves.
void JobListView::FitColumns()
{
    if (m_laidOutTotal <= 0 || columnCount() < 2)
        return;
    const int total = viewport()->width();
    const int path = total >= m_laidOutTotal
                         ? qRound(static_cast<double>(m_laidOutPath) * total / m_laidOutTotal)
                         : m_laidOutPath - (m_laidOutTotal - total);
    m_fittingColumns = true;
    setColumnWidth(kPathColumn, std::max(path, header()->minimumSectionSize()));
    m_fittingColumns = false;
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
    m_laidOutTotal = width() - 2 * frameWidth();  // the viewport's width once shown
    m_laidOutPath = std::max(statusWidth, m_laidOutTotal - statusWidth);
    m_fittingColumns = true;
    setColumnWidth(kPathColumn, m_laidOutPath);
    m_fittingColumns = false;
}

void JobListView::SetStatus(int row, const QString& status, const QString& tooltip)
{
    QTreeWidgetItem* item = topLevelItem(row - 1);
    if (!item)
        return;
    item->setText(kStatusColumn, status);
    item->setToolTip(kStatusColumn, tooltip);  // the file column's tooltip stays the full path
}

QString JobListView::StatusOf(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row - 1);
    return item ? item->text(kStatusColumn) : QString();
}

void JobListView::ShowProgress(const JobProgress& progress)
{
    if (progress.file == 0) {
        if (!progress.planning)
            return;
        // A job starts: the rows it will work on wait, the others have no status of this job.
        // A restored row finished before keeps its status.
        m_jobRows = progress.fileCount;
        for (int row = 1; row <= topLevelItemCount(); ++row) {
            if (!topLevelItem(row - 1)->data(kPathColumn, kFinishedRole).toBool())
                SetStatus(row, row <= m_jobRows ? kWaitingStatus : QString());
        }
        return;
    }
    if (progress.jobOver || progress.cancelling || progress.fileFraction >= 1)
        return;  // its outcome (or the job's end) tells the rest
    if (StatusOf(progress.file) == kWaitingStatus)
        scrollToItem(topLevelItem(progress.file - 1));
    SetStatus(progress.file, ProgressStatusText(progress));
}

void JobListView::ShowOutcome(const FileOutcome& outcome)
{
    if (outcome.refused)
        SetStatus(outcome.row, kCannotBeMadeStatus, outcome.reason);
    else if (outcome.succeeded)
        SetStatus(outcome.row, QStringLiteral("made ") + QFileInfo(outcome.output).fileName(),
                  outcome.note.isEmpty() ? outcome.output
                                         : outcome.output + QLatin1Char('\n') + outcome.note);
    else
        SetStatus(outcome.row, kFailedStatus, outcome.reason);
}

void JobListView::ShowEnd(const JobSummary& summary)
{
    if (!summary.cancelled)
        return;
    // Every file the job had not finished: the one it was working on and those still waiting
    // (not a restored row finished before, which the job left as it was).
    QSet<int> told;
    for (const FileOutcome& file : summary.files)
        told.insert(file.row);
    for (int row = 1; row <= std::min(m_jobRows, topLevelItemCount()); ++row) {
        if (!told.contains(row) && StatusOf(row) != kCannotBeMadeStatus &&
            !topLevelItem(row - 1)->data(kPathColumn, kFinishedRole).toBool())
            SetStatus(row, kCancelledStatus);
    }
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

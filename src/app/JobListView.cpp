#include "JobListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

namespace tarnivo {

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

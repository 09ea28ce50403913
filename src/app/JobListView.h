// The job list's widget: a one-column report list that takes dropped files and folders and
// tells the window about Delete and double-clicks.
#pragma once

#include <QStringList>
#include <QTreeWidget>

class QMimeData;

namespace tarnivo {

// The local files a drag offers, in order; empty when it offers no file list.
QStringList LocalFilesOf(const QMimeData* data);

class JobListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit JobListView(QWidget* parent = nullptr);

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
};

}  // namespace tarnivo

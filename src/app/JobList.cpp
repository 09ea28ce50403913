#include "JobList.h"

#include "FileIntake.h"
#include "FileRoutines.h"
#include "JobListView.h"

namespace tarnivo {

int JobList::RowCount() const { return m_view.topLevelItemCount(); }

QString JobList::RowText(int row) const
{
    const QTreeWidgetItem* item = m_view.topLevelItem(row - 1);
    return item ? item->text(0) : QString();
}

void JobList::AddRow(const QString& path)
{
    auto* row = new QTreeWidgetItem(&m_view, {path});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

int JobList::AddFolderTree(const QString& folder, const QString& pattern, QStringList* refused)
{
    const QStringList files = FilesOfFolderTree(folder, pattern, refused);
    for (const QString& path : files)
        AddRow(path);
    return static_cast<int>(files.size());
}

int JobList::AddFileOrFolder(const QString& path, QStringList* refused)
{
    if (FolderExists(path))
        return AddFolderTree(path, QStringLiteral("*.*"), refused);
    AddRow(path);
    return 1;
}

void JobList::RemoveSelectedRow()
{
    if (RowCount() < 1)
        return;
    const QList<QTreeWidgetItem*> selected = m_view.selectedItems();
    if (selected.isEmpty())
        return;
    delete selected.first();
}

void JobList::Clear() { m_view.clear(); }

}  // namespace tarnivo

#include "JobList.h"

#include "FileIntake.h"
#include "FileRoutines.h"
#include "JobListLook.h"
#include "JobListView.h"

#include <QFileInfo>

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

FilmPart JobList::RowPart(int row) const
{
    const QTreeWidgetItem* item = m_view.topLevelItem(row - 1);
    if (!item || !item->data(0, kPartFromRole).isValid())
        return FilmPart();
    return {item->data(0, kPartFromRole).toDouble(), item->data(0, kPartToRole).toDouble()};
}

bool JobList::RowFinished(int row) const
{
    const QTreeWidgetItem* item = m_view.topLevelItem(row - 1);
    return item && item->data(0, kFinishedRole).toBool();
}

void JobList::SetRowPart(int row, const FilmPart& part)
{
    QTreeWidgetItem* item = m_view.topLevelItem(row - 1);
    if (!item)
        return;
    item->setData(0, kPartFromRole, part.IsWhole() ? QVariant() : QVariant(part.from));
    item->setData(0, kPartToRole, part.IsWhole() ? QVariant() : QVariant(part.to));
    item->setData(0, kFinishedRole, QVariant());
    item->setData(0, kStateRole, QVariant());
    item->setToolTip(0, part.IsWhole() ? RowText(row)
                                       : RowText(row) + QStringLiteral("\nReversed: ") + FilmPartText(part));
}

void JobList::SetRowOutcome(const FileOutcome& outcome)
{
    QTreeWidgetItem* item = m_view.topLevelItem(outcome.row - 1);
    if (!item)
        return;
    const SavedRow::State state = outcome.succeeded ? SavedRow::State::Made : SavedRow::State::Failed;
    item->setData(0, kStateRole, static_cast<int>(state));
    item->setData(0, kOutcomeRole, outcome.succeeded ? outcome.output : outcome.reason);
}

std::vector<SavedRow> JobList::SavedRows() const
{
    std::vector<SavedRow> rows;
    for (int row = 1; row <= RowCount(); ++row) {
        const QTreeWidgetItem* item = m_view.topLevelItem(row - 1);
        SavedRow saved;
        saved.path = RowText(row);
        saved.part = RowPart(row);
        saved.state = static_cast<SavedRow::State>(item->data(0, kStateRole).toInt());
        (saved.state == SavedRow::State::Made ? saved.result : saved.reason) =
            item->data(0, kOutcomeRole).toString();
        if (saved.state == SavedRow::State::Waiting)
            saved.reason.clear();
        rows.push_back(saved);
    }
    return rows;
}

void JobList::AddSavedRow(const SavedRow& saved)
{
    AddRow(saved.path);
    const int row = RowCount();
    QTreeWidgetItem* item = m_view.topLevelItem(row - 1);
    SetRowPart(row, saved.part);
    if (saved.state == SavedRow::State::Waiting) {
        if (!QFileInfo(saved.path).isFile())
            item->setText(1, kMissingStatus);
        return;
    }
    const bool made = saved.state == SavedRow::State::Made;
    item->setData(0, kFinishedRole, true);
    item->setData(0, kStateRole, static_cast<int>(saved.state));
    item->setData(0, kOutcomeRole, made ? saved.result : saved.reason);
    item->setText(1, made ? QStringLiteral("made ") + QFileInfo(saved.result).fileName() : kFailedStatus);
    item->setToolTip(1, made ? saved.result : saved.reason);
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

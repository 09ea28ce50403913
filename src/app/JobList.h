// The job list: the rows of ListView1 as the job reads them, and the additions and removals the
// window's handlers make.
#pragma once

#include "JobListStore.h"
#include "ReverseJob.h"

namespace tarnivo {

class JobListView;

class JobList : public JobListSource {
public:
    explicit JobList(JobListView& view) : m_view(view) {}

    // Rows count from 1.
    int RowCount() const override;
    QString RowText(int row) const override;
    FilmPart RowPart(int row) const override;
    // A restored row that was made or failed before: the job leaves it as it is.
    bool RowFinished(int row) const override;

    // The part of the film reversed for the row; a new part makes a finished row waiting again.
    void SetRowPart(int row, const FilmPart& part);
    // What the job made of the row (kept for the saved list).
    void SetRowOutcome(const FileOutcome& outcome);
    // The rows as the saved list keeps them, and a row restored from it: finished when it was
    // made or failed, marked when its file is gone.
    std::vector<SavedRow> SavedRows() const;
    void AddSavedRow(const SavedRow& row);

    void AddRow(const QString& path);
    // The files of a folder and of all its subfolders whose names match the pattern; returns
    // how many rows were added.
    int AddFolderTree(const QString& folder, const QString& pattern, QStringList* refused = nullptr);
    // A folder with all its files and those of its subfolders, else the path as a row; returns
    // how many rows were added (none for a folder without files).
    int AddFileOrFolder(const QString& path, QStringList* refused = nullptr);
    void RemoveSelectedRow();
    void Clear();

private:
    JobListView& m_view;
};

}  // namespace tarnivo

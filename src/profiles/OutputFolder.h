// The output folder of a job, held open from the moment it is checked. Results are created,
// named and removed relative to the folder that was checked, never through its path again:
// a folder that is moved or replaced by a link meanwhile receives nothing and loses nothing.
//
// While it is open, the job holds a hidden file of its own there (".tarnivo-TAG.job") under an
// flock: every hidden name the job makes in the folder carries the same TAG, so another job
// knows whether their owner still runs by what it holds, whatever the program is called and
// whoever the file system says owns the files.
#pragma once

#include "OutputName.h"

#include <QString>

#include <sys/types.h>

namespace tarnivo {

class OutputFolder {
public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&& other) noexcept;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens the folder that text names (a relative text from the current folder), starts the
    // job's own hidden file there (the sure test that the job can write there) and finds the
    // folder's naming policy by trying. Returns why the folder cannot take results; empty when
    // it can.
    QString Open(const QString& text);
    // Removes the job's own hidden file and lets the folder go.
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // The folder's path followed by "/", for the tools, which are given paths.
    const QString& Prefix() const { return m_prefix; }
    // The folder as a reason names it.
    QString Name() const;
    // What the folder's file system takes in a name; every output name is made from it.
    const NamingPolicy& Policy() const { return m_policy; }
    // The tag of this job's hidden names here.
    const QString& JobTag() const { return m_tag; }

    // Empty while the folder's path still leads to the folder that was opened; otherwise why
    // results can no longer go there.
    QString MovedProblem() const;

    // Notes in the job's own file that name was claimed as the file claimed is, so that the
    // next job removes that claim (and only it) should this job be killed before it is used.
    void RecordClaim(const QString& name, const struct stat& claimed) const;

    // Removes what jobs of this machine that no longer run left here: their hidden files, and
    // the claims their files record that are still the empty files they made. A job that still
    // runs holds its file, and keeps everything. Where the file system records owners, only
    // this user's files are removed. Returns how many files were removed.
    int RemoveStaleTemporaries() const;

private:
    QString StartJobFile();

    int m_fd = -1;
    int m_jobFile = -1;
    QString m_prefix;
    QString m_tag;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    NamingPolicy m_policy;
};

}  // namespace tarnivo

// The output folder of a job, held open from the moment it is checked. Results are created,
// named and removed relative to the folder that was checked, never through its path again:
// a folder that is moved or replaced by a link meanwhile receives nothing and loses nothing.
#pragma once

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

    // Opens the folder that text names (a relative text from the current folder) and checks
    // that the job can write there: a hidden file of the job's own is created and removed
    // again. Returns why the folder cannot take results; empty when it can.
    QString Open(const QString& text);
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // The folder's path followed by "/", for the tools, which are given paths.
    const QString& Prefix() const { return m_prefix; }
    // The folder as a reason names it.
    QString Name() const;
    // The longest file name the folder's file system takes, in bytes.
    int NameLimit() const { return m_nameLimit; }

    // Empty while the folder's path still leads to the folder that was opened; otherwise why
    // results can no longer go there.
    QString MovedProblem() const;

    // Removes the hidden temporary files that Tarnivo jobs of this machine left here and that
    // no running Tarnivo job owns any more (the job was killed, or its machine went down).
    // Returns how many were removed.
    int RemoveStaleTemporaries() const;

private:
    int m_fd = -1;
    QString m_prefix;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    int m_nameLimit = 255;
};

}  // namespace tarnivo

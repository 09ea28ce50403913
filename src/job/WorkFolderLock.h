// One job at a time in a working folder.
//
// The lock is an flock on the folder itself, taken through a descriptor that the tools the job
// starts inherit. The lock therefore stays held for as long as any of them still runs, even
// when Tarnivo itself was killed (its tools then end too, but not in the same instant): a
// later job cannot start in a folder where a tool of an earlier one is still writing.
#pragma once

#include <QString>

namespace tarnivo {

class WorkFolderLock {
public:
    WorkFolderLock() = default;
    ~WorkFolderLock();
    WorkFolderLock(const WorkFolderLock&) = delete;
    WorkFolderLock& operator=(const WorkFolderLock&) = delete;

    // Takes the lock without waiting. Returns an empty text on success, otherwise a message
    // for the user.
    QString Acquire(const QString& folder);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace tarnivo

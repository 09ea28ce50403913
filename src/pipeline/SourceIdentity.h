// The source film as it was when its reversal began. Its tools read it one after another (the
// length, the frames, the sound): a film that is replaced or rewritten meanwhile would give a
// result of two films, so the reversal checks after every tool that it still reads the same one.
#pragma once

#include <QString>

#include <sys/types.h>

namespace tarnivo {

struct SourceIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = -1;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
};

// The reason a reversal fails with when its film changed under it.
inline const QString kSourceChangedReason = QStringLiteral("the film changed while it was reversed");

// Records the identity of S (device, inode, size, modification time; links followed) before the
// first tool reads it. Returns why S cannot be reversed: it is no regular file (a named pipe, a
// device or a socket would hold a tool for ever, or give another film at every reading), or it
// cannot be looked at; empty when it can.
QString RecordSourceIdentity(const QString& S, SourceIdentity* identity);

// True while S is still the file that was recorded, unchanged.
bool SourceUnchanged(const QString& S, const SourceIdentity& identity);

}  // namespace tarnivo

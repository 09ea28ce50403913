// What must hold before a job starts and before a file is worked on, told as the user reads it:
// the programs a job needs, a working folder that holds neither a source nor the results, the
// tools deployed whole, a file name that can reach the tools.
#pragma once

#include "MessageSink.h"

#include <QString>

namespace tarnivo {

// Why the system's or Tarnivo's own programs are missing (what to install); empty when they are
// all there.
QString MissingProgramsProblem();
QString MissingHelpersProblem();

// A relative source is taken from the folder the job was started in: the tools run in the
// working folder, where the same relative name means another file (or an option, "-y.mp4").
QString AbsoluteSource(const QString& row);

// A name read from bytes that are not UTF-8 holds U+FFFD where they were; it no longer names
// the file on disk, and no tool could be given the real name.
bool LostUndecodableBytes(const QString& name);

// The job deletes what it makes in the working folder: a source or a result there could be
// overwritten or deleted with it.
QString OutputFolderInWorkFolder(const QString& outputFolder);

// Why a row's file cannot be worked on whatever it holds: a name that is not UTF-8 or holds a
// line break, a file or an output folder in the working folder. Empty when it can.
QString RowProblem(const QString& source, const QString& outputFolder);

// The tools as the job deployed them: each one in place and as long as what it was made from.
// A working folder that cannot hold them makes every file fail, so the job stops at once.
QString DeploymentProblem(const QString& work, const QString& firstError);

// Writes the tools into the working folder; why the job cannot run with what was written, or
// empty. Touches nothing but the working folder, so it may run on a thread of its own.
QString DeployToolsTellingProblem();

// Keeps the errors of the tool deployment instead of showing a report for each.
class RecordedErrorSink : public MessageSink {
public:
    void ShowMessage(const QString&) override {}
    void ShowErrorReport(const QString& text) override
    {
        if (firstError.isEmpty())
            firstError = text.section(QStringLiteral("\r\n"), 0, 0);
    }
    void ShowWarning(const QString&, const QString&) override {}
    QString firstError;  // the description of the first error
};

}  // namespace tarnivo

// Opening a file the way the desktop's "open" does: a batch file is run by the batch runner, a
// program is started, a folder or any other document goes to the desktop's opener.
#pragma once

#include "ChildProcess.h"

#include <QString>

#include <functional>

namespace tarnivo {

// Result codes of GShell: above 32 success, otherwise one of these.
constexpr int kShellSuccess = 42;
constexpr int kShellFileNotFound = 2;
constexpr int kShellPathNotFound = 3;
constexpr int kShellAccessDenied = 5;
constexpr int kShellNoAssociation = 31;

// Opens a file with currentFolder as the current folder. The file may come with or without
// surrounding double quotes. A ".bat" file is run by the batch runner; a program file is
// started directly, without arguments; a folder or any other document is handed to the
// document opener. A program started belongs to tools; when `started` is given it receives
// the started process (documents are opened by another program and give no process),
// otherwise it is waited for here. A program started gets the environment entries ("NAME=value")
// on top of this process's environment. Returns the result code.
int GShell(const QString& file, const QString& currentFolder, RunningTools& tools,
           ChildProcess* started = nullptr, const QStringList& environment = {});

// The negative failure code a runner returns for a GShell result code from 0 to 32.
qint32 FailureForShellResult(int resultCode);

// What opens folders and documents; returns true when it could. The application installs the
// desktop's opener; without one, "xdg-open" is started.
using DocumentOpener = std::function<bool(const QString& path)>;
void SetDocumentOpener(DocumentOpener opener);

}  // namespace tarnivo

// The working folder where the tools, the frames and the intermediates live.
//
// TEMP is the environment variable "TEMP" when it is set and not empty, read anew on every
// call. Otherwise it is a private folder of the user's own on disk: $XDG_CACHE_HOME/tarnivo
// (~/.cache/tarnivo when that is unset), created with mode 0700; never under $XDG_RUNTIME_DIR.
// W = TEMP + "/temp"; R = W + "/Renamed".
#pragma once

#include <QString>

namespace tarnivo {

QString TempRoot();
QString WorkFolder();
QString RenameFolder();

// Creates W and R when missing (mode 0700) and checks that W may safely hold programs that
// Tarnivo runs: a real folder, not a link, owned by this user and writable by nobody else.
// Returns an empty text when all is well, otherwise a message for the user; in that case
// nothing must be written or run there.
QString PrepareWorkFolder();

// The same check for any folder; empty when the folder is private to this user.
QString CheckFolderIsPrivate(const QString& folder);

}  // namespace tarnivo

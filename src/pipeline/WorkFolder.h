// The working folder where the tools, the frames and the intermediates live.
//
// TEMP is the environment variable "TEMP" when it is set and not empty, read anew on every
// call (a relative one taken from the current folder). Otherwise it is a private folder of the user's own on
// disk: $XDG_CACHE_HOME/tarnivo
// (~/.cache/tarnivo when that is unset), created with mode 0700; never under $XDG_RUNTIME_DIR.
// W = TEMP + "/temp"; R = W + "/Renamed".
#pragma once

#include <QString>

namespace tarnivo {

QString TempRoot();
QString WorkFolder();
QString RenameFolder();

// The file that names W as Tarnivo's own working folder. Tarnivo writes it into a W that it
// makes, or that holds nothing but what is provably Tarnivo's (its tools as this build carries
// them); it stays when W is cleaned.
inline const QString kWorkFolderMarkerName = QStringLiteral("tarnivo-working-folder.txt");

// The file a job keeps in W from its start to its end: found when no job runs, it tells that
// the job before was killed, and that the files under Tarnivo's names in W and R are what it
// left.
inline const QString kJobRecordName = QStringLiteral("tarnivo-job-running.txt");

// Creates W and R when missing (mode 0700) and checks that W may safely hold programs that
// Tarnivo runs: a real folder, not a link, owned by this user and writable by nobody else. W
// must also be Tarnivo's own (see kWorkFolderMarkerName): a folder that is not marked and not
// empty is refused unless all it holds is provably Tarnivo's, and nothing is made in it. The
// session's file-size limit must leave room for the tools. Returns an empty text when all is
// well, otherwise a message for the user; in that case nothing must be written or run there.
QString PrepareWorkFolder();

// The start of a job in W, once W is prepared and the job holds its lock: what a killed job
// left under Tarnivo's names is removed; files under those names that no killed job left are
// the user's, and refuse the job (the message names them; nothing is touched). Then the job's
// record is written, which DeleteWorkFiles removes at its end.
QString BeginJobInWorkFolder();

// The names of the files Tarnivo makes in W: its tools, batch files, step marker, sound files,
// intermediates, the job's record, extracted frames (exactly as the extraction writes them:
// "%06d.jpg" from 1, lower case) and the hidden file the frame writer writes each of them into
// first; and in R, the renumbered frames ("image", a number from 1, ".jpg"). Letter case counts:
// these are the names it writes.
bool IsWorkFileName(const QString& name);
bool IsExtractedFrameName(const QString& name);
bool IsRenumberedFrameName(const QString& name);

// Deletions in W and R, limited to the files Tarnivo makes there.
void DeleteExtractedFrames(const QString& workFolder);
void DeleteRenumberedFrames(const QString& renameFolder);
// Every file Tarnivo makes in W and R but the marker that names W as its own (the job's
// record included: the job has ended).
void DeleteWorkFiles(const QString& workFolder);

// True when path (a file or a folder; links followed) is the working folder or lies in it.
bool LiesInWorkFolder(const QString& path);

// The same check for any folder; empty when the folder is private to this user.
QString CheckFolderIsPrivate(const QString& folder);

}  // namespace tarnivo

// Output names: the naming policy of an output folder, the names an output may take and the
// hidden name its conversion writes under, all made from that policy by pure functions; and
// giving a whole result its final name without replacing anything.
#pragma once

#include <QString>

#include <sys/stat.h>

namespace tarnivo {

class OutputFolder;

// The counter of numbered names is 16 bits wide: clip0 ... clip32767.
constexpr int kLastOutputNumber = 32767;

// What an output folder's file system takes in a name, found once when the folder is opened
// by trying there (see OutputFolder::Open). Every name made from it can be created there.
struct NamingPolicy {
    int nameLimit = 255;        // the longest name it takes
    bool limitInUtf16 = false;  // the limit counts UTF-16 units (FAT, exFAT), not UTF-8 bytes
    // The characters it refuses in a name besides "/" (FAT and exFAT: " * : < > ? \ | and the
    // control characters).
    QString refusedCharacters;
    // How a result takes its name without replacing anything there: a rename that never
    // replaces, a second link, or a claim (the name created first, then renamed over: FAT and
    // exFAT through FUSE, many shares).
    enum class Move { Rename, Link, Claim };
    Move move = Move::Rename;
    // Whether files are shown with their creator as owner; on FAT and exFAT every file shows as
    // the owner the file system was mounted for.
    bool ownersRecorded = true;
};

// The characters that FAT and exFAT refuse, in the order they are told.
QString CharactersFatRefuses();

// The length of a name as the policy counts it.
int NameLength(const NamingPolicy& policy, const QString& name);

// The base name with each character the policy refuses made "_"; the same text when it holds
// none of them.
QString NameBase(const NamingPolicy& policy, const QString& base);

// One name of the order, made to fit the policy.
struct FittedName {
    QString name;            // empty when not even the number and the extension fit
    bool shortened = false;  // the base name was cut to fit
};

// The name tried at a step of the order: NameBase(base) (counter -1), then it followed by 0,
// 1, ... kLastOutputNumber; the extension follows either way. Where the whole name is longer
// than the limit, the base name is cut at a character boundary so that it fits with the number
// and the extension, which are always kept.
FittedName CandidateName(const NamingPolicy& policy, const QString& base, int counter,
                         const QString& extension);

// The length of the tags that tell a job's hidden names apart (see OutputFolder).
constexpr int kJobTagLength = 12;

// The hidden name a conversion writes under until its result is whole: "." + as much of
// NameBase(base) as fits (60 characters at most) + ".tarnivo-" + jobTag + extension, ending in
// the extension so that ffmpeg picks the container from it. Empty when it cannot fit.
QString TemporaryName(const NamingPolicy& policy, const QString& base, const QString& jobTag,
                      const QString& extension);

// Why no output of base and extension can be named under the policy: the extension holds a
// character no name may hold there, leaves no room for a name, or the hidden name cannot fit.
// Empty when outputs can be named.
QString OutputNamesProblem(const NamingPolicy& policy, const QString& base, const QString& extension);

// What a shortened name's file is told with.
QString ShortenedNameNote(const NamingPolicy& policy);

// What a file whose base name was made by NameBase with changes is told with.
QString RefusedCharactersNote(const NamingPolicy& policy);

// Creates the hidden name of base in folder as a new empty file of this job's own. Returns its
// name in the folder, or an empty text with the reason in *problem.
QString CreateTemporaryOutput(const OutputFolder& folder, const QString& base, const QString& extension,
                              QString* problem);

// The job tag of a hidden name that a job makes in an output folder (its own file, the hidden
// names of its conversions, the files it tries the folder with); empty for any other name.
QString JobTagOf(const QString& name);

// Renames from to to in the folder descriptor without ever replacing what is at to, in the
// policy's way (a rename, a second link); false with errno set when that way is refused or the
// name is taken (EEXIST). Also used to find the policy.
bool RenameWithoutReplacing(int folder, const char* from, const char* to);
bool LinkWithoutReplacing(int folder, const char* from, const char* to);

// Claims name in folder: creates it as an empty file of the job's own, which the job's file
// records so that the next job into the folder removes the claim should this job be killed
// before its result took the name. Returns 0, or the error (EEXIST: the name is taken).
int ClaimName(const OutputFolder& folder, const QString& name, struct stat* claimed);

// Gives the whole result, the folder's file temporaryName, its final name: the first name of
// the order that is free at that moment, taken so that nothing there is ever replaced (a file
// that appeared meanwhile keeps its name, the result takes the next), in the way of the
// folder's policy. Returns the final name, or an empty name with the reason in *problem (the
// temporary file is then left as it is).
FittedName PublishOutput(const OutputFolder& folder, const QString& temporaryName, const QString& base,
                         const QString& extension, QString* problem);

}  // namespace tarnivo

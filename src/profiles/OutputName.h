// Output names: the names an output may take, the temporary file of this job's own that a
// conversion writes into, and giving a whole result its final name without replacing anything.
// Every name here is a name inside a held OutputFolder.
#pragma once

#include <QString>

namespace tarnivo {

class OutputFolder;

// The counter of numbered names is 16 bits wide: clip0 ... clip32767.
constexpr int kLastOutputNumber = 32767;

// One name of the order, made to fit the folder's limit on the length of a name.
struct FittedName {
    QString name;            // empty when not even the number and the extension fit
    bool shortened = false;  // the base name was cut to fit
};

// The name tried at a step of the order: the base name (counter -1), then the base name
// followed by 0, 1, ... kLastOutputNumber; the extension follows either way. Where the whole
// name is longer than limitBytes (in UTF-8), the base name is cut at a character boundary so
// that it fits with the number and the extension, which are always kept.
FittedName CandidateName(const QString& base, int counter, const QString& extension, int limitBytes);

// Why no output of base and extension can be named in folder (its extension leaves no room
// for a name, or for the temporary name); empty when outputs can be named there.
QString OutputNamesProblem(const OutputFolder& folder, const QString& base, const QString& extension);

// What a shortened name's file is told with.
QString ShortenedNameNote(const OutputFolder& folder);

// The base name as the FAT and exFAT file systems of USB sticks and memory cards take it: each
// character they refuse in a name (" * / : < > ? \ | and control characters) made "_". The same
// text when it holds none of them.
QString BaseNameForFatFileSystems(const QString& base);

// What a file whose name was made so is told with.
QString FatFileSystemNameNote();

// Creates a new empty file in folder that no other job or program has: hidden, named after
// base with this process's id, a tag of this machine and a random part, and ending in
// extension so that ffmpeg picks the container from it. Returns its name in the folder, or an
// empty text with the reason in *problem.
QString CreateTemporaryOutput(const OutputFolder& folder, const QString& base, const QString& extension,
                              QString* problem);

// The parts of a name that CreateTemporaryOutput makes; false for any other name.
struct TemporaryNameParts {
    qint64 processId = 0;
    bool thisMachine = false;  // made by a process of this machine (and of its process space)
};
bool ParseTemporaryName(const QString& name, TemporaryNameParts* parts);

// Gives the whole result, the folder's file temporaryName, its final name: the first name of
// the order that is free at that moment, taken so that nothing there is ever replaced (a file
// that appeared meanwhile keeps its name, the result takes the next). Where the file system
// cannot rename or link without replacing (FAT and exFAT through FUSE, many shares), the name
// is first claimed by creating it exclusively, and the result is renamed over that claim, the
// job's own empty file. Returns the final name, or an empty name with the reason in *problem
// (the temporary file is then left as it is).
FittedName PublishOutput(const OutputFolder& folder, const QString& temporaryName, const QString& base,
                         const QString& extension, QString* problem);

}  // namespace tarnivo

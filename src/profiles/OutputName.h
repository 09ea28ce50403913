// Output names: the names an output may take, the temporary file of this job's own that a
// conversion writes into, and giving a whole result its final name without replacing anything.
#pragma once

#include <QString>

namespace tarnivo {

// The counter of numbered names is 16 bits wide: clip0 ... clip32767.
constexpr int kLastOutputNumber = 32767;

// The name tried at a step of the order: the base name (counter -1), then the base name
// followed by 0, 1, ... kLastOutputNumber; the extension follows either way.
QString CandidateName(const QString& base, int counter, const QString& extension);

// Creates a new empty file in folder (a folder text ending in "/", or empty for the current
// folder) that no other job or program has: hidden, named after base with this process's id
// and a random part, and ending in extension so that ffmpeg picks the container from it.
// Returns its path, or an empty text with the reason in *problem.
QString CreateTemporaryOutput(const QString& folder, const QString& base, const QString& extension,
                              QString* problem);

// Gives the whole result at temporary its final name: the first name of the order that is
// free at that moment, taken atomically so that nothing there is ever replaced (a file that
// appeared meanwhile keeps its name, the result takes the next). Returns the final path, or
// an empty text with the reason in *problem (the temporary file is then left as it is).
QString PublishOutput(const QString& temporary, const QString& folder, const QString& base,
                      const QString& extension, QString* problem);

}  // namespace tarnivo

// Reading a finished file back: how long its picture or sound lasts, told from its packets
// (the container is read, nothing is decoded), and whether a conversion's product is whole.
#pragma once

#include "FramePictures.h"

#include <QString>
#include <QStringList>

namespace tarnivo {

class RunningTools;

// The stretch of one stream as its packets give it.
struct StreamLength {
    bool present = false;      // the stream exists and holds at least one packet
    double seconds = 0;        // from the first packet's start to the last packet's end
    double longestPacket = 0;  // seconds; one frame of a picture, one block of a sound
};

// The stream of a kind: "v" (picture) or "a" (sound), the first of that kind.
StreamLength ReadStreamLength(const QString& path, const QString& kind, RunningTools& tools);

// The length of the picture the reversal made, from its frames and rate; not present when the
// reversal made no picture or did not say.
StreamLength KnownPictureLength(const IntermediatePicture& picture);

// Empty when output, made by ffmpeg from intermediate, is whole: ffmpeg ended with status 0,
// said nothing about a failed write, and the output reads back with a picture (or, for a
// sound-only output, a sound) as long as the intermediate's within two frames (its picture's
// length is knownPicture where that is present; it is then not read back); a picture may
// also run longer by the delay its sound encoder's priming lays before it in a container that
// cannot skip those samples (AVI). Otherwise the reason, in which output is named as shownName
// and a full disk names outputFolder.
QString CheckConversionIsWhole(const QString& output, const QString& shownName, const QString& outputFolder,
                               const QString& intermediate, const StreamLength& knownPicture, int exitStatus,
                               const QStringList& errorLines, RunningTools& tools);

}  // namespace tarnivo

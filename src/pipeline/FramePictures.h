// How a source's pictures become the frames of the working folder: the filters every picture
// goes through and the JPEG writer's options, shared by everything that writes or samples the
// frames, and the colours the frames then hold, which the conversion reads them back in.
#pragma once

#include "MediaProbe.h"

#include <QString>
#include <QStringList>

#include <string>

namespace tarnivo {

// The colours the frames hold, in ffmpeg's names. The frames keep the source's colour values
// wherever they can: its matrix and its range are not converted, so the JPEG step's loss is the
// only one. A film is brought into the matrix a player assumes for its size (BT.709 for HD,
// BT.601 below) only where it states another one, where it is RGB, or where it is HDR (then it
// is tone-mapped to SDR BT.709).
struct FrameColours {
    QString matrix;     // "bt709", or a BT.601 one: "smpte170m" or "bt470bg"
    QString primaries;  // the colour tags a result may carry; empty when not known
    QString transfer;
    QString filters;  // the filters that bring the source's pictures there; empty for none
    bool toneMapped = false;
    // The frames hold full-range values: those of a YUV source of full range, kept as they are
    // (the frames' own files say so too; a lossless conversion keeps them that way).
    bool fullRange = false;
};

// HD as players take it for a film that states no colour matrix: 1280 wide or more, or more
// than 576 high.
bool IsHighDefinition(int width, int height);
// The matrix a player assumes for a picture of this size: "bt709" for HD, else "smpte170m".
QString MatrixPlayersAssume(int width, int height);

FrameColours ChooseFrameColours(const SourceFacts& source);

// The picture of a reversed intermediate as the reversal made it: what its conversion reads it
// in, and how long it lasts, which its read-back is measured against.
struct IntermediatePicture {
    FrameColours colours{};  // the colours its frames hold
    QString frameRate;       // its constant rate ("30000/1001"); empty without a picture
    int frames = 0;          // how many frames it holds; 0 without a picture
};

// The field order the frames are made progressive from: the source's, except that a picture of
// fewer than 3 lines or columns is taken as it is (the deinterlacer refuses it, and it holds
// nothing a deinterlacer could mend).
FieldOrder FieldOrderToUndo(const SourceFacts& source);

// The filters every picture goes through before it is written as a frame: made progressive (one
// frame per frame) when the source is interlaced, then brought into the frames' colours. Empty
// when nothing is to be done; without a trailing comma.
QString FramePictureFilters(FieldOrder fieldOrder, const FrameColours& colours);

// The frame writer's options for the frames of a quality (media::FrameWriterOptions).
QStringList FrameWriterOptions(const std::string& quality);

}  // namespace tarnivo

// Colour matrices, transfers and pixel formats as players and ffmpeg's filters take them, in
// ffmpeg's names ("bt709", "smpte170m", "tv").
#pragma once

#include <string>

namespace tarnivo::media {

// ffmpeg's names of the BT.601 matrix: "smpte170m" (525 lines) and "bt470bg" (625 lines).
bool IsBt601Matrix(const std::string& matrix);

// The same matrix: the BT.601 ones differ only in their names.
bool SameMatrix(const std::string& a, const std::string& b);

// HD as players take it for a picture that states no matrix: 1280 wide or more, or more than
// 576 high.
bool IsHighDefinition(int width, int height);

// The matrix players assume for a picture of this size that states none: "bt709" for HD, else
// "smpte170m".
std::string MatrixPlayersAssume(int width, int height);

// The transfers of HDR: PQ ("smpte2084") and HLG ("arib-std-b67").
bool IsHdrTransfer(const std::string& transfer);

// Pictures stored as RGB (or as indices into an RGB palette) have no matrix of their own.
bool IsRgbPixelFormat(const std::string& pixelFormat);

// A colour fact as ffprobe states it: ffprobe says "unknown" or "unspecified" where a stream
// states nothing, which is the empty text here.
std::string StatedColour(const std::string& word);

// The colorspace filter's name of a matrix with its usual primaries and transfer; empty when
// the filter does not know it.
std::string ColorspaceFilterName(const std::string& matrix);

// The scale filter's name of the matrix ("bt709", "bt601"); empty for another matrix.
std::string ScaleFilterMatrix(const std::string& matrix);

// A word that can stand as the value of ffmpeg's colour options and filters: letters, digits,
// "-" and "_" ("bt709", "arib-std-b67"), nothing that would end a filter's option.
bool IsColourName(const std::string& word);

}  // namespace tarnivo::media

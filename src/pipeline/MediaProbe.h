// What Tarnivo needs to know about a source before it rebuilds it.
#pragma once

#include <QString>

namespace tarnivo {

constexpr const char* kDefaultFrameRate = "25";

// The average frame rate of the first video stream as ffprobe states it ("30/1",
// "30000/1001"), or "25" when there is no video stream or the rate cannot be read.
QString SourceFrameRate(const QString& source);

// True for a frame rate text that ffmpeg takes: a positive number or a fraction of two.
bool IsUsableFrameRate(const QString& rate);

}  // namespace tarnivo

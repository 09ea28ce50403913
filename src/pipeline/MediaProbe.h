// What Tarnivo needs to know about a source before it reverses it, read with ffprobe.
#pragma once

#include <QString>

namespace tarnivo {

class RunningTools;

constexpr const char* kDefaultFrameRate = "25";
// Nominal rates above this are timestamp resolutions rather than frame rates (a variable-rate
// film often states 90000/1 or 1000/1).
constexpr double kHighestSensibleFrameRate = 120.0;

struct SourceFacts {
    bool readable = false;    // ffprobe could open the file
    QString problem;          // when not readable: ffprobe's reason
    bool hasPicture = false;  // a video stream that is not just a cover picture
    bool hasSound = false;
    QString frameRate = QString::fromLatin1(kDefaultFrameRate);  // the rate R, as "30/1" or "30000/1001"
    double pictureStart = 0;  // seconds from the file's start to the picture's first frame
};

// Reads the streams of a source (the first picture stream and the first sound stream); ffprobe
// belongs to tools while it runs.
SourceFacts ProbeSource(const QString& source, RunningTools& tools);

// The rate both extraction and rebuild use: the nominal rate when it is sensible, else the
// average rate, else 25. Both are ffprobe's fractions ("30/1", "0/0").
QString ChooseFrameRate(const QString& nominal, const QString& average);

// The value of a rate given as "N", "N.M" or "N/D"; 0 when it is not a usable rate.
double FrameRateValue(const QString& rate);

}  // namespace tarnivo

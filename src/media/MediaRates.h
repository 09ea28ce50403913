// Frame rates and sample rates as Tarnivo reads and chooses them.
#pragma once

#include <string>
#include <vector>

namespace tarnivo::media {

// The rate ffmpeg reads an image sequence at when it is given none ("-framerate").
constexpr const char* kImageSequenceRate = "25";

// The highest rate frames are taken at. It keeps every frame of the fastest slow-motion modes
// of cameras and phones (960 fps), and bounds the frame files a second of film can need: at the
// bound, a second of 720p is already 1000 JPEG files (about 70 MB, held twice). A source faster
// than this has its frames dropped evenly to the bound.
constexpr double kHighestFrameRate = 1000.0;

// The frames per second of a rate written "N", "N.M" or "N/D" (each part digits, with an
// optional decimal part); 0 for any other text and for a rate of 0.
double RateValue(const std::string& rate);

// The rate both extraction and rebuild use: the nominal rate when it is a frame rate, else the
// average rate, else kImageSequenceRate. A nominal rate more than twice the average is a guess
// from irregular timestamps (a variable-rate film states 90000/1 or 1000/1), not a frame rate.
// A rate above kHighestFrameRate becomes that bound when the average confirms it, else
// kImageSequenceRate (with no average, such a rate is a timestamp resolution). Both are
// ffprobe's fractions ("30/1", "0/0").
std::string ChooseFrameRate(const std::string& nominal, const std::string& average);

// The value of values (in ascending order, not empty) nearest to wanted; of two as near, the
// lower.
int NearestOf(const std::vector<int>& values, double wanted);

}  // namespace tarnivo::media

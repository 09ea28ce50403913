// The rules the switch table runs, by the file that holds them. A switch's rule gets the
// switch's value ("" for a switch alone); an addition runs once per output, after its switches.
#pragma once

#include "OutputPlan.h"
#include "Translation.h"

#include <string>

namespace tarnivo::ffmpeg_front_end {

// Rates.cpp: bitrates and the frame rate.
void VideoBitrate(const OutputPlan& plan, const std::string& value, Translation& out);
void BitrateTolerance(const OutputPlan& plan, const std::string& value, Translation& out);
void MaximumBitrate(const OutputPlan& plan, const std::string& value, Translation& out);
void RateControlBuffer(const OutputPlan& plan, const std::string& value, Translation& out);
void VideoFrameRate(const OutputPlan& plan, const std::string& value, Translation& out);
void AddWholeFrameRate(const OutputPlan& plan, Translation& out);

// Codecs.cpp: the encoders and what each takes.
void VideoCodec(const OutputPlan& plan, const std::string& value, Translation& out);
void AudioCodec(const OutputPlan& plan, const std::string& value, Translation& out);
void SameQuality(const OutputPlan& plan, const std::string& value, Translation& out);
void QuantiserScale(const OutputPlan& plan, const std::string& value, Translation& out);
void AudioBitrate(const OutputPlan& plan, const std::string& value, Translation& out);
void SampleRate(const OutputPlan& plan, const std::string& value, Translation& out);
void Channels(const OutputPlan& plan, const std::string& value, Translation& out);
void AddSampleRates(const OutputPlan& plan, Translation& out);
void AddChannels(const OutputPlan& plan, Translation& out);
// Whether a constant quality wins over the line's video bitrate.
bool QualityWinsOverBitrate(const OutputPlan& plan);

// PictureSizes.cpp: the picture's size.
void VideoFrameSize(const OutputPlan& plan, const std::string& value, Translation& out);
void AddSourceSize(const OutputPlan& plan, Translation& out);

// Colours.cpp: how the pictures' colours are read and converted.
void AddInputColours(const OutputPlan& plan, Translation& out);
void AddMatrixConversion(const OutputPlan& plan, Translation& out);
void AddFullRangeKept(const OutputPlan& plan, Translation& out);

// Containers.cpp: the container and its quirks.
void ContainerFormat(const OutputPlan& plan, const std::string& value, Translation& out);
void LoopOutput(const OutputPlan& plan, const std::string& value, Translation& out);
void AddMuxerName(const OutputPlan& plan, Translation& out);
void AddNoSound(const OutputPlan& plan, Translation& out);
void AddPicturesInOrder(const OutputPlan& plan, Translation& out);
void AddPictureBuffer(const OutputPlan& plan, Translation& out);
// The highest video rate (kbit/s) a container's picture buffer lets the encoder take at the
// plan's picture rate; nothing when no such limit holds.
std::optional<long> PictureBufferRateLimit(const OutputPlan& plan);

// FilterChain.cpp: filters of their own.
void Deinterlace(const OutputPlan& plan, const std::string& value, Translation& out);
void VideoFilters(const OutputPlan& plan, const std::string& value, Translation& out);
void PixelFormat(const OutputPlan& plan, const std::string& value, Translation& out);

}  // namespace tarnivo::ffmpeg_front_end

// The frame writer's work: the pictures of a stream encoded as JPEG on several threads, frame by
// frame, and handed on in their order to a sink (numbered files, or their sizes for measuring).
// Memory stays bounded: a few pictures per thread are in the writer at any time.
#pragma once

#include "JpegPicture.h"
#include "PictureStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnivo::frames {

// Where the encoded frames go, one after the other in their order, from frame 1.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // False with *error set when the frame could not be put there; nothing more is written then.
    virtual bool Put(std::int64_t number, const std::vector<std::uint8_t>& jpeg, std::string* error) = 0;
};

// Frames as files named by a pattern ("%06d.jpg", "/w/%06d.jpg": one "%d" or "%0Nd"; "%%" is
// one "%"). Each is written under a hidden name in the pattern's folder
// (media::kFrameTemporaryName) and then renamed, so that no frame's name ever holds a part of a
// picture; a writer that is stopped removes that file, and one that is killed leaves only it.
class FrameFiles : public FrameSink {
public:
    explicit FrameFiles(std::string pattern);
    ~FrameFiles() override;
    bool Put(std::int64_t number, const std::vector<std::uint8_t>& jpeg, std::string* error) override;
    // The hidden name's path, and a frame's name.
    const std::string& TemporaryPath() const { return m_temporary; }
    std::string NameOf(std::int64_t number) const;

private:
    std::string m_pattern;
    std::string m_temporary;
};

// Whether a pattern names frames as FrameFiles takes it.
bool IsFramePattern(const std::string& pattern);

// Frame sizes in bytes, one decimal number a line, on a descriptor (standard output).
class FrameSizes : public FrameSink {
public:
    explicit FrameSizes(int fd) : m_fd(fd) {}
    bool Put(std::int64_t number, const std::vector<std::uint8_t>& jpeg, std::string* error) override;

private:
    int m_fd;
};

// How many encoding threads: as many as this process may run on at once.
int EncodingThreads();

// Reads every picture of the stream (its header read already), encodes it and puts it into the
// sink in order, on `threads` threads at once. Returns how many frames were put; *error is set
// when the stream broke, a frame could not be put or a stop was asked for (then the frames
// before the failing one are all there, and none after it).
std::int64_t WriteFrames(PictureStream& stream, const JpegOptions& options, FrameSink& sink, int threads,
                         std::string* error);

}  // namespace tarnivo::frames

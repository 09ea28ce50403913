// The pictures ffmpeg hands the frame writer: a YUV4MPEG2 stream ("-f yuv4mpegpipe") of 8-bit
// planar YUV pictures, 4:2:0, 4:2:2 or 4:4:4, each plane row after row. The stream's header
// tells the size, the chroma layout and, where ffmpeg knows it, the range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnivo::frames {

struct PictureFormat {
    int width = 0;
    int height = 0;
    // How many times smaller the two chroma planes are, as a power of two: 4:2:0 is 1 and 1,
    // 4:2:2 is 1 and 0, 4:4:4 is 0 and 0.
    int chromaWidthShift = 0;
    int chromaHeightShift = 0;
    bool fullRange = false;  // "XCOLORRANGE=FULL"; limited (or not told) otherwise

    int PlaneWidth(int plane) const;
    int PlaneHeight(int plane) const;
    size_t PictureBytes() const;
};

// The format of a stream header line (without its line end); false with *error set when it is
// none this writer takes.
bool ParseStreamHeader(const std::string& line, PictureFormat* format, std::string* error);

// One picture: three planes, each row padded on the right to a whole number of 8x8 blocks (the
// JPEG encoder reads whole blocks) with copies of the row's last sample.
struct Picture {
    int stride[3] = {0, 0, 0};
    std::vector<std::uint8_t> planes[3];

    void Allocate(const PictureFormat& format);
    const std::uint8_t* Row(int plane, int row) const
    {
        return planes[plane].data() + static_cast<size_t>(row) * static_cast<size_t>(stride[plane]);
    }
};

// Reads a stream from a file descriptor.
class PictureStream {
public:
    explicit PictureStream(int fd) : m_fd(fd) {}

    // Reads the header; false with *error set when the stream has none or one not taken.
    bool ReadHeader(std::string* error);
    const PictureFormat& format() const { return m_format; }

    enum class Outcome { Picture, End, Broken };
    // The next picture into picture (allocated for format()). End: the stream ended between
    // pictures. Broken: it ended inside one, or something else than a picture came, or reading
    // failed (*error says which).
    Outcome ReadPicture(Picture& picture, std::string* error);
    // Whether the stream's input has ended (or could not be read): ffmpeg is gone or going.
    bool InputEnded() const { return m_inputEnded; }

private:
    // Fills the buffer; false at the end of the stream or on an error (m_readError).
    bool fill();
    bool readLine(std::string* line, size_t most);
    bool readExactly(std::uint8_t* into, size_t count);

    int m_fd;
    PictureFormat m_format;
    std::vector<std::uint8_t> m_buffer = std::vector<std::uint8_t>(1 << 20);
    size_t m_begin = 0;
    size_t m_end = 0;
    int m_readError = 0;
    bool m_inputEnded = false;
};

}  // namespace tarnivo::frames

#include "PictureStream.h"

#include "Stopping.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace tarnivo::frames {

namespace {

constexpr const char* kStreamSignature = "YUV4MPEG2";
constexpr const char* kPictureSignature = "FRAME";
// A header line is a few dozen characters; anything far longer is no stream of pictures.
constexpr size_t kLongestHeader = 4096;
constexpr int kBlock = 8;

int roundedUp(int value, int step) { return (value + step - 1) / step * step; }

// The chroma layouts ffmpeg writes for the 8-bit formats the writer is given.
bool chromaShifts(const std::string& layout, PictureFormat* format)
{
    if (layout == "420jpeg" || layout == "420mpeg2" || layout == "420paldv" || layout == "420") {
        format->chromaWidthShift = format->chromaHeightShift = 1;
        return true;
    }
    if (layout == "422") {
        format->chromaWidthShift = 1;
        format->chromaHeightShift = 0;
        return true;
    }
    if (layout == "444") {
        format->chromaWidthShift = format->chromaHeightShift = 0;
        return true;
    }
    return false;
}

}  // namespace

int PictureFormat::PlaneWidth(int plane) const
{
    return plane == 0 ? width : (width + (1 << chromaWidthShift) - 1) >> chromaWidthShift;
}

int PictureFormat::PlaneHeight(int plane) const
{
    return plane == 0 ? height : (height + (1 << chromaHeightShift) - 1) >> chromaHeightShift;
}

size_t PictureFormat::PictureBytes() const
{
    size_t bytes = 0;
    for (int plane = 0; plane < 3; ++plane)
        bytes += static_cast<size_t>(PlaneWidth(plane)) * static_cast<size_t>(PlaneHeight(plane));
    return bytes;
}

bool ParseStreamHeader(const std::string& line, PictureFormat* format, std::string* error)
{
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word != kStreamSignature) {
        *error = "the pictures are not a YUV4MPEG2 stream";
        return false;
    }
    PictureFormat parsed;
    std::string layout = "420jpeg";  // the stream's default
    while (words >> word) {
        const std::string value = word.substr(1);
        switch (word[0]) {
        case 'W':
            parsed.width = std::atoi(value.c_str());
            break;
        case 'H':
            parsed.height = std::atoi(value.c_str());
            break;
        case 'C':
            layout = value;
            break;
        case 'X':
            if (value == "COLORRANGE=FULL")
                parsed.fullRange = true;
            break;
        default:
            break;  // rate, interlacing, aspect: the frames do not record them
        }
    }
    if (parsed.width <= 0 || parsed.height <= 0 || parsed.width > 65500 || parsed.height > 65500) {
        *error = "the pictures' size is not one a JPEG file can hold";
        return false;
    }
    if (!chromaShifts(layout, &parsed)) {
        *error = "the pictures come as \"" + layout + "\", not as 8-bit 4:2:0, 4:2:2 or 4:4:4";
        return false;
    }
    *format = parsed;
    return true;
}

void Picture::Allocate(const PictureFormat& format)
{
    for (int plane = 0; plane < 3; ++plane) {
        stride[plane] = roundedUp(format.PlaneWidth(plane), kBlock);
        planes[plane].resize(static_cast<size_t>(stride[plane]) *
                             static_cast<size_t>(format.PlaneHeight(plane)));
    }
}

bool PictureStream::fill()
{
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    for (;;) {
        const ssize_t count = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (count > 0) {
            m_end += static_cast<size_t>(count);
            return true;
        }
        if (count == 0 || errno != EINTR || StopSignal() != 0) {
            m_readError = count == 0 ? 0 : errno;
            m_inputEnded = true;
            return false;
        }
    }
}

bool PictureStream::readLine(std::string* line, size_t most)
{
    for (;;) {
        const auto begin = m_buffer.begin() + static_cast<long>(m_begin);
        const auto end = m_buffer.begin() + static_cast<long>(m_end);
        const auto newline = std::find(begin, end, '\n');
        if (newline != end) {
            line->assign(begin, newline);
            m_begin = static_cast<size_t>(newline - m_buffer.begin()) + 1;
            return true;
        }
        if (m_end - m_begin > most || !fill())
            return false;
    }
}

bool PictureStream::readExactly(std::uint8_t* into, size_t count)
{
    while (count > 0) {
        if (m_begin == m_end && !fill())
            return false;
        const size_t taken = std::min(count, m_end - m_begin);
        std::memcpy(into, m_buffer.data() + m_begin, taken);
        m_begin += taken;
        into += taken;
        count -= taken;
    }
    return true;
}

bool PictureStream::ReadHeader(std::string* error)
{
    std::string line;
    if (!readLine(&line, kLongestHeader)) {
        *error = m_readError ? std::string("cannot read the pictures: ") + std::strerror(m_readError)
                             : "no pictures came";
        return false;
    }
    return ParseStreamHeader(line, &m_format, error);
}

PictureStream::Outcome PictureStream::ReadPicture(Picture& picture, std::string* error)
{
    std::string line;
    if (!readLine(&line, kLongestHeader)) {
        if (m_readError == 0 && m_begin == m_end)
            return Outcome::End;
        *error = m_readError ? std::string("cannot read the pictures: ") + std::strerror(m_readError)
                             : "the pictures' stream ended inside a picture";
        return Outcome::Broken;
    }
    if (line.compare(0, std::strlen(kPictureSignature), kPictureSignature) != 0) {
        *error = "the pictures' stream holds something else than pictures";
        return Outcome::Broken;
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int width = m_format.PlaneWidth(plane);
        for (int row = 0; row < m_format.PlaneHeight(plane); ++row) {
            std::uint8_t* at =
                picture.planes[plane].data() + static_cast<size_t>(row) * picture.stride[plane];
            if (!readExactly(at, static_cast<size_t>(width))) {
                *error = m_readError ? std::string("cannot read the pictures: ") + std::strerror(m_readError)
                                     : "the pictures' stream ended inside a picture";
                return Outcome::Broken;
            }
            std::fill(at + width, at + picture.stride[plane], at[width - 1]);
        }
    }
    return Outcome::Picture;
}

}  // namespace tarnivo::frames

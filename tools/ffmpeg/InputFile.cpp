#include "InputFile.h"

#include <cstdint>
#include <fstream>
#include <sys/stat.h>

namespace tarnivo::ffmpeg_front_end {

namespace {

// The header list comes first in an AVI file; a few kilobytes hold it.
constexpr size_t kHeaderBytes = 64 * 1024;

uint32_t littleEndian(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Walks the chunks of bytes[from, end): for each "LIST" of the kinds asked its inside is
// walked too, and the first "strh" of a picture stream gives the rate.
std::string rateInChunks(const std::string& bytes, size_t from, size_t end)
{
    size_t at = from;
    while (at + 8 <= end) {
        const std::string id = bytes.substr(at, 4);
        const uint64_t size = littleEndian(bytes, at + 4);
        const size_t body = at + 8;
        if (body + size > end)
            return "";
        if (id == "LIST" && size >= 4) {
            const std::string kind = bytes.substr(body, 4);
            if (kind == "hdrl" || kind == "strl") {
                const std::string rate = rateInChunks(bytes, body + 4, body + size);
                if (!rate.empty())
                    return rate;
            }
        } else if (id == "strh" && size >= 28 && bytes.substr(body, 4) == "vids") {
            const uint32_t scale = littleEndian(bytes, body + 20);
            const uint32_t rate = littleEndian(bytes, body + 24);
            return scale > 0 && rate > 0 ? std::to_string(rate) + "/" + std::to_string(scale) : "";
        }
        at = body + size + (size & 1);  // chunks are padded to even sizes
    }
    return "";
}

}  // namespace

std::string LastInput(const std::vector<std::string>& arguments)
{
    std::string input;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-i")
            input = arguments[++i];
    }
    return input;
}

std::string AviPictureRate(const std::string& path)
{
    struct stat entry {};
    if (path.empty() || ::stat(path.c_str(), &entry) != 0 || !S_ISREG(entry.st_mode))
        return "";
    std::ifstream file(path, std::ios::binary);
    std::string bytes(kHeaderBytes, '\0');
    file.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0)
        return "";
    return rateInChunks(bytes, 12, bytes.size());
}

}  // namespace tarnivo::ffmpeg_front_end

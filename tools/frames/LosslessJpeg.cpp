#include "LosslessJpeg.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace tarnivo::frames {

namespace {

// A difference of 8-bit samples takes 0 to 8 bits; the code has room for every category
// the format names (0 to 16).
constexpr int kCategories = 17;
constexpr int kLongestCode = 16;
constexpr int kFirstPrediction = 128;  // the first sample's, for 8-bit samples
constexpr int kLeftPredictor = 1;      // the predictor's number in the scan header
constexpr char kLimitedRangeComment[] = "CS=ITU601";

using Counts = std::array<long, kCategories>;

int categoryOf(int difference)
{
    const unsigned magnitude = static_cast<unsigned>(std::abs(difference));
    return magnitude == 0 ? 0 : 32 - __builtin_clz(magnitude);
}

// A Huffman table as the file states it (how many codes of each length, the categories in the
// order of their codes) and as the encoder uses it (each category's code and length).
struct HuffmanTable {
    std::array<std::uint8_t, kLongestCode + 1> lengthCounts{};  // [1..16]
    std::vector<std::uint8_t> categories;
    std::array<std::uint16_t, kCategories> code{};
    std::array<std::uint8_t, kCategories> length{};
};

// The code lengths that JPEG's own procedure gives these counts: an optimal code, lengths cut to
// 16 bits, and no code of all ones (a reserved symbol takes it and is dropped at the end).
HuffmanTable tableFor(const Counts& counts)
{
    constexpr int kReserved = kCategories;
    std::array<long, kCategories + 1> frequency{};
    std::copy(counts.begin(), counts.end(), frequency.begin());
    frequency[kReserved] = 1;
    std::array<int, kCategories + 1> codeSize{};
    std::array<int, kCategories + 1> next{};
    next.fill(-1);
    for (;;) {
        // The two least frequent (ties: the higher symbol first), merged into one.
        int least = -1;
        for (int i = 0; i <= kReserved; ++i) {
            if (frequency[i] > 0 && (least < 0 || frequency[i] <= frequency[least]))
                least = i;
        }
        int second = -1;
        for (int i = 0; i <= kReserved; ++i) {
            if (i != least && frequency[i] > 0 && (second < 0 || frequency[i] <= frequency[second]))
                second = i;
        }
        if (second < 0)
            break;
        frequency[least] += frequency[second];
        frequency[second] = 0;
        for (++codeSize[least]; next[least] >= 0; ++codeSize[least])
            least = next[least];
        next[least] = second;
        for (++codeSize[second]; next[second] >= 0; ++codeSize[second])
            second = next[second];
    }
    std::array<int, 2 * kCategories + 2> lengthCounts{};
    for (int size : codeSize) {
        if (size > 0)
            ++lengthCounts[static_cast<size_t>(size)];
    }
    for (int size = static_cast<int>(lengthCounts.size()) - 1; size > kLongestCode; --size) {
        while (lengthCounts[static_cast<size_t>(size)] > 0) {
            int shorter = size - 2;
            while (lengthCounts[static_cast<size_t>(shorter)] == 0)
                --shorter;
            lengthCounts[static_cast<size_t>(size)] -= 2;
            ++lengthCounts[static_cast<size_t>(size - 1)];
            lengthCounts[static_cast<size_t>(shorter + 1)] += 2;
            --lengthCounts[static_cast<size_t>(shorter)];
        }
    }
    int longest = kLongestCode;
    while (lengthCounts[static_cast<size_t>(longest)] == 0)
        --longest;
    --lengthCounts[static_cast<size_t>(longest)];  // the reserved symbol's

    HuffmanTable table;
    for (int size = 1; size < static_cast<int>(lengthCounts.size()); ++size) {
        for (int category = 0; category < kCategories; ++category) {
            if (codeSize[static_cast<size_t>(category)] == size)
                table.categories.push_back(static_cast<std::uint8_t>(category));
        }
    }
    // Canonical codes, in the order of the categories, shortest first.
    size_t k = 0;
    unsigned code = 0;
    for (int size = 1; size <= kLongestCode; ++size) {
        table.lengthCounts[static_cast<size_t>(size)] =
            static_cast<std::uint8_t>(lengthCounts[static_cast<size_t>(size)]);
        for (int n = 0; n < lengthCounts[static_cast<size_t>(size)]; ++n, ++k, ++code) {
            table.code[table.categories[k]] = static_cast<std::uint16_t>(code);
            table.length[table.categories[k]] = static_cast<std::uint8_t>(size);
        }
        code <<= 1;
    }
    return table;
}

// One plane's samples as the scan covers them (whole MCUs: the last column and row repeated
// where the picture ends), each as its difference from its prediction.
struct PlaneDifferences {
    int width = 0;
    int height = 0;
    std::vector<std::int16_t> values;
};

void differencesOf(const Picture& picture, int plane, int planeWidth, int planeHeight, PlaneDifferences& out,
                   Counts& counts)
{
    out.values.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    const std::uint8_t* above = nullptr;
    std::int16_t* into = out.values.data();
    const int inside = std::min(planeWidth, out.width);
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* row = picture.Row(plane, std::min(y, planeHeight - 1));
        // The first sample from the one above it (the very first from the middle value), every
        // other from the one on its left.
        int prediction = above ? above[0] : kFirstPrediction;
        for (int x = 0; x < inside; ++x) {
            const int difference = row[x] - prediction;
            ++counts[static_cast<size_t>(categoryOf(difference))];
            *into++ = static_cast<std::int16_t>(difference);
            prediction = row[x];
        }
        for (int x = inside; x < out.width; ++x) {
            ++counts[0];  // the last sample repeated
            *into++ = 0;
        }
        above = row;
    }
}

// Each difference's code and the bits after it, as one run of bits (at most 16 + 8).
struct DifferenceCode {
    std::uint32_t bits;
    int length;
};
constexpr int kLargestDifference = 255;
using DifferenceCodes = std::array<DifferenceCode, 2 * kLargestDifference + 1>;

void fillCodes(const HuffmanTable& table, DifferenceCodes& codes)
{
    for (int difference = -kLargestDifference; difference <= kLargestDifference; ++difference) {
        const int category = categoryOf(difference);
        if (table.length[static_cast<size_t>(category)] == 0)
            continue;  // never sent
        // A negative difference is sent as its value less one, in its category's bits.
        const unsigned extra =
            static_cast<unsigned>(difference < 0 ? difference - 1 : difference) & ((1u << category) - 1);
        codes[static_cast<size_t>(difference + kLargestDifference)] = {
            (static_cast<std::uint32_t>(table.code[static_cast<size_t>(category)]) << category) | extra,
            table.length[static_cast<size_t>(category)] + category};
    }
}

// Entropy-coded bits into a buffer the caller keeps large enough (Reserve), a 0 byte stuffed
// after every 0xFF.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : m_out(out), m_used(out.size()) {}

    // Room for at least this many more bytes.
    void Reserve(size_t bytes)
    {
        if (m_out.size() < m_used + bytes)
            m_out.resize(std::max(m_out.size() * 2, m_used + bytes));
    }

    void Put(const DifferenceCode& code)
    {
        m_bits = (m_bits << code.length) | code.bits;
        m_count += code.length;
        if (m_count >= 32)
            flushWord();
    }

    // The last byte filled with ones; the buffer cut to what was written.
    void Finish()
    {
        while (m_count >= 8)
            putByte(static_cast<std::uint8_t>(m_bits >> (m_count -= 8)));
        if (m_count > 0) {
            const int fill = 8 - m_count;
            putByte(static_cast<std::uint8_t>((m_bits << fill) | ((1u << fill) - 1)));
            m_count = 0;
        }
        m_out.resize(m_used);
    }

private:
    void putByte(std::uint8_t byte)
    {
        m_out[m_used++] = byte;
        if (byte == 0xFF)
            m_out[m_used++] = 0;
    }

    // The oldest 32 bits, as four bytes.
    void flushWord()
    {
        m_count -= 32;
        const auto word = static_cast<std::uint32_t>(m_bits >> m_count);
        const std::uint32_t inverted = ~word;
        const bool hasFF = ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
        if (!hasFF) {
            std::uint8_t* into = m_out.data() + m_used;
            into[0] = static_cast<std::uint8_t>(word >> 24);
            into[1] = static_cast<std::uint8_t>(word >> 16);
            into[2] = static_cast<std::uint8_t>(word >> 8);
            into[3] = static_cast<std::uint8_t>(word);
            m_used += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8)
            putByte(static_cast<std::uint8_t>(word >> shift));
    }

    std::vector<std::uint8_t>& m_out;
    size_t m_used;
    std::uint64_t m_bits = 0;
    int m_count = 0;
};

void putMarker(std::vector<std::uint8_t>& out, std::uint8_t marker, size_t length)
{
    out.insert(out.end(), {0xFF, marker});
    if (length > 0)
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)});
}

void putHuffmanTables(std::vector<std::uint8_t>& out, const HuffmanTable (&tables)[2])
{
    size_t length = 2;
    for (const HuffmanTable& table : tables)
        length += 1 + kLongestCode + table.categories.size();
    putMarker(out, 0xC4, length);
    for (std::uint8_t index = 0; index < 2; ++index) {
        out.push_back(index);  // class 0 (the one lossless scans use), table index
        out.insert(out.end(), tables[index].lengthCounts.begin() + 1, tables[index].lengthCounts.end());
        out.insert(out.end(), tables[index].categories.begin(), tables[index].categories.end());
    }
}

}  // namespace

void EncodeLosslessJpeg(const PictureFormat& format, const Picture& picture, std::vector<std::uint8_t>& out)
{
    // Luma's sampling factors are chroma's reduction; chroma samples once per MCU. Planes of one
    // size are stated as two rows per MCU each: ffmpeg's decoder takes three lossless planes
    // sampled 1x1 for RGB.
    const bool sameSizes = format.chromaWidthShift == 0 && format.chromaHeightShift == 0;
    const int chromaRows = sameSizes ? 2 : 1;
    const int sampling[3][2] = {{1 << format.chromaWidthShift, sameSizes ? 2 : 1 << format.chromaHeightShift},
                                {1, chromaRows},
                                {1, chromaRows}};
    const int mcuColumns = (format.width + sampling[0][0] - 1) / sampling[0][0];
    const int mcuRows = (format.height + sampling[0][1] - 1) / sampling[0][1];

    thread_local PlaneDifferences planes[3];
    Counts counts[2] = {};
    for (int plane = 0; plane < 3; ++plane) {
        planes[plane].width = mcuColumns * sampling[plane][0];
        planes[plane].height = mcuRows * sampling[plane][1];
        differencesOf(picture, plane, format.PlaneWidth(plane), format.PlaneHeight(plane), planes[plane],
                      counts[plane == 0 ? 0 : 1]);
    }
    const HuffmanTable tables[2] = {tableFor(counts[0]), tableFor(counts[1])};

    out.clear();
    putMarker(out, 0xD8, 0);  // start of image
    // JFIF 1.02, no density, as the baseline frames have it: the planes are YCbCr.
    putMarker(out, 0xE0, 16);
    out.insert(out.end(), {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0});
    if (!format.fullRange) {
        putMarker(out, 0xFE, 2 + std::strlen(kLimitedRangeComment));
        out.insert(out.end(), kLimitedRangeComment, kLimitedRangeComment + std::strlen(kLimitedRangeComment));
    }
    putHuffmanTables(out, tables);
    putMarker(out, 0xC3, 8 + 3 * 3);  // lossless, Huffman-coded
    out.insert(out.end(),
               {8, static_cast<std::uint8_t>(format.height >> 8), static_cast<std::uint8_t>(format.height),
                static_cast<std::uint8_t>(format.width >> 8), static_cast<std::uint8_t>(format.width), 3});
    for (int plane = 0; plane < 3; ++plane) {
        out.insert(out.end(), {static_cast<std::uint8_t>(plane + 1),
                               static_cast<std::uint8_t>((sampling[plane][0] << 4) | sampling[plane][1]), 0});
    }
    putMarker(out, 0xDA, 6 + 2 * 3);  // the scan: every plane, interleaved
    out.push_back(3);
    for (int plane = 0; plane < 3; ++plane)
        out.insert(out.end(), {static_cast<std::uint8_t>(plane + 1),
                               static_cast<std::uint8_t>(plane == 0 ? 0x00 : 0x10)});
    out.insert(out.end(), {kLeftPredictor, 0, 0});

    thread_local DifferenceCodes codes[2];
    fillCodes(tables[0], codes[0]);
    fillCodes(tables[1], codes[1]);
    BitWriter writer(out);
    // A sample takes at most 24 bits, stuffing doubles the bytes at worst.
    int samplesPerMcu = 0;
    for (const auto& factors : sampling)
        samplesPerMcu += factors[0] * factors[1];
    const size_t mostRowBytes = static_cast<size_t>(mcuColumns) * static_cast<size_t>(samplesPerMcu) * 6 + 16;
    for (int mcuRow = 0; mcuRow < mcuRows; ++mcuRow) {
        writer.Reserve(mostRowBytes);
        const std::int16_t* rows[3][2];
        for (int plane = 0; plane < 3; ++plane) {
            for (int y = 0; y < sampling[plane][1]; ++y) {
                rows[plane][y] =
                    planes[plane].values.data() + static_cast<size_t>(mcuRow * sampling[plane][1] + y) *
                                                      static_cast<size_t>(planes[plane].width);
            }
        }
        for (int mcuColumn = 0; mcuColumn < mcuColumns; ++mcuColumn) {
            for (int plane = 0; plane < 3; ++plane) {
                const DifferenceCodes& planeCodes = codes[plane == 0 ? 0 : 1];
                const int left = mcuColumn * sampling[plane][0];
                for (int y = 0; y < sampling[plane][1]; ++y) {
                    for (int x = 0; x < sampling[plane][0]; ++x)
                        writer.Put(
                            planeCodes[static_cast<size_t>(rows[plane][y][left + x] + kLargestDifference)]);
                }
            }
        }
    }
    writer.Finish();
    putMarker(out, 0xD9, 0);  // end of image
}

}  // namespace tarnivo::frames

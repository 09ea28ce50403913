#include "JpegPicture.h"

#include "LosslessJpeg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace tarnivo::frames {

namespace {

// The comment by which ffmpeg's JPEG decoder knows a picture of limited range.
constexpr char kLimitedRangeComment[] = "CS=ITU601";

void (*g_fail)(const char*) = nullptr;

[[noreturn]] void failed(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    if (g_fail)
        g_fail(message);
    std::fprintf(stderr, "tarnivo-frames: %s\n", message);
    std::_Exit(1);
}

// A destination that writes into a vector, growing it as the encoder asks.
struct VectorDestination {
    jpeg_destination_mgr manager;  // first: the library sees this
    std::vector<std::uint8_t>* out;
};

constexpr size_t kFirstCapacity = 256 * 1024;

void startVector(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<VectorDestination*>(info->dest);
    std::vector<std::uint8_t>& out = *destination->out;
    out.resize(std::max(out.capacity(), kFirstCapacity));
    destination->manager.next_output_byte = out.data();
    destination->manager.free_in_buffer = out.size();
}

boolean growVector(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<VectorDestination*>(info->dest);
    std::vector<std::uint8_t>& out = *destination->out;
    const size_t used = out.size();  // the library calls this only when the buffer is full
    out.resize(used * 2);
    destination->manager.next_output_byte = out.data() + used;
    destination->manager.free_in_buffer = out.size() - used;
    return TRUE;
}

void endVector(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<VectorDestination*>(info->dest);
    destination->out->resize(destination->out->size() - destination->manager.free_in_buffer);
}

// MPEG-1's default intra matrix, row by row, which ffmpeg's JPEG encoder scales by its quantiser
// and divides by 8; the DC coefficient's step is 8 at every quantiser.
constexpr unsigned int kMpeg1IntraMatrix[DCTSIZE2] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37, 19, 22, 26, 27, 29, 34,
    34, 38, 22, 22, 26, 27, 29, 34, 37, 40, 22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32,
    35, 40, 48, 58, 26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};
constexpr unsigned int kDcStep = 8;

void setQuantisation(jpeg_compress_struct& info, const JpegOptions& options)
{
    unsigned int steps[DCTSIZE2];
    for (int i = 0; i < DCTSIZE2; ++i)
        steps[i] = options.finest ? 1 : std::max(1u, kMpeg1IntraMatrix[i] / 8);
    if (!options.finest)
        steps[0] = kDcStep;
    // Table 0 serves the luma plane, table 1 the two chroma planes: the same steps for both.
    for (int table = 0; table < 2; ++table)
        jpeg_add_quant_table(&info, table, steps, 100, TRUE);
}

}  // namespace

void OnJpegFailure(void (*fail)(const char* message)) { g_fail = fail; }

void EncodeJpeg(const PictureFormat& format, const Picture& picture, const JpegOptions& options,
                std::vector<std::uint8_t>& out)
{
    if (options.exact) {
        EncodeLosslessJpeg(format, picture, out);
        return;
    }
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    errors.error_exit = failed;
    jpeg_create_compress(&info);

    VectorDestination destination{};
    destination.manager.init_destination = startVector;
    destination.manager.empty_output_buffer = growVector;
    destination.manager.term_destination = endVector;
    destination.out = &out;
    info.dest = &destination.manager;

    info.image_width = static_cast<JDIMENSION>(format.width);
    info.image_height = static_cast<JDIMENSION>(format.height);
    info.input_components = 3;
    info.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, JCS_YCbCr);
    info.raw_data_in = TRUE;
    info.dct_method = JDCT_ISLOW;
    info.comp_info[0].h_samp_factor = 1 << format.chromaWidthShift;
    info.comp_info[0].v_samp_factor = 1 << format.chromaHeightShift;
    for (int plane = 1; plane < 3; ++plane)
        info.comp_info[plane].h_samp_factor = info.comp_info[plane].v_samp_factor = 1;
    setQuantisation(info, options);
    jpeg_start_compress(&info, TRUE);
    if (!format.fullRange) {
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(kLimitedRangeComment),
                          sizeof kLimitedRangeComment - 1);
    }

    // Each call takes one row of MCUs: 8 rows of blocks of every plane, times its sampling.
    // Rows below the picture repeat its last row, as the padding on the right repeats a row's
    // last sample, so the blocks at the edges hold no false detail.
    const int mcuRows = DCTSIZE << format.chromaHeightShift;
    std::vector<JSAMPROW> rows[3];
    JSAMPARRAY planes[3];
    for (int plane = 0; plane < 3; ++plane) {
        rows[plane].resize(static_cast<size_t>(DCTSIZE * info.comp_info[plane].v_samp_factor));
        planes[plane] = rows[plane].data();
    }
    for (int top = 0; top < format.height; top += mcuRows) {
        for (int plane = 0; plane < 3; ++plane) {
            const int planeTop = plane == 0 ? top : top >> format.chromaHeightShift;
            const int last = format.PlaneHeight(plane) - 1;
            for (size_t i = 0; i < rows[plane].size(); ++i) {
                const int row = std::min(planeTop + static_cast<int>(i), last);
                rows[plane][i] = const_cast<JSAMPROW>(picture.Row(plane, row));
            }
        }
        jpeg_write_raw_data(&info, planes, static_cast<JDIMENSION>(mcuRows));
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
}

}  // namespace tarnivo::frames

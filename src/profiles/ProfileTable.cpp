#include "ProfileTable.h"

namespace tarnivo {

namespace {

// A profile of today's formats: its options are written whole in today's ffmpeg switches. No
// size, frame rate or sample rate is named, so the result keeps the source's.
ProfileRow todaysProfile(const char* name, const char* extension, const char* options)
{
    ProfileRow row{name, extension, {}};
    row.settings.outputOptions = options;
    return row;
}

}  // namespace

const std::vector<ProfileRow>& NamedProfileRows()
{
    // Columns: name, extension, then the settings in ConversionSettings' order: video codec,
    // size, video bitrate, frame rate, audio codec, audio bitrate, samples, channels, forced
    // format, same quality, de-interlace, then where a profile needs them: aspect ratio,
    // bitrate tolerance, GOP size, quantiser scale, max bitrate, rate control buffer.
    // clang-format off
    static const std::vector<ProfileRow> rows = {
        {"AVI (MPEG4-DivX-Compatible)",      ".avi", "mpeg4",      "320x240", "360",  "29.97", "",          "48",  "22050", "2", "",    true,  true},
        {"AVI (MPEG4-DivX-Best Quality)",    ".avi", "mpeg4",      "320x240", "360",  "29.97", "",          "",    "",      "2", "",    true,  true},
        {"AVI (MPEG4-XviD-Compatible)",      ".avi", "xvid",       "320x240", "360",  "29.97", "",          "48",  "22050", "2", "",    true,  true},
        {"AVI (MPEG4-XviD-Best Quality)",    ".avi", "xvid",       "320x240", "360",  "29.97", "",          "",    "",      "2", "",    true,  true},
        {"Animated GIF (64x48) GIF",         ".gif", "",           "64x48",   "",     "",      "",          "",    "",      "",  "gif", false, false},
        {"Animated GIF (160x120) GIF",       ".gif", "",           "160x120", "",     "",      "",          "",    "",      "",  "gif", false, false},
        {"Animated GIF (320x240) GIF",       ".gif", "",           "320x240", "",     "",      "",          "",    "",      "",  "gif", false, false},
        {"Animated GIF (Same as Input) GIF", ".gif", "",           "",        "",     "",      "",          "",    "",      "",  "gif", false, false},
        {"iPOD Video (320x240) MPEG4",       ".mpg", "mpeg4",      "320x240", "512",  "",      "aac",       "64",  "44100", "2", "",    false, false, "4:3"},
        {"iPOD Video2 (640x480) MPEG4",      ".mpg", "mpeg4",      "640x480", "1200", "",      "aac",       "80",  "44100", "2", "",    false, false, "4:3"},
        {"iPhone Video",                     ".mpg", "mpeg4",      "320x240", "1200", "",      "aac",       "80",  "44100", "2", "",    false, false, "4:3"},
        {"iPOD Nano (MP3)",                  ".mp3", "",           "",        "",     "",      "mp3",       "",    "",      "",  "",    false, false},
        {"iPOD Mini (MP3)",                  ".mp3", "",           "",        "",     "",      "mp3",       "",    "",      "",  "",    false, false},
        {"iPOD Shuffle (MP3)",               ".mp3", "",           "",        "",     "",      "mp3",       "",    "",      "",  "",    false, false},
        {"MPEG (Max Compatible)",            ".mpg", "mpeg1video", "",        "",     "29.97", "",          "",    "44100", "2", "",    true,  true},
        {"MPEG (Best Quality)",              ".mpg", "mpeg1video", "",        "",     "29.97", "",          "",    "",      "2", "",    true,  true},
        {"WMV(WindowsMedia-Compatible)",     ".wmv", "wmv2",       "",        "",     "",      "",          "",    "44100", "2", "",    true,  true},
        {"WMV(WindowsMedia-Best Quality)",   ".wmv", "wmv2",       "",        "",     "",      "",          "",    "",      "2", "",    true,  true},
        {"RM (RealONE/RealPlayer)",          ".rm",  "rv20",       "",        "",     "",      "",          "",    "44100", "2", "",    true,  true},
        {"QuickTime MOV",                    ".mov", "",           "320x240", "360",  "29.97", "aac",       "48",  "44100", "2", "",    true,  true},
        {"FLV (Flash Live Video)",           ".flv", "h263",       "352x288", "360",  "25",    "mp3",       "64",  "22050", "1", "",    false, false},
        {"Sony PSP (Normal)",                ".avi", "xvid",       "368x208", "512",  "29.97", "aac",       "64",  "24000", "2", "",    false, false},
        {"Sony PSP (Excellent Quality)",     ".avi", "xvid",       "368x208", "768",  "29.97", "aac",       "64",  "24000", "2", "",    false, false},
        {"Sony PSP (Minimal Size)",          ".avi", "xvid",       "160x112", "216",  "29.97", "aac",       "64",  "24000", "2", "",    false, false},
        {"Sony PSP (PSP AVC)",               ".avi", "h264",       "368x208", "400",  "29.97", "aac",       "128", "48000", "2", "",    false, false, "",    "",   "250", "25", "1500", "128"},
        {"Zune MPEG-4 Video",                ".mp4", "mpeg4",      "320x240", "1500", "29.97", "aac",       "128", "48000", "2", "",    false, false},
        {"Zune MPEG-4 AVC",                  ".avi", "h264",       "320x240", "1500", "29.97", "aac",       "64",  "48000", "2", "",    false, false, "",    "",   "250", "25", "1500", "128"},
        {"Zune WMV",                         ".wmv", "wmv2",       "320x240", "1500", "29.97", "mp3",       "128", "48000", "2", "",    false, false},
        {"3GP (for Mobile)",                 ".3gp", "h263",       "176x144", "120",  "11",    "amr_nb",    "48",  "8000",  "1", "",    false, false, "",    "60"},
        {"3G2 (for Mobile)",                 ".3g2", "mpeg4",      "176x144", "120",  "11",    "amr_nb",    "48",  "8000",  "1", "",    false, false, "",    "60"},
        {"WAVE Sound (WAV)",                 ".wav", "",           "",        "",     "",      "pcm_s16le", "128", "41000", "2", "wav", false, false},
        {"MP3 Sound (MP3)",                  ".mp3", "",           "",        "",     "",      "mp3",       "128", "44100", "2", "mp3", false, false},
        // Today's formats, at the source's size, frame rate and sample rate. The encoders'
        // quality and speed were chosen by measuring them against ffmpeg run directly. H.264 and
        // H.265 in 4:2:0 need even sizes: a source of odd size loses its last row or column (and
        // a picture of one pixel is doubled).
        todaysProfile("MP4 (H.264/AAC, same size as source)", ".mp4",
                      "-vf scale=w='max(iw,2)':h='max(ih,2)',crop=w='floor(iw/2)*2':h='floor(ih/2)*2' "
                      "-c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p "
                      "-c:a aac -b:a 192k -movflags +faststart"),
        // x265 takes no picture under 16x16: a smaller one is enlarged to that.
        todaysProfile("MP4 (H.265/HEVC/AAC, same size as source)", ".mp4",
                      "-vf scale=w='max(iw,16)':h='max(ih,16)',crop=w='floor(iw/2)*2':h='floor(ih/2)*2' "
                      "-c:v libx265 -preset medium -crf 20 -pix_fmt yuv420p -tag:v hvc1 "
                      "-x265-params log-level=error "
                      "-c:a aac -b:a 192k -movflags +faststart"),
        // Opus carries the channel layouts of Vorbis only: another (2.1, 5.1 with side channels,
        // hexagonal) is brought into the nearest of them.
        todaysProfile("WebM (VP9/Opus, same size as source)", ".webm",
                      "-c:v libvpx-vp9 -crf 28 -b:v 0 -deadline good -cpu-used 4 -row-mt 1 -pix_fmt yuv420p "
                      "-c:a libopus -b:a 128k -af aformat=channel_layouts=mono|stereo|3.0|quad|5.0|5.1|6.1|7.1"),
        todaysProfile("MOV (ProRes 422 HQ/PCM, for editing)", ".mov",
                      "-c:v prores_ks -profile:v 3 -vendor apl0 -pix_fmt yuv422p10le "
                      "-c:a pcm_s16le -movflags +faststart"),
        // The frames are stored exactly as they are, no chroma changed: a limited-range film's
        // values pass untouched (FFV1 takes no full-range format: a full-range one is limited).
        // Four slices need a picture of 4x4 at least: a smaller one is enlarged to that.
        todaysProfile("MKV (FFV1/FLAC, lossless)", ".mkv",
                      "-vf scale=w='max(iw,4)':h='max(ih,4)' -c:v ffv1 -level 3 -g 1 -slices 4 -slicecrc 1 "
                      "-c:a flac"),
        // Full colour, unlike a GIF's 256, at the source's rate; a picture holds no sound.
        todaysProfile("Animated WebP (same size as source)", ".webp",
                      "-c:v libwebp_anim -quality 75 -compression_level 4 -pix_fmt yuv420p -loop 0 -an"),
    };
    // clang-format on
    return rows;
}

const ProfileRow* FindProfileRow(const std::string& name)
{
    for (const ProfileRow& row : NamedProfileRows()) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}

}  // namespace tarnivo

#include "ProfileTable.h"

namespace tarnivo {

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

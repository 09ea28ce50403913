#include "ProfileCatalogue.h"

#include <algorithm>

namespace tarnivo {

const std::vector<std::string>& ProfileNames()
{
    static const std::vector<std::string> names = {
        "Custom Format",
        "AVI (MPEG4-DivX-Compatible)",
        "AVI (MPEG4-DivX-Best Quality)",
        "AVI (MPEG4-XviD-Compatible)",
        "AVI (MPEG4-XviD-Best Quality)",
        "Animated GIF (64x48) GIF",
        "Animated GIF (160x120) GIF",
        "Animated GIF (320x240) GIF",
        "Animated GIF (Same as Input) GIF",
        "iPOD Video (320x240) MPEG4",
        "iPOD Video2 (640x480) MPEG4",
        "iPhone Video",
        "iPOD Nano (MP3)",
        "iPOD Mini (MP3)",
        "iPOD Shuffle (MP3)",
        "MPEG (Max Compatible)",
        "MPEG (Best Quality)",
        "WMV(WindowsMedia-Compatible)",
        "WMV(WindowsMedia-Best Quality)",
        "RM (RealONE/RealPlayer)",
        "QuickTime MOV",
        "FLV (Flash Live Video)",
        "Sony PSP (Normal)",
        "Sony PSP (Excellent Quality)",
        "Sony PSP (Minimal Size)",
        "Sony PSP (PSP AVC)",
        "Zune MPEG-4 Video",
        "Zune MPEG-4 AVC",
        "Zune WMV",
        "3GP (for Mobile)",
        "3G2 (for Mobile)",
        "WAVE Sound (WAV)",
        "MP3 Sound (MP3)",
    };
    return names;
}

bool IsProfileName(const std::string& name)
{
    const std::vector<std::string>& names = ProfileNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool CustomPanelEnabledFor(const std::string& profileName) { return profileName == kCustomFormat; }

const CustomOptionLists& OptionLists()
{
    static const CustomOptionLists lists = {
        // Alphabetical up to "zlib", then twelve more names: the display order.
        {"4xm",        "8bps",        "asv1",     "asv2",        "camtasia",   "cinepak",     "cljr",
         "cyuv",       "dvvideo",     "ffv1",     "ffvhuff",     "flic",       "flv",         "h261",
         "h263",       "h263i",       "h263p",    "h264",        "huffyuv",    "idcinvideo",  "indeo3",
         "interplayvideo", "ljpeg",   "loco",     "mdec",        "mjpeg",      "mjpegb",      "pgm",
         "pgmyuv",     "png",         "ppm",      "qdraw",       "qpeg",       "qtrle",       "rawvideo",
         "roqvideo",   "rpza",        "rv10",     "rv20",        "smc",        "snow",        "sp5x",
         "svq1",       "svq3",        "theora",   "truemotion1", "ultimotion", "vc9",         "vcr1",
         "vmdvideo",   "vp3",         "vqavideo", "wmv1",        "wmv2",       "wmv3",        "wnv1",
         "xan_wc3",    "xl",          "xvid",     "zlib",        "mpeg1video", "mpeg2video",  "mpeg4",
         "mpegvideo",  "msmpeg4",     "msmpeg4v1", "msmpeg4v2",  "msrle",      "msvideo1",    "mszh",
         "pam",        "pbm"},
        {"216", "360", "512", "768", "1000", "1200", "1500"},
        {"ac3",           "aac",           "alac",          "amr_nb",        "mp2",
         "mp3",           "mp3adu",        "mp3on4",        "mace3",         "mace6",
         "interplay_dpcm", "pcm_alaw",     "pcm_mulaw",     "pcm_s16be",     "pcm_s16le",
         "pcm_s8",        "pcm_u16be",     "pcm_u16le",     "pcm_u8",        "adpcm_4xm",
         "adpcm_adx",     "adpcm_ct",      "adpcm_ea",      "adpcm_ima_dk3", "adpcm_ima_dk4",
         "adpcm_ima_qt",  "adpcm_ima_smjpeg", "adpcm_ima_wav", "adpcm_ima_ws", "adpcm_ms",
         "adpcm_swf",     "adpcm_xa",      "real_144",      "real_288",      "roq_dpcm",
         "shorten",       "sol_dpcm",      "sonic",         "wmav1",         "wmav2",
         "ws_snd1",       "xan_dpcm",      "sonicls",       "vmdaudio",      "g726",
         "flac"},
        {"48", "64", "80", "128", "192", "256", "384", "512"},
        {"8000", "22050", "44100", "48000"},
        {"30", "29.97", "25", "24", "11"},
        {"128x96", "176x144", "320x240", "352x288", "368x208", "640x480", "704x576", "800x600", "1024x768",
         "1408x1152"},
        {".3g2", ".3gp", ".aif", ".aifc", ".aiff", ".au",  ".avi",  ".snd", ".asf", ".cda",
         ".dvr-ms", ".dv", ".flv", ".ivf", ".mpg",  ".mpeg", ".m1v", ".mp2",  ".mp3", ".mp4",
         ".mpe", ".mpv2", ".m3u", ".mpa", ".mid",  ".midi", ".mov", ".ogg",  ".qt",  ".ra",
         ".rm",  ".ram", ".rmi", ".swf", ".wma",  ".wmv",  ".wm",  ".wav",  ".wmz", ".wms"},
    };
    return lists;
}

}  // namespace tarnivo

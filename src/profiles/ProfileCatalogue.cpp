#include "ProfileCatalogue.h"

#include "MediaContainers.h"

#include <algorithm>
#include <cctype>

namespace tarnivo {

namespace {

struct CatalogueEntry {
    const char* id;    // short, for the command line
    const char* name;  // as the list shows it
};

// The profiles in list order: "Custom Format", the 32 named profiles of old, then today's
// formats.
const std::vector<CatalogueEntry>& Catalogue()
{
    static const std::vector<CatalogueEntry> entries = {
        {"custom", "Custom Format"},
        {"avi-divx", "AVI (MPEG4-DivX-Compatible)"},
        {"avi-divx-best", "AVI (MPEG4-DivX-Best Quality)"},
        {"avi-xvid", "AVI (MPEG4-XviD-Compatible)"},
        {"avi-xvid-best", "AVI (MPEG4-XviD-Best Quality)"},
        {"gif-64", "Animated GIF (64x48) GIF"},
        {"gif-160", "Animated GIF (160x120) GIF"},
        {"gif-320", "Animated GIF (320x240) GIF"},
        {"gif", "Animated GIF (Same as Input) GIF"},
        {"ipod", "iPOD Video (320x240) MPEG4"},
        {"ipod-640", "iPOD Video2 (640x480) MPEG4"},
        {"iphone", "iPhone Video"},
        {"ipod-nano", "iPOD Nano (MP3)"},
        {"ipod-mini", "iPOD Mini (MP3)"},
        {"ipod-shuffle", "iPOD Shuffle (MP3)"},
        {"mpeg", "MPEG (Max Compatible)"},
        {"mpeg-best", "MPEG (Best Quality)"},
        {"wmv", "WMV(WindowsMedia-Compatible)"},
        {"wmv-best", "WMV(WindowsMedia-Best Quality)"},
        {"rm", "RM (RealONE/RealPlayer)"},
        {"mov", "QuickTime MOV"},
        {"flv", "FLV (Flash Live Video)"},
        {"psp", "Sony PSP (Normal)"},
        {"psp-best", "Sony PSP (Excellent Quality)"},
        {"psp-small", "Sony PSP (Minimal Size)"},
        {"psp-avc", "Sony PSP (PSP AVC)"},
        {"zune", "Zune MPEG-4 Video"},
        {"zune-avc", "Zune MPEG-4 AVC"},
        {"zune-wmv", "Zune WMV"},
        {"3gp", "3GP (for Mobile)"},
        {"3g2", "3G2 (for Mobile)"},
        {"wav", "WAVE Sound (WAV)"},
        {"mp3", "MP3 Sound (MP3)"},
        {"mp4", "MP4 (H.264/AAC, same size as source)"},
        {"hevc", "MP4 (H.265/HEVC/AAC, same size as source)"},
        {"webm", "WebM (VP9/Opus, same size as source)"},
        {"prores", "MOV (ProRes 422 HQ/PCM, for editing)"},
        {"lossless", "MKV (FFV1/FLAC, lossless)"},
        {"webp", "Animated WebP (same size as source)"},
    };
    return entries;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

const std::vector<std::string>& ProfileNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const CatalogueEntry& entry : Catalogue())
            list.emplace_back(entry.name);
        return list;
    }();
    return names;
}

bool IsProfileName(const std::string& name)
{
    const std::vector<std::string>& names = ProfileNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string ProfileId(const std::string& name)
{
    for (const CatalogueEntry& entry : Catalogue()) {
        if (name == entry.name)
            return entry.id;
    }
    return std::string();
}

std::string ProfileNameFor(const std::string& idOrName)
{
    if (IsProfileName(idOrName))
        return idOrName;
    for (const CatalogueEntry& entry : Catalogue()) {
        if (lowered(idOrName) == entry.id)
            return entry.name;
    }
    return std::string();
}

bool MeansSameAsSource(const std::string& text) { return lowered(text) == lowered(kSameAsSource); }

std::string CustomContainerProblem(const std::string& videoCodec, const std::string& audioCodec,
                                   const std::string& extension)
{
    const std::optional<media::CodecMisfit> misfit =
        media::CodecThatDoesNotFit(videoCodec, audioCodec, extension);
    if (!misfit)
        return std::string();
    std::string fitting;
    for (const std::string& candidate : misfit->extensions)
        fitting += (fitting.empty() ? "" : ", ") + candidate;
    return "Custom Format: the " + misfit->kind + " codec \"" + misfit->codec +
           "\" cannot be stored in a \"" + extension + "\" file. Choose the extension " + fitting +
           ", or another codec.";
}

bool CustomPanelEnabledFor(const std::string& profileName) { return profileName == kCustomFormat; }

const CustomOptionLists& OptionLists()
{
    static const CustomOptionLists lists = {
        // Alphabetical up to "zlib", then twelve more names, then today's: the display order.
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
         "pam",        "pbm",
         // Today's codecs, appended so that the entries above keep their places.
         "hevc", "vp9", "libsvtav1", "prores"},
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
         "flac",
         "opus"},
        {"48", "64", "80", "128", "192", "256", "384", "512"},
        {"8000", "22050", "44100", "48000", kSameAsSource},
        {"30", "29.97", "25", "24", "11", kSameAsSource},
        {"128x96", "176x144", "320x240", "352x288", "368x208", "640x480", "704x576", "800x600", "1024x768",
         "1408x1152", kSameAsSource},
        {".3g2", ".3gp", ".aif", ".aifc", ".aiff", ".au",  ".avi",  ".snd", ".asf", ".cda",
         ".dvr-ms", ".dv", ".flv", ".ivf", ".mpg",  ".mpeg", ".m1v", ".mp2",  ".mp3", ".mp4",
         ".mpe", ".mpv2", ".m3u", ".mpa", ".mid",  ".midi", ".mov", ".ogg",  ".qt",  ".ra",
         ".rm",  ".ram", ".rmi", ".swf", ".wma",  ".wmv",  ".wm",  ".wav",  ".wmz", ".wms",
         ".mkv", ".webm"},
    };
    return lists;
}

}  // namespace tarnivo

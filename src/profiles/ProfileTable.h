// The engine settings of the 32 named output profiles ("Custom Format" takes its settings from
// the custom panel instead). Plain C++ data, shared by ConvertFLV and by the tests that run the
// profiles' command lines without Qt.
#pragma once

#include <string>
#include <vector>

namespace tarnivo {

// One named profile: its output extension and the engine settings it makes. An empty text is a
// setting the profile leaves unset; the two switches are set only when true.
struct ProfileRow {
    const char* name;
    const char* extension;  // with its leading "."
    const char* videoCodec;
    const char* videoSize;
    const char* videoBitrate;
    const char* videoFrameRate;
    const char* audioCodec;
    const char* audioBitrate;
    const char* audioSamples;
    const char* audioChannels;
    const char* forceFormat;
    bool sameQuality = false;
    bool deInterlace = false;
    const char* videoAspectRatio = "";
    const char* videoBitrateTolerance = "";
    const char* groupOfPictureSize = "";
    const char* videoQuantiserScale = "";
    const char* maxVideoBitrate = "";
    const char* rateControlBuffer = "";
};

// The named profiles in list order (the catalogue's names without "Custom Format").
const std::vector<ProfileRow>& NamedProfileRows();

// The row of exactly this name (letter case included), or null.
const ProfileRow* FindProfileRow(const std::string& name);

}  // namespace tarnivo

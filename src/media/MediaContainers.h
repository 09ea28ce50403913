// What Tarnivo knows about the containers ffmpeg writes: the names and file names that choose
// each, the codecs ffmpeg writes into it when a line names none, the codecs it cannot carry and
// what stands in for them, and its quirks. Each quirk is a column of the table, read by the
// ffmpeg front end, the custom panel's refusal and the job's plan alike. Measured with Debian
// 12's ffmpeg 5.1.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnivo::media {

struct ContainerRow {
    const char* name;                      // ffmpeg's muxer, as "-f" names it
    std::vector<const char*> formats;      // further names after "-f" that choose it
    std::vector<const char*> extensions;   // file names ending so (any letter case) choose it
    const char* defaultVideoEncoder = "";  // what ffmpeg writes when a line names no codec; "" none
    const char* defaultAudioEncoder = "";
    // The only video encoders it carries (empty: any but refusedVideo); another one is written
    // with videoSubstitute. A stream copy ("copy") is never replaced.
    std::vector<const char*> videoEncoders;
    std::vector<const char*> refusedVideo;
    const char* videoSubstitute = "";
    std::vector<const char*> audioEncoders;  // the same for the sound
    const char* audioSubstitute = "";
    bool carriesSound = true;
    bool statesFrameRate = true;         // false: each picture carries its own duration (GIF)
    bool carriesColourTags = false;      // players read the pictures' matrix from the file
    bool keepsPresentationTimes = true;  // false: pictures must be stored in the order they show
    // Encoders whose pictures a reader dates from the stream's rate, which they state only at a
    // whole frame rate.
    std::vector<const char*> wholeRateEncoders;
    // The muxer refuses a packet above its limit, and one picture is one packet: the largest
    // picture, as a rate-control buffer in kbit, that stays under it. 0: no limit.
    int pictureBufferKiloBits = 0;
    // The rules of its default sound encoder's row apply when a line names no sound codec.
    bool defaultSoundFollowsItsRules = false;
    // A destination whose name ends in this text (any letter case, no dot needed) is written in
    // this container too; ffmpeg then needs "-f" to know it.
    const char* anyNameEndingIn = "";
};

const std::vector<ContainerRow>& Containers();

// The container of an output: the one "-f" names (nothing for a name the table does not
// know), else the one the destination's name chooses; null when the table knows none.
const ContainerRow* ContainerFor(const std::string& format, const std::string& destination);

// Whether ffmpeg picks the container from the destination's name by itself (it ends in one of
// the container's extensions).
bool NameTellsContainer(const ContainerRow& container, const std::string& destination);

// The conversion engine writes an animated GIF for a destination whose last three characters
// are "gif" in any letter case: "clip.gif", "CLIP.GIF", and also "mygif" without a dot.
bool IsAnimatedGifName(const std::string& destination);

// The encoder a video (or audio) encoder is written with in container: itself, or the
// container's substitute for one it cannot carry. Null container: itself.
std::string VideoEncoderIn(const ContainerRow* container, const std::string& encoder);
std::string AudioEncoderIn(const ContainerRow* container, const std::string& encoder);

// Why a codec cannot be stored under a file extension: players read it only in some containers,
// and the extension (exactly as typed, any letter case) is none of theirs.
struct CodecMisfit {
    std::string kind;                     // "video" or "sound"
    std::string codec;                    // as it was given
    std::vector<std::string> extensions;  // the extensions that fit, in the table's order
};
std::optional<CodecMisfit> CodecThatDoesNotFit(const std::string& videoCodec, const std::string& audioCodec,
                                               const std::string& extension);

}  // namespace tarnivo::media

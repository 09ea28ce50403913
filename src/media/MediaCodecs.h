// What Tarnivo knows about the codecs ffmpeg writes: the encoder a codec's name stands for, the
// picture sizes, quality modes, sample rates, channels and bitrates each encoder takes, how
// players read the colours of its pictures, and the containers players read some of them in.
// Measured with Debian 12's ffmpeg 5.1; a codec the table does not know passes as it is named.
#pragma once

#include <string>
#include <vector>

namespace tarnivo::media {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// The picture sizes an encoder takes: multiples of `multiple` in both directions, or, when
// `fixedSizes` is not empty, only those sizes (from the smallest up).
struct SizeRule {
    int multiple = 1;
    std::vector<PictureSize> fixedSizes;

    bool TakesAnySize() const { return multiple == 1 && fixedSizes.empty(); }
};

// How an encoder makes constant quality: with a fixed quantiser (-q:v), a rate factor (-crf),
// or not at all.
enum class QualityMode { None, Quantiser, RateFactor };

// How players read the colour matrix of an encoder's pictures.
enum class MatrixReading {
    BySize,       // the stream states none: the container's tags if it has them, else the size
    FromTags,     // the stream carries the matrix it was written in
    AlwaysBt601,  // JPEG, WebP and VP8 pictures are read as BT.601 whatever is stated
    Rgb,          // RGB pictures have no matrix
};

struct VideoCodecRow {
    std::vector<const char*> names;  // what a line may write after -vcodec besides the encoder's name
    const char* encoder;             // the encoder of the system's ffmpeg
    SizeRule sizes;
    QualityMode quality;
    MatrixReading matrix;
    bool reordersPictures;            // B-frames: pictures stored out of the order they are shown in
    std::vector<const char*> onlyIn;  // the only containers players read it in (muxer names); empty: any
};

struct AudioCodecRow {
    std::vector<const char*> names;
    const char* encoder;
    std::vector<int> sampleRates;  // the only rates it takes, from the lowest up; empty: any
    bool statesItsRates;           // ffmpeg knows sampleRates and picks one of them itself
    int channels;                  // the only channel count it takes; 0: any
    std::vector<int> bitrates;     // the only bitrates (bit/s) it takes, from the lowest up; empty: any
    std::vector<const char*> onlyIn;
};

const std::vector<VideoCodecRow>& VideoCodecs();
const std::vector<AudioCodecRow>& AudioCodecs();

// The row that a name written after -vcodec (or -acodec) stands for, by one of its names or its
// encoder's name, letter case as written; null when the table does not know it.
const VideoCodecRow* FindVideoCodec(const std::string& name);
const AudioCodecRow* FindAudioCodec(const std::string& name);

// The encoder a codec's name stands for: its row's, else the name itself.
std::string VideoEncoderOf(const std::string& name);
std::string AudioEncoderOf(const std::string& name);

// The encoders the system's ffmpeg uses for the output of a translated argument list (as the
// ffmpeg front end hands it on): the picture's encoder first, then the sound's, each one named
// by "-vcodec", "-c:v" or "-codec:v" (the sound's by "-acodec", "-c:a" or "-codec:a"; "-c" and
// "-codec" name both), else the default of the output's container (by "-f", else by the
// destination's name) where the table knows it. A kind the line turns off ("-vn", "-an"), a
// stream copied ("copy") and a container without that kind give none. A kind the input does not
// hold is not encoded either: the caller leaves it out.
std::vector<std::string> EncodersUsed(const std::vector<std::string>& translatedArguments);

}  // namespace tarnivo::media

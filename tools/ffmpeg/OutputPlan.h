// What one output of a line asks for, read from its options before any of them is rewritten:
// its switches of the dialect, its container, its codecs' rows in the media table, and the facts
// of its input.
#pragma once

#include "InputFacts.h"
#include "MediaCodecs.h"
#include "MediaContainers.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

struct OutputPlan {
    std::map<std::string, std::string> given;  // each switch of the dialect → its (last) value; "" alone
    std::vector<std::string> options;          // the output's options as written, the destination not
    std::string destination;                   // empty when the line names none
    bool hasDestination = false;
    const media::ContainerRow* container = nullptr;  // null when the table knows it not
    // The pictures' encoder, when the line names a codec the table knows (the container's
    // substitute for one it cannot carry).
    const media::VideoCodecRow* video = nullptr;
    // The sound's encoder whose rules apply: the codec the line names (or the container's
    // substitute), else the container's own where its rules apply; null when none.
    const media::AudioCodecRow* audio = nullptr;
    media::InputFacts input;
    std::optional<double> pictureRate;  // the encoder's rate: the output's "-r", else the input's

    bool Has(const char* dialectSwitch) const { return given.count(dialectSwitch) > 0; }
    std::string Value(const char* dialectSwitch) const;
    // Whether any of the output's options is this one ("-af", "-bf").
    bool HasOption(const char* option) const;
    bool CarriesSound() const { return !container || container->carriesSound; }
    // Whether the output holds pictures: a codec is named for them, or its container has its own.
    bool CarriesPictures() const { return !container || Has("-vcodec") || *container->defaultVideoEncoder; }
    // The encoder of the pictures: the named codec's ("-vcodec", else today's "-c:v"), else the
    // container's own; "" when unknown.
    std::string PictureEncoder() const;
};

// The output's part of a line (after its last input): its options, and last its destination
// when it names one (a file name, "-" included, that is not the value of a switch).
OutputPlan PlanOutput(const std::vector<std::string>& output, const media::InputFacts& input);

}  // namespace tarnivo::ffmpeg_front_end

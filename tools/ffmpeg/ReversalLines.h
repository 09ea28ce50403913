// The reversal's lines as designed, with what today's ffmpeg needs beyond them, from the facts
// the job gives (ReversalFacts.h):
//   frames   "-i SRC -an -qscale 1 %06d.jpg": the frames' filter chain (pictures made
//            progressive and brought into the frames' colours, one constant rate from the span's
//            start) and the JPEG writer's options; with a length (a part of the film), sought to
//            the start and no frame beyond the length;
//   rebuild  "-f image2  -i Renamed/image%d.jpg -vcodec mpeg4 T": read back at the rate they were
//            written at, and carried into the AVI as they are ("-vcodec copy"), losing nothing more;
//   sound    "-i SRC -vn -ac 2 A": laid on the film's timeline from its start, then cut and
//            padded to the picture's span, so that picture and sound stay together reversed
//            (without a picture, the part of the sound asked for); for a profile that keeps
//            them, the source's channels instead of two;
//   join     "-i T -i B  -c copy -map 0:v:0 -map 1:a:0 -shortest V" of a boomerang: the forward
//            sound before the reversed one, which turns with the picture.
// A line of none of these shapes, or without the facts for its shape, is left as it is.
#pragma once

#include "ReversalFacts.h"

#include <string>
#include <vector>

namespace tarnivo::ffmpeg_front_end {

// The line with the additions its shape takes from the facts.
std::vector<std::string> WithReversalFacts(const std::vector<std::string>& arguments,
                                           const media::ReversalFacts& facts);

}  // namespace tarnivo::ffmpeg_front_end

// What one ffmpeg run says about its progress on standard error, read line by line: what it
// reads (the first input's length), what it writes (the output's rate), and how far it is
// ("frame=", "time=", "fps=").
#pragma once

#include <QString>

namespace tarnivo {

class ToolLineReader {
public:
    // One line of standard error (ffmpeg ends its progress lines with CR, the others with LF).
    // Returns true when it told something about the progress.
    bool Read(const QString& line);
    // The run reads only so many seconds of its first input (a part of a film).
    void LimitInput(double seconds) { m_inputLimit = seconds; }
    // The part of the run done so far, 0 to 1: the frames written against the frames the
    // output will hold (the first input's length at the output's rate), or, for a run that
    // writes no frames (sound), its position against the first input's length. 0 while unknown.
    double Fraction() const;
    // The frames the output will hold; 0 while unknown or for a run without a picture.
    double FramesToWrite() const;
    qint64 FramesWritten() const { return m_frames; }
    // The speed ffmpeg states (0 during its first second).
    double StatedFramesPerSecond() const { return m_framesPerSecond; }

private:
    double InputSeconds() const;

    double m_inputSeconds = 0;
    double m_inputLimit = 0;
    double m_outputRate = 0;
    bool m_inOutputSection = false;
    qint64 m_frames = -1;
    double m_seconds = -1;
    double m_framesPerSecond = 0;
};

}  // namespace tarnivo

// How far a job is, measured by the tools themselves: ffmpeg's progress lines ("frame=",
// "time=") against what the run is to make (the frames the extraction will write, the length of
// the intermediate a conversion reads). The job reports a JobProgress whenever it changes; both
// faces show it.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

namespace tarnivo {

// The steps of one file, in the order they run.
enum class JobStep { Frames, Sound, Rebuilding, Converting };

// "frames", "sound", "rebuilding", "converting".
QString StepName(JobStep step);
// "reversing" for the three steps of the reversal, "converting" for the conversion.
QString PhaseName(JobStep step);

struct JobProgress {
    int file = 0;  // the file worked on, counting from 1
    int fileCount = 0;
    JobStep step = JobStep::Frames;
    // Parts done, from 0 to 1: of the running step, of the file's reversal or conversion (as
    // PhaseName says), of the file and of the whole job. None of them ever goes back in a job.
    double stepFraction = 0;
    double phaseFraction = 0;
    double fileFraction = 0;
    double jobFraction = 0;
    double framesPerSecond = 0;  // the running tool's speed as it reports it; 0 when it does not
    qint64 elapsedMs = 0;        // since the job started
    qint64 fileLeftMs = -1;      // estimates of the time left; -1 while there is none
    qint64 jobLeftMs = -1;
};

// A duration as a clock shows it: "0:07", "12:34", "1:02:03".
QString ClockText(qint64 milliseconds);

// What one ffmpeg run has said about its progress on standard error, line by line.
class ToolProgressReader {
public:
    // One line of standard error (ffmpeg ends its progress lines with CR, the others with LF).
    // Returns true when it told something about the progress.
    bool Read(const QString& line);
    // The part of the run done so far, 0 to 1: the frames written against the frames the
    // output will hold (the first input's length at the output's rate), or, for a run that
    // writes no frames (sound), its position against the first input's length. 0 while unknown.
    double Fraction() const;
    double FramesPerSecond() const { return m_framesPerSecond; }

private:
    double m_inputSeconds = 0;
    double m_outputRate = 0;
    bool m_inOutputSection = false;
    qint64 m_frames = -1;
    double m_seconds = -1;
    double m_framesPerSecond = 0;
};

// Turns what the job and its tools tell into JobProgress reports.
class JobProgressTracker {
public:
    using Report = std::function<void(const JobProgress&)>;
    explicit JobProgressTracker(Report report) : m_report(std::move(report)) {}

    void StartJob(int fileCount);
    void StartFile(int file);
    // The file's conversion begins (its reversal is over).
    void StartConversion();
    // A tool started for the current file: the reversal's step follows from which tool it is.
    void ToolStarted(const QString& program, const QStringList& arguments);
    void ToolLine(const QString& line);
    // The file is over, made or not.
    void FinishFile();

    const JobProgress& Current() const { return m_progress; }

    // Shares of a file's time that each step takes, as measured on a 20 s 720p clip with the
    // default profile (frames 4.2 s, sound 0.1 s, rebuilding 0.2 s, converting 3.5 s); they add
    // up to 1.
    static double StepWeight(JobStep step);

private:
    void EnterStep(JobStep step);
    void Update(double stepFraction);
    void Emit();

    Report m_report;
    JobProgress m_progress;
    ToolProgressReader m_tool;
    QElapsedTimer m_jobClock;
    QElapsedTimer m_fileClock;
    bool m_reversalOver = false;
};

}  // namespace tarnivo

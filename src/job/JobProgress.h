// How far a job is, measured by the tools themselves: ffmpeg's progress lines ("frame=",
// "time=") against what the run is to make (the frames the extraction will write, the length of
// the intermediate a conversion reads). The job reports a JobProgress whenever it changes, and
// twice a second while it runs; it is the one account of the job's progress that both faces
// show: the window's progress bar and Status column, tarnivo-reverse's progress line.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace tarnivo {

// The steps of one file, in the order they run.
// Checking is the read-back of the conversion's result.
enum class JobStep { Frames, Sound, Rebuilding, Joining, Converting, Checking };

// "frames", "sound", "rebuilding", "joining", "converting", "checking".
QString StepName(JobStep step);
// "reversing" for the steps of the reversal, "converting" for the conversion and its check.
QString PhaseName(JobStep step);

// The window's progress bar when no conversion runs.
inline const QString kIdleProgressText = QStringLiteral("Progress Bar");

struct JobProgress {
    int file = 0;  // the file worked on, counting from 1
    int fileCount = 0;
    JobStep step = JobStep::Frames;
    // Parts done, from 0 to 1: of the running step, of the file's reversal or conversion (as
    // PhaseName says), of the file and of the whole job. None of them ever goes back in a job,
    // and none but the step's reaches 1 before its part is over.
    double stepFraction = 0;
    double phaseFraction = 0;
    double fileFraction = 0;
    double jobFraction = 0;
    double framesPerSecond = 0;  // the running tool's speed; 0 while it has written no frame
    qint64 elapsedMs = 0;        // since the job started
    qint64 fileLeftMs = -1;      // estimates of the time left; -1 while there is none
    qint64 jobLeftMs = -1;
    bool jobOver = false;  // the last report of a job: its files' outcomes tell the rest
    // The window's progress bar: i / N x 100 at the start of row i; while a conversion runs,
    // the engine's pulse (25, 50, 75, 100, and round again) with "Please wait... " and the
    // engine's tick count; "Progress Bar" at 0 after every conversion and at the job's end.
    int barValue = 0;
    QString barText = kIdleProgressText;
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
    // The frames the output will hold; 0 while unknown or for a run without a picture.
    double FramesToWrite() const;
    qint64 FramesWritten() const { return m_frames; }
    // The speed ffmpeg states (0 during its first second).
    double StatedFramesPerSecond() const { return m_framesPerSecond; }

private:
    double m_inputSeconds = 0;
    double m_outputRate = 0;
    bool m_inOutputSection = false;
    qint64 m_frames = -1;
    double m_seconds = -1;
    double m_framesPerSecond = 0;
};

// The time left of a piece of work, from how far it is at what time (milliseconds on any one
// clock). It tells nothing until the rate is steady: the work has gone on for a while since its
// first progress (the time a tool takes to start says nothing of its rate) and some of it is
// done. From then on it counts down, and each new measure of the rate (over the last few
// seconds) corrects the countdown smoothly rather than making it jump. It never tells more
// than the bound it is given.
class TimeLeftEstimate {
public:
    static constexpr qint64 kSteadyAfterMs = 1500;  // since the first progress
    static constexpr double kSteadyFraction = 0.02;
    static constexpr qint64 kRateWindowMs = 6000;
    static constexpr qint64 kSmoothingMs = 2500;

    void Start(qint64 nowMs);
    // The work is fraction done at nowMs; boundMs is the most the rest can take (-1 when no
    // bound is known). Returns the time left, or -1 while the rate is not steady.
    qint64 Update(qint64 nowMs, double fraction, qint64 boundMs);

private:
    struct Sample {
        qint64 ms;
        double fraction;
    };
    std::deque<Sample> m_samples;
    qint64 m_firstProgressMs = -1;
    double m_shownMs = -1;
    qint64 m_shownAtMs = 0;
};

// What a step of a file costs: a fixed part and a part per frame of the film, in seconds.
struct StepCost {
    double fixedSeconds;
    double secondsPerFrame;
};

// Turns what the job, its engine and its tools tell into JobProgress reports.
class JobProgressTracker {
public:
    using Report = std::function<void(const JobProgress&)>;
    explicit JobProgressTracker(Report report) : m_report(std::move(report)) {}

    void StartJob(int fileCount);
    // Row file begins; rowCount is the job list's row count now (the bar's i / N x 100).
    void StartFile(int file, int rowCount);
    // The file's conversion begins (its reversal is over).
    void StartConversion();
    // A tool started for the current file: the reversal's step follows from which tool it is.
    void ToolStarted(const QString& program, const QStringList& arguments);
    void ToolLine(const QString& line);
    // The engine's events while it converts: a tick with its count, the end of a run (its result
    // is checked next), a refusal.
    void EngineTick(qint32 waitCounter);
    void ConversionEnded();
    void ConversionRefused();
    // The file is over, made or not.
    void FinishFile();
    // Tells the time as it passes, when no tool says anything.
    void Refresh();
    // The last report of a job: the bar back at rest.
    void FinishJob();

    const JobProgress& Current() const { return m_progress; }

    // The share of a file's time that a step takes, for a film of so many frames (fixed costs
    // weigh more in a short film); the shares of the steps add up to 1.
    static StepCost CostOf(JobStep step);
    static double StepWeight(JobStep step, double frames);
    // The file's part done when step is stepFraction done; the reversal's part while the step
    // is one of the reversal, the conversion's while it converts.
    static double FileFraction(JobStep step, double stepFraction, double frames);
    static double PhaseFraction(JobStep step, double stepFraction, double frames);
    // The frames taken for a film until its extraction tells how many it has (10 s at 25 fps).
    static constexpr double kTypicalFrames = 250;

    // The most a file's rest can take: kFramePasses passes over its frames at the slowest speed
    // its tools have stated, and a few seconds for starting the tools and reading the result
    // back, for the part of the file not yet done. -1 while no speed is known.
    static constexpr double kFramePasses = 4;
    static constexpr qint64 kToolsAllowanceMs = 5000;
    static qint64 FileBoundMs(double frames, double slowestFramesPerSecond, double fileFraction);

private:
    void EnterStep(JobStep step);
    void Update(double stepFraction);
    void ReadSpeed();
    void FoldStatedSpeed();
    void Estimate();
    void Emit();

    Report m_report;
    JobProgress m_progress;
    ToolProgressReader m_tool;
    QElapsedTimer m_jobClock;
    qint64 m_toolStartMs = 0;
    TimeLeftEstimate m_fileLeft;
    TimeLeftEstimate m_jobLeft;
    double m_fileFrames = 0;    // the film's frames, once the extraction has said
    double m_statedSpeed = 0;   // the speed the running tool stated last
    double m_slowestSpeed = 0;  // the slowest last stated speed of this file's tools
    bool m_reversalOver = false;
    bool m_soundReversed = false;  // SoX has run for this file
    qint16 m_pulsePhase = 0;       // the bar's pulse position, 0 to 3
};

}  // namespace tarnivo

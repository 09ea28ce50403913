// How far a job is: the one account of its progress that both faces show (the window's Status
// column and launcher entry, tarnivo-reverse's progress line). The job tells the tracker which
// step of which file runs and hands it the running tool's lines; the tracker measures the step
// by the tool's own words (ToolLineReader.h), the file and the job by the model of the steps'
// costs (StepCosts.h), and the time left by the job's pace (TimeLeft.h).
#pragma once

#include "StepCosts.h"
#include "TimeLeft.h"
#include "ToolLineReader.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <deque>
#include <utility>
#include <vector>

namespace tarnivo {

struct JobProgress {
    int file = 0;  // the file worked on, counting from 1; 0 before the first
    int fileCount = 0;
    JobStep step = JobStep::Room;
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
    bool planning = false;    // the files are being checked, before any is worked on
    bool paused = false;      // the job's tools are stopped for a while
    bool cancelling = false;  // the job was cancelled and is winding down
    bool jobOver = false;     // the last report of a job: its files' outcomes tell the rest
};

// A duration as a clock shows it: "0:07", "12:34", "1:02:03".
QString ClockText(qint64 milliseconds);
// A time left as a countdown shows it: whole seconds rounded up, so that "0:00" is only shown
// once nothing is left.
QString TimeLeftText(qint64 milliseconds);

// Turns what the job tells into JobProgress reports.
class JobProgressTracker {
public:
    using Report = std::function<void(const JobProgress&)>;
    explicit JobProgressTracker(Report report) : m_report(std::move(report)) {}

    // A job of fileCount rows begins with its plan.
    void StartJob(int fileCount);
    // The plan is made: the work of every row (nothing for a row that will not be worked on)
    // and what the conversion makes of each frame.
    void Planned(std::vector<FileWork> files, const ConversionWork& conversion);
    // Row file begins.
    void StartFile(int file);
    void EnterStep(JobStep step);
    // A line of the running step's tool.
    void ToolLine(const QString& line);
    // The file's frames, once they are counted.
    void FramesCounted(int frames);
    // The file is over, made or not.
    void FinishFile();
    void Pause(bool paused);
    void Cancelling();
    // Tells the time as it passes, when no tool says anything.
    void Refresh();
    // The last report of a job.
    void FinishJob();

    const JobProgress& Current() const { return m_progress; }

private:
    const FileWork& CurrentFile() const;
    double FileModelSeconds(int file) const;
    void Update(double stepFraction);
    qint64 StepLeftMs() const;
    void Estimate();
    void Emit();

    Report m_report;
    JobProgress m_progress;
    std::vector<FileWork> m_files;
    std::vector<double> m_finishedSeconds;  // model seconds of each finished file; -1 before
    ConversionWork m_conversion;
    ToolLineReader m_tool;
    QElapsedTimer m_jobClock;
    TimeLeftEstimate m_fileLeft;
    TimeLeftEstimate m_jobLeft;
    qint64 m_stepStartMs = 0;
    // The running step's progress as its tool told it: (ms on the job's clock, step fraction),
    // the oldest one within the rate's window first.
    std::deque<std::pair<qint64, double>> m_stepSamples;
    double m_fileDone = 0;  // model seconds of the current file done
    double m_jobDone = 0;   // model seconds of the files before it
};

}  // namespace tarnivo

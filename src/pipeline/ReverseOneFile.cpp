#include "ReverseOneFile.h"

#include "ToolNames.h"
#include "CommandLine.h"
#include "FailureReason.h"
#include "FileRoutines.h"
#include "MessageSink.h"
#include "ProcessRunner.h"
#include "SourceIdentity.h"
#include "WorkFolder.h"
#include "WorkSpace.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tarnivo {

namespace {

// Frames renamed in one turn of the event loop: a few milliseconds of work, so that a film of
// tens of thousands of frames never holds the application up.
constexpr size_t kFramesRenamedAtOnce = 200;
constexpr int kFramesDeletedAtOnce = 500;

bool canBeCarried(const QString& text) { return CanBeCarriedOnCommandLine(text.toStdString()); }

void makePrivateFolder(const QString& folder)
{
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw FileRoutineError("Cannot create " + folder.toStdString() + ": " + std::strerror(errno));
}

void moveFile(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw FileRoutineError("Cannot move " + from.toStdString() + " to " + to.toStdString() + ": " +
                               std::strerror(errno));
}

// A second name for a file, which takes no room; a copy where the file system has no links.
void linkFile(const QString& file, const QString& link)
{
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()) == 0)
        return;
    const int linkError = errno;
    if (linkError == EEXIST || !QFile::copy(file, link))
        throw FileRoutineError("Cannot give " + file.toStdString() + " the name " + link.toStdString() +
                               ": " + std::strerror(linkError));
}

QString renumberedName(const QString& renamed, int number)
{
    return renamed + QStringLiteral("/image") + QString::number(number) + QStringLiteral(".jpg");
}

// Larger than any camera's picture (8K is 7680x4320): where ffmpeg's encoders find their limits.
bool isVeryLarge(const SourceFacts& source) { return source.width > 8192 || source.height > 8192; }

const QString kStoppedReason = QStringLiteral("it was stopped");

}  // namespace

ReverseOneFile::ReverseOneFile(RunningTools& tools, const StepErrorReporter& report, QObject* parent)
    : QObject(parent), m_tools(tools), m_report(report)
{
    qRegisterMetaType<ReversalResult>();
}

ReverseOneFile::~ReverseOneFile() = default;

void ReverseOneFile::Start(const QString& S, const SourceFacts& facts, const QString& FQ,
                           const ReversalOptions& options)
{
    m_source = S;
    m_facts = facts;
    m_FQ = FQ;
    m_options = options;
    // Everything happens from the event loop: the caller is never re-entered from here.
    QTimer::singleShot(0, this, [this] {
        if (!canBeCarried(m_source))
            return Fail(QStringLiteral("the file name holds a line break, which cannot be passed to "
                                       "ffmpeg; please rename the file"));
        if (const QString problem = PrepareWorkFolder(); !problem.isEmpty())
            return Fail(problem);
        m_paths = CurrentReversalPaths();
        // Leftovers of a run that was killed part-way would be mixed into this file.
        DeleteExtractedFrames(m_paths.work);
        KillFiles(m_paths.rebuilt);
        KillFiles(m_paths.result);
        if (!m_facts.readable)
            return Fail(m_facts.problem);
        // The facts were read from the film as it was then: it must be the same one still.
        if (m_facts.identity.size < 0) {
            if (const QString notAFile = RecordSourceIdentity(m_source, &m_facts.identity);
                !notAFile.isEmpty())
                return Fail(notAFile);
        }
        if (!SourceUnchanged(m_source, m_facts.identity))
            return Fail(kSourceChangedReason);
        if (!m_facts.hasPicture && !m_facts.hasSound)
            return Fail(
                QStringLiteral("the file holds neither a picture nor a sound that could be reversed."));
        m_span = SpanFor(m_facts, m_options.part);
        m_span.fieldOrder = FieldOrderToUndo(m_facts);
        m_span.colours = ChooseFrameColours(m_facts);
        CheckRoom();
    });
}

void ReverseOneFile::Stop()
{
    if (m_over)
        return;
    m_stopped = true;
    if (m_run)
        m_run->Stop();
    if (m_room)
        m_room->Stop();
}

ToolRun* ReverseOneFile::NewRun(ReversalStep step)
{
    emit StepStarted(step);
    // The run before may be the one whose end is being handled: it goes once that is over.
    if (m_run)
        m_run->deleteLater();
    m_run = new ToolRun(this);
    connect(m_run, &ToolRun::Line, this, &ReverseOneFile::ToolLine);
    return m_run;
}

// The reason a step's run gives the user: a full disk with the working folder, else the tool's
// most telling word, else a sentence of ours.
QString ReverseOneFile::StepReason(const QString& tool, const ToolOutcome& outcome,
                                   const QString& fallback) const
{
    return ToolFailureReason(tool, outcome.status, outcome.errorLines, fallback,
                             {QStringLiteral("working folder"), m_paths.work});
}

void ReverseOneFile::CheckRoom()
{
    emit StepStarted(ReversalStep::Room);
    m_room = new RoomCheck(RoomQuestion(m_source, m_facts, m_span, m_options), m_paths.work, m_tools, this);
    connect(m_room, &RoomCheck::Finished, this, [this](const QString& problem) {
        m_room->deleteLater();
        m_room = nullptr;
        if (m_stopped)
            return Fail(kStoppedReason);
        if (!problem.isEmpty())
            return Fail(problem);
        if (!SourceUnchanged(m_source, m_facts.identity))
            return Fail(kSourceChangedReason);
        if (m_facts.hasPicture)
            ExtractFrames();
        else
            ExtractSound();
    });
    m_room->Start(RoomCheck::Purpose::Check);
}

void ReverseOneFile::ExtractFrames()
{
    m_report.Run(2, [&] { WriteTextToFile(QStringLiteral("jpg2avi"), m_paths.marker); });
    m_report.Run(3, [&] { WriteTextToFile(FrameExtractionBatch(m_FQ, m_source), m_paths.extractBatch); });
    ToolRun* run = NewRun(ReversalStep::Frames);
    connect(run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        KillFiles(m_paths.extractBatch);
        const bool changed = !SourceUnchanged(m_source, m_facts.identity);
        if (m_stopped || changed || !outcome.Succeeded()) {
            // A failed or killed extraction leaves a cut frame set: nothing goes on with it.
            DeleteExtractedFrames(m_paths.work);
            if (m_stopped)
                return Fail(kStoppedReason);
            if (changed)
                return Fail(kSourceChangedReason);
            if (SaysEncoderRefused(outcome.errorLines) && isVeryLarge(m_facts))
                return Fail(QStringLiteral("the picture is %1x%2, larger than ffmpeg's JPEG encoder takes "
                                           "for the frames; scale the film down first (to 3840x2160 or less)")
                                .arg(m_facts.width)
                                .arg(m_facts.height));
            return Fail(StepReason(QStringLiteral("ffmpeg"), outcome,
                                   QStringLiteral("ffmpeg could not read the pictures of this file.")));
        }
        m_lastExtraction = outcome;
        RenumberFrames();
    });
    run->StartBatchFile(m_tools, m_paths.extractBatch, m_paths.work, StepEnvironment(&m_span, m_options));
}

// Frames W/000001.jpg ... become R/image1.jpg (the last frame) ... R/imageN.jpg (the first).
void ReverseOneFile::RenumberFrames()
{
    DeleteRenumberedFrames(m_paths.renamed);
    m_report.Run(8, [&] {
        if (!FolderExists(m_paths.renamed))
            makePrivateFolder(m_paths.renamed);
    });
    m_toRenumber = FramesLastFirst(m_paths.work, ListFiles(m_paths.work, QStringLiteral("*.jpg")));
    m_renumbered = 0;
    RenumberSome();
}

void ReverseOneFile::RenumberSome()
{
    if (m_stopped) {
        DeleteExtractedFrames(m_paths.work);
        DeleteRenumberedFrames(m_paths.renamed);
        return Fail(kStoppedReason);
    }
    const size_t end = std::min(m_toRenumber.size(), m_renumbered + kFramesRenamedAtOnce);
    const int count = static_cast<int>(m_toRenumber.size());
    for (; m_renumbered < end; ++m_renumbered) {
        const Frame& frame = m_toRenumber[m_renumbered];
        const RenumberedPlaces places =
            RenumberedPlacesOf(static_cast<int>(m_renumbered), count, m_options.boomerang);
        const QString backward = renumberedName(m_paths.renamed, places.backward);
        m_report.Run(15, [&] {
            moveFile(frame.path, backward);
            // A boomerang's frame also runs forwards: a second name for the same file.
            if (places.forward > 0)
                linkFile(backward, renumberedName(m_paths.renamed, places.forward));
        });
    }
    if (m_renumbered < m_toRenumber.size()) {
        QTimer::singleShot(0, this, &ReverseOneFile::RenumberSome);
        return;
    }
    m_frames = static_cast<int>(m_toRenumber.size());
    m_toRenumber.clear();
    if (m_frames == 0) {
        DeleteRenumberedFrames(m_paths.renamed);
        // The header may have claimed a film longer than its pictures go.
        if (!m_options.part.IsWhole() && m_lastExtraction.Succeeded())
            return Fail(QStringLiteral("the part %1 holds no picture of the film: it ends earlier")
                            .arg(FilmPartText(m_options.part)));
        return Fail(StepReason(QStringLiteral("ffmpeg"), m_lastExtraction,
                               QStringLiteral("ffmpeg could not read any picture of this file.")));
    }
    m_span.length = m_frames / FrameRateValue(m_span.frameRate);
    if (m_facts.hasSound)
        ExtractSound();
    else
        RebuildVideo();
}

void ReverseOneFile::ExtractSound()
{
    KillFiles(m_paths.audio);
    KillFiles(m_paths.reversed);
    ToolRun* run = NewRun(ReversalStep::Sound);
    connect(run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        const bool changed = !SourceUnchanged(m_source, m_facts.identity);
        if (m_stopped || changed || !outcome.Succeeded() || !IsFile(m_paths.audio)) {
            // A tool that fails part-way can leave a cut-off file behind.
            KillFiles(m_paths.audio);
            return Fail(m_stopped ? kStoppedReason
                        : changed
                            ? kSourceChangedReason
                            : StepReason(QStringLiteral("ffmpeg"), outcome,
                                         QStringLiteral("ffmpeg could not read the sound of this file.")));
        }
        ReverseSound();
    });
    run->StartCommandLine(m_tools, SoundExtractionCommandLine(m_FQ, m_source, m_paths.audio),
                          StepEnvironment(m_facts.hasPicture ? &m_span : nullptr, m_options));
}

void ReverseOneFile::ReverseSound()
{
    ToolRun* run = NewRun(ReversalStep::Sound);
    connect(run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        // Only the reversed sound is read from here on, and a boomerang's forward sound.
        const bool failed = m_stopped || !outcome.Succeeded() || !IsFile(m_paths.reversed);
        if (failed || !m_options.boomerang)
            KillFiles(m_paths.audio);
        if (failed) {
            KillFiles(m_paths.reversed);
            return Fail(m_stopped
                            ? kStoppedReason
                            : StepReason(QStringLiteral("SoX"), outcome,
                                         QStringLiteral("SoX could not reverse the sound of this file.")));
        }
        if (m_facts.hasPicture)
            RebuildVideo();
        else
            JoinPictureAndSound();
    });
    run->StartCommandLine(
        m_tools, QuoteForCommandLine(m_paths.work + QLatin1Char('/') + QLatin1String(media::kSoxToolName)) +
                     QLatin1Char(' ') + QuoteForCommandLine(m_paths.audio) + QLatin1Char(' ') +
                     QuoteForCommandLine(m_paths.reversed) + QStringLiteral(" reverse"));
}

// T from the renumbered frames. The frames are deleted as soon as T holds them (or could not be
// made of them): the working folder then never holds the frames twice over.
void ReverseOneFile::RebuildVideo()
{
    m_report.Run(23, [&] { WriteTextToFile(QStringLiteral("jpg2avi"), m_paths.marker); });
    m_report.Run(24,
                 [&] { WriteTextToFile(FrameRebuildBatch(m_FQ, m_paths.rebuilt), m_paths.rebuildBatch); });
    ToolRun* run = NewRun(ReversalStep::Rebuilding);
    connect(run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        DeleteFramesThen([this, outcome] {
            if (m_stopped || !outcome.Succeeded() || !IsFile(m_paths.rebuilt)) {
                KillFiles(m_paths.rebuilt);
                return Fail(m_stopped ? kStoppedReason
                                      : StepReason(QStringLiteral("ffmpeg"), outcome,
                                                   QStringLiteral(
                                                       "ffmpeg could not rebuild the video from its frames.")));
            }
            JoinPictureAndSound();
        });
    });
    run->StartBatchFile(m_tools, QLatin1Char('"') + m_paths.rebuildBatch + QLatin1Char('"'), m_paths.work,
                        StepEnvironment(&m_span, m_options));
}

// The renumbered frames are deleted a share at a time from the event loop, as they were renamed:
// a long film's tens of thousands of frames would hold the application up.
void ReverseOneFile::DeleteFramesThen(std::function<void()> then)
{
    m_toDelete = QDir(m_paths.renamed).entryList(QDir::Files | QDir::Hidden | QDir::System);
    m_toDelete.removeIf([](const QString& name) { return !IsRenumberedFrameName(name); });
    m_afterDeleting = std::move(then);
    DeleteSomeFrames();
}

void ReverseOneFile::DeleteSomeFrames()
{
    const int count = std::min<int>(kFramesDeletedAtOnce, m_toDelete.size());
    for (int i = 0; i < count; ++i)
        KillFiles(m_paths.renamed + QLatin1Char('/') + m_toDelete.at(i));
    m_toDelete.remove(0, count);
    if (!m_toDelete.isEmpty()) {
        QTimer::singleShot(0, this, &ReverseOneFile::DeleteSomeFrames);
        return;
    }
    std::exchange(m_afterDeleting, nullptr)();
}

// The joined V from T and B; T is deleted as soon as V holds it.
void ReverseOneFile::JoinPictureAndSound()
{
    ToolRun* run = NewRun(ReversalStep::Joining);
    connect(run, &ToolRun::Finished, this, [this](const ToolOutcome& outcome) {
        KillFiles(m_paths.rebuilt);
        if (m_options.boomerang)
            KillFiles(m_paths.audio);
        if (m_stopped || !outcome.Succeeded() || !IsFile(m_paths.result)) {
            KillFiles(m_paths.result);
            return Fail(m_stopped ? kStoppedReason
                                  : StepReason(QStringLiteral("ffmpeg"), outcome,
                                               QStringLiteral(
                                                   "ffmpeg could not join the reversed picture and sound.")));
        }
        Succeed();
    });
    run->StartCommandLine(m_tools, JoinCommandLine(m_FQ, m_paths, m_facts.hasPicture, m_facts.hasSound),
                          JoinEnvironment(m_facts.hasPicture ? &m_span : nullptr, m_options, m_paths));
}

void ReverseOneFile::Succeed()
{
    m_over = true;
    ReversalResult made;
    made.made = true;
    made.picture = {m_span.colours, m_frames > 0 ? m_span.frameRate : QString(),
                    IntermediateFrames(m_frames, m_options.boomerang)};
    emit Finished(made);
}

void ReverseOneFile::Fail(const QString& reason)
{
    m_over = true;
    if (!m_paths.work.isEmpty()) {
        DeleteRenumberedFrames(m_paths.renamed);
        KillFiles(m_paths.rebuilt);
        if (m_options.boomerang)
            KillFiles(m_paths.audio);
    }
    ReversalResult result;
    result.stopped = m_stopped;
    result.failureReason = reason;
    emit Finished(result);
}

}  // namespace tarnivo

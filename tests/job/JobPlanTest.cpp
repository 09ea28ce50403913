// The plan of a job: its rules for the choices and for each file, and a job whose files cannot be
// made, which must not write a single frame.
#include "AVC.h"
#include "JobPlan.h"
#include "MediaTestSupport.h"
#include "RecordingFace.h"
#include "ReverseJob.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

const char* const kXvid = "AVI (MPEG4-XviD-Best Quality)";

CustomFormatValues Custom(const QString& video, const QString& extension)
{
    CustomFormatValues custom;
    custom.videoCodec = video;
    custom.extension = extension;
    return custom;
}

// The encoders every profile of this table needs, and what a build without libxvid lacks.
QSet<QString> Encoders(bool withXvid)
{
    QSet<QString> encoders{"mpeg4", "libx264",   "aac", "libmp3lame",
                           "mp2",   "pcm_s16le", "gif", "4xm-not-here"};
    if (withXvid)
        encoders << "libxvid";
    return encoders;
}

// The choices no file could be made with: refused at once, with a reason that names them.
TEST(JobPlan, ChoicesThatMakeNoFileAreRefusedWithTheirReason)
{
    CustomFormatValues badRate = Custom("mpeg4", ".avi");
    badRate.videoFrameRate = "fast";
    CustomFormatValues badSize = Custom("mpeg4", ".avi");
    badSize.videoSize = "0x480";
    CustomFormatValues badSamples = Custom("mpeg4", ".avi");
    badSamples.audioSamples = "44";
    CustomFormatValues sameAsSource = Custom("mpeg4", ".avi");
    sameAsSource.videoSize = "Same as source";
    sameAsSource.videoFrameRate = "ntsc";
    sameAsSource.videoBitrate = "2M";
    struct Row {
        const char* what;
        QString profile;
        CustomFormatValues custom;
        std::optional<QSet<QString>> encoders;
        QString reasonHolds;  // empty: no reason
    };
    const std::vector<Row> rows{
        {"a profile of the list", kXvid, {}, Encoders(true), ""},
        {"encoders not known yet", kXvid, {}, std::nullopt, ""},
        {"a stored profile no more defined",
         "Some Old Profile",
         {},
         Encoders(true),
         "\"Some Old Profile\" is not defined"},
        {"no profile chosen", "", {}, Encoders(true), "No output profile is chosen"},
        {"an encoder this ffmpeg lacks", kXvid, {}, Encoders(false), "cannot write \"libxvid\""},
        {"a listed codec this ffmpeg cannot write", "Custom Format", Custom("4xm", ".avi"), Encoders(true),
         "cannot write \"4xm\""},
        {"a codec its container cannot hold", "Custom Format", Custom("hevc", ".avi"), Encoders(true),
         "cannot be stored in a \".avi\" file"},
        {"a frame rate that is no number", "Custom Format", badRate, Encoders(true), "frame rate \"fast\""},
        {"a size without width", "Custom Format", badSize, Encoders(true), "size \"0x480\""},
        {"a sample rate no sound has", "Custom Format", badSamples, Encoders(true), "sample rate \"44\""},
        {"names and units ffmpeg takes", "Custom Format", sameAsSource, Encoders(true), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QString reason = ChoicesProblem(row.profile, row.custom, row.encoders);
        if (row.reasonHolds.isEmpty())
            EXPECT_EQ(reason, QString());
        else
            EXPECT_TRUE(reason.contains(row.reasonHolds)) << reason.toStdString();
    }
}

// A file that cannot be made with the choice is refused with its reason; the others go on.
TEST(JobPlan, FilesThatCannotBeMadeAreRefusedWithTheirReason)
{
    SourceFacts film;
    film.readable = film.hasPicture = film.hasSound = true;
    SourceFacts silent = film;
    silent.hasSound = false;
    SourceFacts soundOnly = film;
    soundOnly.hasPicture = false;
    SourceFacts unreadable;
    unreadable.problem = "Invalid data found when processing input";
    SourceFacts nothing;
    nothing.readable = true;
    const ProfileChoice avi = *ChoiceFor(kXvid, {});
    const ProfileChoice mp3 = *ChoiceFor("MP3 Sound (MP3)", {});
    const ProfileChoice gif = *ChoiceFor("Animated GIF (160x120) GIF", {});
    struct Row {
        const char* what;
        SourceFacts facts;
        ProfileChoice choice;
        QString outputProblem;
        QString reason;
    };
    const std::vector<Row> rows{
        {"a film", film, avi, "", ""},
        {"a sound into a video profile", soundOnly, avi, "", ""},
        {"unreadable", unreadable, avi, "", "Invalid data found when processing input"},
        {"neither picture nor sound", nothing, avi, "",
         "it holds neither a picture nor a sound that could be reversed"},
        {"a silent film into a sound profile", silent, mp3, "",
         "it has no sound, and the profile makes a sound file"},
        {"a sound into a picture profile", soundOnly, gif, "",
         "it has no picture, and the profile makes a picture"},
        {"no name fits the output folder", film, avi, "the name is too long", "the name is too long"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(FileProblem(row.facts, row.choice, row.outputProblem), row.reason);
    }
    EXPECT_EQ(CannotBeMade("it is empty"), "cannot be made: it is empty");
}

TEST(JobPlan, TheEncoderListAndTheEncodersAProfileUses)
{
    const QByteArray listed = "Encoders:\n V..... = Video\n ------\n V....D libx264              H.264\n"
                              " A....D aac                  AAC (Advanced Audio Coding)\n";
    EXPECT_EQ(ParseEncoderList(listed), (QSet<QString>{"libx264", "aac"}));
    EXPECT_TRUE(EncodersUsed(ChoiceFor(kXvid, {})->settings, ".avi").contains("libxvid"));
    EXPECT_TRUE(EncodersUsed(ChoiceFor("MP3 Sound (MP3)", {})->settings, ".mp3").contains("libmp3lame"));
}

// The profiles whose encoder keeps every detail it is given get the finest frames, H.264 at the
// source's size exact (lossless) ones; the others get frames as the designed "-qscale 1" makes
// them.
TEST(JobPlan, TheEditingAndLosslessProfilesGetTheFinestFrames)
{
    // clang-format off
    const std::tuple<const char*, bool, bool> rows[] = {
        {"MOV (ProRes 422 HQ/PCM, for editing)", true, false},
        {"MKV (FFV1/FLAC, lossless)", true, false},
        {"MP4 (H.264/AAC, same size as source)", false, true},
        {"Sony PSP (PSP AVC)", false, false},
        {"WebM (VP9/Opus, same size as source)", false, false},
        {kXvid, false, false},
    };
    // clang-format on
    for (const auto& [profile, finest, exact] : rows) {
        const ReversalOptions options = ReversalOptionsFor(*ChoiceFor(profile, {}));
        EXPECT_EQ(options.finestFrames, finest) << profile;
        EXPECT_EQ(options.exactFrames, exact) << profile;
    }
}

JobSummary RunJob(ReverseJob& job, const std::function<void()>& whileRunning = {})
{
    std::optional<JobSummary> summary;
    QObject::connect(&job, &ReverseJob::Finished, [&](const JobSummary& ended) { summary = ended; });
    QTimer watch;
    if (whileRunning) {
        QObject::connect(&watch, &QTimer::timeout, whileRunning);
        watch.start(5);
    }
    job.Start();
    ProcessEventsUntil([&] { return summary.has_value(); }, 600000);
    return summary.value_or(JobSummary());
}

// Files that cannot be made are refused before the first frame: not one frame is written for
// them, and the files that can be made are made. A job cancelled at its start leaves nothing.
TEST(JobPlan, ARefusedFileWritesNoFrame)
{
    TempEnvironment temp;
    QTemporaryDir folder;
    RecordingFace files;
    files.out = folder.path();
    const QString fake = folder.path() + "/letter.mp4";
    QFile text(fake);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Dear reader, this is no film.\n");
    text.close();
    ClipOptions silentOptions;
    silentOptions.withAudio = false;
    silentOptions.frames = 20;
    const QString silent = folder.path() + "/silent.avi";
    ASSERT_TRUE(MakeClip(silent, silentOptions));
    files.rows << fake << silent;
    files.profile = "MP3 Sound (MP3)";

    AVC engine(nullptr, nullptr);
    ReverseJob job(engine, files, files, files);
    std::vector<FileOutcome> outcomes;
    QObject::connect(&job, &ReverseJob::FileFinished,
                     [&](const FileOutcome& outcome) { outcomes.push_back(outcome); });
    int framesSeen = 0;
    const JobSummary summary = RunJob(job, [&] {
        framesSeen += static_cast<int>(QDir(WorkFolder()).entryList({"*.jpg"}, QDir::Files).size());
    });
    EXPECT_TRUE(summary.ran);
    ASSERT_EQ(summary.files.size(), 2u);
    EXPECT_TRUE(summary.files[0].refused);
    EXPECT_EQ(summary.files[0].reason, "cannot be made: Invalid data found when processing input");
    EXPECT_EQ(summary.files[1].reason, "cannot be made: it has no sound, and the profile makes a sound file");
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(framesSeen, 0);
    EXPECT_EQ(QDir(folder.path()).entryList({"*.mp3"}, QDir::Files), QStringList());

    // Cancelled at once, while its tools are still being written into a fresh working folder:
    // it ends once, and the cleaning finds every tool.
    QDir(WorkFolder()).removeRecursively();
    ReverseJob cancelled(engine, files, files, files);
    int ends = 0;
    QObject::connect(&cancelled, &ReverseJob::Finished, [&] { ++ends; });
    cancelled.Start();
    cancelled.Cancel();
    ASSERT_TRUE(ProcessEventsUntil([&] { return ends > 0; }, 60000));
    ProcessEventsUntil([] { return false; }, 200);
    EXPECT_EQ(ends, 1);
    QStringList left = QDir(WorkFolder()).entryList(QDir::Files | QDir::Hidden);
    left.removeOne(kWorkFolderMarkerName);
    EXPECT_EQ(left, QStringList());
}

// The output folder moved while a file is converted: nothing lands there or anywhere, and the
// file fails saying so.
TEST(JobPlan, AnOutputFolderMovedDuringTheConversionGetsNothing)
{
    TempEnvironment temp;
    QTemporaryDir folder;
    RecordingFace files;
    const QString out = folder.path() + "/out";
    const QString moved = folder.path() + "/moved away";
    ASSERT_TRUE(QDir().mkpath(out));
    files.out = out;
    ClipOptions options;
    options.seconds = 4;
    files.rows << folder.path() + "/clip.avi";
    ASSERT_TRUE(MakeClip(files.rows[0], options));

    AVC engine(nullptr, nullptr);
    ReverseJob job(engine, files, files, files);
    bool renamed = false;
    QObject::connect(&engine, &AVC::ToolLine, [&] {
        if (!renamed)
            renamed = QDir().rename(out, moved);
    });
    const JobSummary summary = RunJob(job);
    ASSERT_TRUE(renamed);
    ASSERT_EQ(summary.files.size(), 1u);
    EXPECT_FALSE(summary.files[0].succeeded);
    EXPECT_TRUE(summary.files[0].reason.contains("was moved or deleted"))
        << summary.files[0].reason.toStdString();
    EXPECT_EQ(QDir(moved).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_FALSE(QDir(out).exists());
}

}  // namespace

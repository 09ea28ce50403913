// ConvertFLV with the real engine: the output names it finds in a real folder, the settings it
// hands over, its refusals, and real conversions through the deployed ffmpeg front end.
#include "AVC.h"
#include "ConvertFLV.h"
#include "InputFacts.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "OutputFolder.h"
#include "ProcessRunner.h"
#include "ReverseOneFile.h"
#include "ToolWaits.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tarnivo {
namespace {

using Result = ConversionAttempt::Result;

class RecordingSink : public MessageSink {
public:
    void ShowMessage(const QString& text) override { entries << "message:" + text; }
    void ShowErrorReport(const QString& text) override { entries << "error:" + text; }
    void ShowWarning(const QString& title, const QString& text) override
    {
        entries << "warning:" + title + "|" + text;
    }
    QStringList entries;
};

// The custom panel with all eight boxes empty, no option and no check selected.
CustomFormatValues EmptyPanel()
{
    CustomFormatValues panel;
    panel.stereo = false;
    return panel;
}

// The first-start panel with the extension typed without its dot, SameQuality greyed (not set)
// and DeInterlace checked.
CustomFormatValues AviPanelWithoutDot()
{
    return {"avi", "320x240", "29.97", "360", "mpeg4", "mp2", "128", "44100", 2, 1, false, true};
}

enum Tools { NoTools, DeployedTools };

struct Case {
    const char* what;
    const char* profile;
    const char* inputName;  // file name of the list entry
    CustomFormatValues custom;
    std::vector<const char*> before;  // already in the output folder: empty files, folders
                                      // ending in "/", links to nothing ending in "@"
    bool allNumbersTaken;             // clip.avi and clip0.avi to clip32767.avi exist
    bool folderEndsInSlash;
    Tools tools;  // without them the engine refuses and keeps its settings to look at
    Result result;
    const char* output;   // the result's name in the output folder ("" when nothing was made)
    const char* options;  // the command line's switches when the engine refused (nullptr: not checked)
    const char* message;  // what the user was told, "{out}" standing for the folder ("" for nothing)
};

const char* const kXvidBest = "AVI (MPEG4-XviD-Best Quality)";

// One engine serves every row in turn, as in a job: the custom row right after the refused
// xvid row shows that nothing of the refused call is left.
// clang-format off
const std::vector<Case> kCases = {
    {"xvid best quality", kXvidBest, "clip.mp4", {}, {}, false, true, NoTools, Result::Started, "",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 ", ""},
    {"custom, empty boxes", "Custom Format", "clip.mp4", EmptyPanel(), {}, false, true, NoTools, Result::Started, "", "-y ", ""},
    {"custom avi without dot", "Custom Format", "clip.mp4", AviPanelWithoutDot(), {}, false, true, NoTools, Result::Started, "",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -acodec mp2 -ab 128 -ar 44100 -ac 2 ", ""},
    {"clip and clip0 taken", kXvidBest, "clip.mp4", {}, {"clip.avi", "clip0.avi"}, false, true, DeployedTools, Result::Started, "clip1.avi", nullptr, ""},
    {"a folder blocks too", kXvidBest, "clip.mp4", {}, {"clip.avi/"}, false, true, DeployedTools, Result::Started, "clip0.avi", nullptr, ""},
    {"a link to nothing blocks", kXvidBest, "clip.mp4", {}, {"clip.avi@"}, false, true, DeployedTools, Result::Started, "clip0.avi", nullptr, ""},
    {"last extension only", "MP3 Sound (MP3)", "my.holiday.clip.mov", {}, {}, false, true, DeployedTools, Result::Started, "my.holiday.clip.mp3", nullptr, ""},
    {"outer spaces trimmed", kXvidBest, "  clip  .mp4", {}, {}, false, true, DeployedTools, Result::Started, "clip.avi", nullptr, ""},
    {"name without dot", kXvidBest, "clip", {}, {}, false, true, DeployedTools, Result::Started, "clip.avi", nullptr, ""},
    {"folder without slash", kXvidBest, "clip.mp4", {}, {}, false, false, DeployedTools, Result::Started, "clip.avi", nullptr, ""},
    {"wrong letter case", "avi (mpeg4-xvid-best quality)", "clip.mp4", {}, {}, false, true, DeployedTools, Result::ProfileNotDefined, "", nullptr,
     "warning:Not Supported|Error: avi (mpeg4-xvid-best quality) is not defined."},
    {"empty profile name", "", "clip.mp4", {}, {}, false, true, DeployedTools, Result::ProfileNotDefined, "", nullptr,
     "warning:Not Supported|Error:  is not defined."},
    {"every number taken", kXvidBest, "clip.mp4", {}, {}, true, true, DeployedTools, Result::NoFreeName, "", nullptr,
     "message:No free output name is left in the folder \"{out}/\": \"clip.avi\" and \"clip0.avi\" to "
     "\"clip32767.avi\" all exist. Nothing was converted."},
};
// clang-format on

void MakeEmptyFile(const QString& path) { QFile(path).open(QIODevice::WriteOnly); }

// The output folder's entries with their sizes ("clip.avi:0", "clip.avi/" for a folder).
QStringList FolderContents(const QString& folder)
{
    QStringList contents;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
        contents << entry.fileName() + (entry.isDir() ? "/" : ":" + QString::number(entry.size()));
    contents.sort();
    return contents;
}

// ConvertFLV as the job goes on with it: once the engine's tool has ended, the result is read
// back and named (or its hidden file removed).
ConversionAttempt ConvertAndCheck(AVC& engine, const QString& source, const QString& profile,
                                  const QString& inputPath, const OutputFolder& folder,
                                  const CustomFormatValues& custom, MessageSink& sink,
                                  const IntermediatePicture& picture = IntermediatePicture())
{
    ConversionAttempt attempt = ConvertFLV(engine, source, profile, inputPath, folder, custom, sink, picture);
    if (!engine.IsConverting())
        return attempt;
    test::ProcessEventsUntil([&] { return !engine.IsConverting(); }, 600000);
    RunningTools tools;
    ConversionCheck check(tools, sink);
    bool checked = false;
    QObject::connect(&check, &ConversionCheck::Finished, [&](const ConversionAttempt& done) {
        attempt = done;
        checked = true;
    });
    check.Start(attempt, engine, folder, source, picture);
    test::ProcessEventsUntil([&] { return checked; }, 600000);
    return attempt;
}

TEST(ConvertFLV, NamesSettingsAndRefusals)
{
    QTemporaryDir media;
    const QString source = media.path() + "/rvideo.avi";
    test::ClipOptions clip;
    clip.frames = 10;
    ASSERT_TRUE(test::MakeClip(source, clip));

    AVC engine(nullptr, nullptr);
    int engineEvents = 0;
    QObject::connect(&engine, &AVC::Complete, [&] { ++engineEvents; });
    QObject::connect(&engine, &AVC::ErrorEvent, [&] { ++engineEvents; });

    for (const Case& row : kCases) {
        SCOPED_TRACE(row.what);
        test::TempEnvironment environment;
        if (row.tools == DeployedTools)
            test::InstallToolsInto(WorkFolder());
        // The folder's name holds a space, a quote and a non-ASCII letter: they reach ffmpeg as they are.
        const QString out = environment.root() + QString::fromUtf8("/out 'f\xc3\xbcr' me");
        ASSERT_TRUE(QDir().mkpath(out));
        for (const QString name : row.before) {
            if (name.endsWith("/"))
                ASSERT_TRUE(QDir().mkpath(out + "/" + name));
            else if (name.endsWith("@"))
                ASSERT_TRUE(QFile::link(out + "/missing", out + "/" + name.chopped(1)));
            else
                MakeEmptyFile(out + "/" + name);
        }
        if (row.allNumbersTaken) {
            MakeEmptyFile(out + "/clip.avi");
            for (int number = 0; number <= 32767; ++number)
                MakeEmptyFile(out + "/clip" + QString::number(number) + ".avi");
        }
        const QStringList contentsBefore = FolderContents(out);

        RecordingSink sink;
        engineEvents = 0;
        OutputFolder folder;
        ASSERT_EQ(folder.Open(row.folderEndsInSlash ? out + "/" : out), "");
        const ConversionAttempt attempt =
            ConvertAndCheck(engine, source, QString::fromUtf8(row.profile),
                            "/in/" + QString::fromUtf8(row.inputName), folder, row.custom, sink);

        EXPECT_EQ(attempt.result, row.result);
        const QString expectedMessage = QString::fromUtf8(row.message).replace("{out}", out);
        EXPECT_EQ(sink.entries, expectedMessage.isEmpty() ? QStringList() : QStringList{expectedMessage});
        const bool started = row.result == Result::Started;
        const QString destination = *row.output ? out + "/" + row.output : QString();
        EXPECT_EQ(attempt.destination, destination);
        EXPECT_EQ(engineEvents, started ? 1 : 0);
        QStringList contents = FolderContents(out);
        if (started && row.tools == NoTools) {
            EXPECT_EQ(engine.LastRun().refusal, kToolMissingMessage);
            EXPECT_EQ(attempt.failure, kToolMissingMessage);
            // ffmpeg was to write a hidden file of this call's own, deleted after the refusal.
            EXPECT_TRUE(QFileInfo(attempt.temporary).fileName().startsWith(".clip.tarnivo-"));
            if (row.options) {
                EXPECT_EQ(engine.BuildCommandLine(true), ProgramToken(ConversionToolPath()) + " -i " +
                                                             QuoteForCommandLine(source) + " " + row.options +
                                                             QuoteForCommandLine(attempt.temporary));
            }
        } else if (started) {
            EXPECT_EQ(engine.LastRun().exitStatus, 0) << engine.LastRun().errorLines.join("\n").toStdString();
            EXPECT_FALSE(test::StreamEntry(destination, "a:0", "codec_name").isEmpty());
            contents.removeAll(QString(row.output) + ":" + QString::number(QFileInfo(destination).size()));
        }
        // Nothing but the new output appeared, and nothing that was there changed.
        EXPECT_EQ(contents, contentsBefore);
    }
}

// The designed conversion line of each profile, written out from its settings and the fixed
// order of the switches: what "ffmpeg.exe" gets between the quoted source and the quoted
// destination.
struct DesignedLine {
    const char* profile;
    CustomFormatValues custom;  // for "Custom Format"
    const char* extension;      // of the result
    const char* options;
};

const char* const kGifForm = "-pix_fmt rgb24 -loop_output 0 -r 2";

// clang-format off
const std::vector<DesignedLine> kDesignedLines = {
    {"AVI (MPEG4-DivX-Compatible)", {}, ".avi", "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ab 48 -ar 22050 -ac 2"},
    {"AVI (MPEG4-DivX-Best Quality)", {}, ".avi", "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ac 2"},
    {"AVI (MPEG4-XviD-Compatible)", {}, ".avi", "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ab 48 -ar 22050 -ac 2"},
    {"AVI (MPEG4-XviD-Best Quality)", {}, ".avi", "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2"},
    {"Animated GIF (64x48) GIF", {}, ".gif", "-y -s 64x48 -f gif -pix_fmt rgb24 -loop_output 0 -r 2"},
    {"Animated GIF (160x120) GIF", {}, ".gif", "-y -s 160x120 -f gif -pix_fmt rgb24 -loop_output 0 -r 2"},
    {"Animated GIF (320x240) GIF", {}, ".gif", "-y -s 320x240 -f gif -pix_fmt rgb24 -loop_output 0 -r 2"},
    {"Animated GIF (Same as Input) GIF", {}, ".gif", "-y -f gif -pix_fmt rgb24 -loop_output 0 -r 2"},
    {"iPOD Video (320x240) MPEG4", {}, ".mpg", "-y -b 512 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 64 -ar 44100 -ac 2"},
    {"iPOD Video2 (640x480) MPEG4", {}, ".mpg", "-y -b 1200 -s 640x480 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2"},
    {"iPhone Video", {}, ".mpg", "-y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2"},
    {"iPOD Nano (MP3)", {}, ".mp3", "-y -acodec mp3"},
    {"iPOD Mini (MP3)", {}, ".mp3", "-y -acodec mp3"},
    {"iPOD Shuffle (MP3)", {}, ".mp3", "-y -acodec mp3"},
    {"MPEG (Max Compatible)", {}, ".mpg", "-y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ar 44100 -ac 2"},
    {"MPEG (Best Quality)", {}, ".mpg", "-y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ac 2"},
    {"WMV(WindowsMedia-Compatible)", {}, ".wmv", "-y -vcodec wmv2 -deinterlace -sameq -ar 44100 -ac 2"},
    {"WMV(WindowsMedia-Best Quality)", {}, ".wmv", "-y -vcodec wmv2 -deinterlace -sameq -ac 2"},
    {"RM (RealONE/RealPlayer)", {}, ".rm", "-y -vcodec rv20 -deinterlace -sameq -ar 44100 -ac 2"},
    {"QuickTime MOV", {}, ".mov", "-y -b 360 -r 29.97 -s 320x240 -deinterlace -sameq -acodec aac -ab 48 -ar 44100 -ac 2"},
    {"FLV (Flash Live Video)", {}, ".flv", "-y -b 360 -r 25 -s 352x288 -vcodec h263 -acodec mp3 -ab 64 -ar 22050 -ac 1"},
    {"Sony PSP (Normal)", {}, ".avi", "-y -b 512 -r 29.97 -s 368x208 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2"},
    {"Sony PSP (Excellent Quality)", {}, ".avi", "-y -b 768 -r 29.97 -s 368x208 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2"},
    {"Sony PSP (Minimal Size)", {}, ".avi", "-y -b 216 -r 29.97 -s 160x112 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2"},
    {"Sony PSP (PSP AVC)", {}, ".avi", "-y -b 400 -r 29.97 -s 368x208 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 128 -ar 48000 -ac 2"},
    {"Zune MPEG-4 Video", {}, ".mp4", "-y -b 1500 -r 29.97 -s 320x240 -vcodec mpeg4 -acodec aac -ab 128 -ar 48000 -ac 2"},
    {"Zune MPEG-4 AVC", {}, ".avi", "-y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 64 -ar 48000 -ac 2"},
    {"Zune WMV", {}, ".wmv", "-y -b 1500 -r 29.97 -s 320x240 -vcodec wmv2 -acodec mp3 -ab 128 -ar 48000 -ac 2"},
    {"3GP (for Mobile)", {}, ".3gp", "-y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1"},
    {"3G2 (for Mobile)", {}, ".3g2", "-y -b 120 -r 11 -s 176x144 -vcodec mpeg4 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1"},
    {"WAVE Sound (WAV)", {}, ".wav", "-y -f wav -acodec pcm_s16le -ab 128 -ar 41000 -ac 2"},
    {"MP3 Sound (MP3)", {}, ".mp3", "-y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2"},
    // "Custom Format": the first-start panel; every option set, mono, into .mpg; a .gif with every
    // box empty; typed values (not in the lists, SameQuality greyed) into .wmv; every box empty.
    {"Custom Format", {".avi", "320x240", "29.97", "360", "mpeg4", "mp2", "128", "44100", 0, 0, false, true}, ".avi",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -acodec mp2 -ab 128 -ar 44100 -ac 2"},
    {"Custom Format", {".mpg", "352x288", "25", "1000", "mpeg1video", "mp2", "192", "48000", 1, 1, true, false}, ".mpg",
     "-y -b 1000 -r 25 -s 352x288 -vcodec mpeg1video -deinterlace -sameq -acodec mp2 -ab 192 -ar 48000 -ac 1"},
    {"Custom Format", {".gif", "", "", "", "", "", "", "", 0, 0, false, false}, ".gif", "-y -pix_fmt rgb24 -loop_output 0 -r 2"},
    {"Custom Format", {".wmv", "720x576", "23.976", "2000", "msmpeg4v2", "wmav2", "160", "32000", 2, 0, false, true}, ".wmv",
     "-y -b 2000 -r 23.976 -s 720x576 -vcodec msmpeg4v2 -acodec wmav2 -ab 160 -ar 32000 -ac 2"},
    {"Custom Format", {"", "", "", "", "", "", "", "", 0, 0, false, false}, "", "-y"},
};
// clang-format on

QStringList Words(const QString& text) { return text.split(' ', Qt::SkipEmptyParts); }

// One call the recorder saw: the colour entries of its environment, then its arguments.
struct RecordedCall {
    QStringList colours;
    QStringList arguments;
};

RecordedCall ReadRecordedCall(const QString& file)
{
    QFile in(file);
    RecordedCall call;
    if (!in.open(QIODevice::ReadOnly))
        return call;
    QList<QByteArray> entries = in.readAll().split('\0');
    entries.removeLast();  // every entry ends with NUL
    for (int i = 0; i < entries.size(); ++i)
        (i < 4 ? call.colours : call.arguments) << QString::fromUtf8(entries[i]);
    return call;
}

// A film reversed by the pipeline, its intermediate kept under a name of its own.
struct Intermediate {
    QString inputPath;  // the list entry it was made from
    QString path;
    IntermediatePicture picture;
    QStringList colours;  // the colour facts the front end is to be told
};

Intermediate Reversed(const QString& source, const QString& keptAs, const QStringList& colours)
{
    RecordingSink sink;
    RunningTools tools;
    const StepErrorReporter report(sink, "Form1", "PushButton5_Click");
    ReverseOneFile reverse(tools, report);
    ReversalResult reversal;
    bool over = false;
    QObject::connect(&reverse, &ReverseOneFile::Finished, [&](const ReversalResult& result) {
        reversal = result;
        over = true;
    });
    reverse.Start(source, test::ProbeAndWait(source), QuotedToolPath(WorkFolder()));
    test::ProcessEventsUntil([&] { return over; }, 600000);
    EXPECT_TRUE(reversal.made) << reversal.failureReason.toStdString();
    EXPECT_TRUE(QFile::rename(WorkFolder() + "/rvideo.avi", keptAs));
    return {source, keptAs, reversal.picture, colours};
}

// Every conversion a real job hands to "ffmpeg.exe" is the designed line, token for token, but
// for the destination, the hidden file of the call's own. The intermediate's colours reach the
// front end through its environment, nothing of them through the line. A tagged HD film and an
// untagged SD one named like a GIF, each reversed by the pipeline (a few frames); the
// conversions are recorded, not run.
TEST(ConvertFLV, HandsFfmpegTheDesignedLines)
{
    test::TempEnvironment environment;
    test::InstallToolsInto(WorkFolder());
    QTemporaryDir media;
    const QString hd = media.path() + "/tagged hd.mp4";
    const QString sd = media.path() + "/untagged sd gif.avi";
    ASSERT_EQ(test::RunTool("ffmpeg", {"-v",
                                       "error",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "smptehdbars=s=1280x720:r=30:d=0.1",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=d=0.1",
                                       "-vf",
                                       "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                                       "-colorspace",
                                       "bt709",
                                       "-color_primaries",
                                       "bt709",
                                       "-color_trc",
                                       "bt709",
                                       "-c:v",
                                       "libx264",
                                       "-preset",
                                       "ultrafast",
                                       hd})
                  .exitCode,
              0);
    test::ClipOptions small;
    small.frames = 3;
    ASSERT_TRUE(test::MakeClip(sd, small));
    const std::vector<Intermediate> films = {
        Reversed(hd, media.path() + "/hd.avi",
                 {"TARNIVO_INPUT_COLOR_MATRIX=bt709", "TARNIVO_INPUT_COLOR_PRIMARIES=bt709",
                  "TARNIVO_INPUT_COLOR_TRANSFER=bt709", "TARNIVO_INPUT_COLOR_RANGE="}),
        Reversed(sd, media.path() + "/sd.avi",
                 {"TARNIVO_INPUT_COLOR_MATRIX=smpte170m", "TARNIVO_INPUT_COLOR_PRIMARIES=",
                  "TARNIVO_INPUT_COLOR_TRANSFER=", "TARNIVO_INPUT_COLOR_RANGE="})};

    // The recorder stands in for the front end.
    const QString records = media.path() + "/records";
    ASSERT_TRUE(QDir().mkpath(records));
    QFile::remove(WorkFolder() + "/ffmpeg.exe");
    ASSERT_TRUE(
        QFile::copy(HelperProgramFolder() + "/tarnivo-test-ffmpeg-recorder", WorkFolder() + "/ffmpeg.exe"));
    const test::ScopedEnvironment recordIn("TARNIVO_TEST_RECORDS", records);
    const test::ScopedEnvironment frontEnd("TARNIVO_TEST_FRONT_END",
                                           HelperProgramFolder() + "/tarnivo-ffmpeg");
    const test::ScopedEnvironment recordOnly("TARNIVO_TEST_RECORD_ONLY", ".avi");
    // What the job was started with does not count.
    const test::ScopedEnvironment inherited(media::kInputRangeVariable, "pc");

    const QString out = environment.root() + "/out";
    ASSERT_TRUE(QDir().mkpath(out));
    OutputFolder folder;
    ASSERT_EQ(folder.Open(out), "");
    AVC engine(nullptr, nullptr);
    for (const DesignedLine& line : kDesignedLines) {
        for (const Intermediate& film : films) {
            const QString base = QFileInfo(film.inputPath).completeBaseName();
            SCOPED_TRACE(std::string(line.profile) + " " + line.extension + " for " + base.toStdString());
            for (const QString& call : QDir(records).entryList(QDir::Files))
                QFile::remove(records + "/" + call);
            RecordingSink sink;
            const ConversionAttempt attempt = ConvertAndCheck(engine, film.path, line.profile, film.inputPath,
                                                              folder, line.custom, sink, film.picture);
            const QStringList calls = QDir(records).entryList(QDir::Files);
            ASSERT_EQ(calls.size(), 1);
            const RecordedCall call = ReadRecordedCall(records + "/" + calls.front());
            EXPECT_EQ(call.colours, film.colours);
            ASSERT_GE(call.arguments.size(), 2);
            const QString destination = call.arguments.last();
            QStringList expected = QStringList{"-i", film.path} + Words(line.options);
            // The GIF form keys on the destination's last three letters ("untagged sd gif").
            if (QString(line.extension).isEmpty() && base.endsWith("gif"))
                expected += Words(kGifForm);
            EXPECT_EQ(call.arguments.mid(0, call.arguments.size() - 1), expected);
            EXPECT_EQ(destination, attempt.temporary);
            const QString hidden = QFileInfo(destination).fileName();
            EXPECT_TRUE(hidden.startsWith("." + base + ".tarnivo-")) << hidden.toStdString();
            EXPECT_TRUE(hidden.endsWith(*line.extension        ? line.extension
                                        : base.endsWith("gif") ? ".gif"
                                                               : ""))
                << hidden.toStdString();
            // The folder is as it was: nothing converted, the hidden file removed; only the file
            // the open folder holds for its job stays.
            EXPECT_EQ(QDir(out)
                          .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                          .filter(QRegularExpression("^(?!\\.tarnivo-.*\\.job$)")),
                      QStringList());
        }
    }
}

}  // namespace
}  // namespace tarnivo

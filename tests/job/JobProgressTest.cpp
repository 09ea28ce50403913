// The job's progress as the faces receive it: the real job, ffmpeg and SoX on generated clips.
#include "AVC.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "ReverseJob.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

class Files : public JobListSource, public JobChoices, public MessageSink {
public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    QString RowText(int row) const override { return rows.value(row - 1); }
    QString OutputFolderText() const override { return out; }
    QString ProfileName() const override { return QStringLiteral("AVI (MPEG4-XviD-Best Quality)"); }
    CustomFormatValues CustomValues() const override { return {}; }
    void ShowMessage(const QString& text) override { messages << text; }
    void ShowErrorReport(const QString& text) override { messages << text; }
    void ShowWarning(const QString&, const QString& text) override { messages << text; }

    QStringList rows;
    QString out;
    QStringList messages;
};

// Every report goes forward: the job's part never goes back, nor the file's while the same
// file runs; the job starts at 0 and ends at 1; past its first second the time left is known;
// and the steps report their progress in between, not only at their ends.
TEST(JobProgress, RisesFromZeroToOneWithAnEstimateAfterTheFirstSecond)
{
    TempEnvironment temp;
    QTemporaryDir folder;
    Files files;
    files.out = folder.path();
    for (const QString name : {"first.avi", "second.avi"}) {
        ClipOptions options;
        options.seconds = 6;
        options.width = 640;
        options.height = 480;
        files.rows << folder.path() + "/" + name;
        ASSERT_TRUE(MakeClip(files.rows.last(), options));
    }
    AVC engine(nullptr, nullptr);
    ReverseJob job(engine, files, files, files);
    std::vector<JobProgress> reports;
    QObject::connect(&job, &ReverseJob::Progress,
                     [&](const JobProgress& progress) { reports.push_back(progress); });
    const JobSummary summary = job.Run();
    ASSERT_EQ(summary.FailedCount(), 0) << files.messages.join("\n").toStdString();
    ASSERT_GE(reports.size(), 2u);

    EXPECT_EQ(reports.front().jobFraction, 0);
    EXPECT_EQ(reports.back().jobFraction, 1);
    bool midStep[4] = {};
    for (size_t k = 1; k < reports.size(); ++k) {
        const JobProgress& before = reports[k - 1];
        const JobProgress& now = reports[k];
        EXPECT_GE(now.jobFraction, before.jobFraction) << k;
        EXPECT_GE(now.elapsedMs, before.elapsedMs) << k;
        if (now.file == before.file) {
            EXPECT_GE(now.fileFraction, before.fileFraction) << k;
            EXPECT_GE(now.step, before.step) << k;
        }
        if (now.elapsedMs >= 1000) {
            EXPECT_GE(now.jobLeftMs, 0) << k << " at " << now.elapsedMs << " ms";
        }
        midStep[static_cast<int>(now.step)] |= now.stepFraction > 0 && now.stepFraction < 1;
    }
    EXPECT_TRUE(midStep[static_cast<int>(JobStep::Frames)]);
    EXPECT_TRUE(midStep[static_cast<int>(JobStep::Converting)]);
    EXPECT_EQ(reports.back().file, 2);
    EXPECT_EQ(reports.back().fileCount, 2);
}

}  // namespace

// The main window's handlers of the engine's events, driven by a real engine.
#include "AVC.h"
#include "ConversionEvents.h"
#include "WindowTestSupport.h"

#include <QTimer>

namespace tarnivo {
namespace {

// The main window as the event handlers see it; every call is logged in order.
class RecordingWindow : public ConversionWindow {
public:
    void SetProgressText(const QString& text) override { calls << "text:" + text; }
    void SetProgressValue(int value) override { calls << "value:" + QString::number(value); }
    void DisableTimer() override { calls << "timer off"; }
    void SetButtonEnabled(WindowButton button, bool enabled) override
    {
        calls << QString("PushButton%1 %2").arg(ButtonNumber(button)).arg(enabled ? "enabled" : "disabled");
    }
    void SetStartButtonCaption(const QString& caption) override { calls << "caption:" + caption; }
    void ShowMessage(const QString& text) override { calls << "message:" + text; }
    bool JobRunning() const override { return jobRunning; }

    static int ButtonNumber(WindowButton button)
    {
        switch (button) {
        case WindowButton::PushButton1:
            return 1;
        case WindowButton::PushButton2:
            return 2;
        case WindowButton::PushButton4:
            return 4;
        case WindowButton::PushButton6:
            return 6;
        }
        return 0;
    }

    QStringList calls;
    bool jobRunning = false;
};

TEST(WindowHandlers, PulseStepsThroughTheTableOverFiveTicks)
{
    QTimer timer;
    RecordingWindow window;
    AVC engine(&timer, &window);
    qint16 ProgressPhase = 0;
    QList<qint16> phases;
    QObject::connect(&engine, &AVC::Converting, [&] {
        AVC1_Converting(ProgressPhase, window);
        phases << ProgressPhase;
    });

    timer.start(1);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return phases.size() >= 5; }, 5000));
    timer.stop();
    EXPECT_EQ(phases.mid(0, 5), (QList<qint16>{1, 2, 3, 0, 1}));
    EXPECT_EQ(window.calls.filter("value:").mid(0, 5),
              (QStringList{"value:25", "value:50", "value:75", "value:100", "value:25"}));

    // Outside 0..3 the pulse leaves bar and phase alone.
    for (const qint16 odd : {qint16(4), qint16(-1), qint16(32767)}) {
        window.calls.clear();
        ProgressPhase = odd;
        AVC1_Converting(ProgressPhase, window);
        EXPECT_EQ(ProgressPhase, odd);
        EXPECT_TRUE(window.calls.isEmpty());
    }
}

// The caption goes back to "Start Converting" only when no job runs: during a job the job
// itself puts it back at its end.
TEST(WindowHandlers, CompleteRestoresButtonsAndBarAndTheCaptionOutsideAJob)
{
    for (const bool jobRunning : {false, true}) {
        RecordingWindow window;
        window.jobRunning = jobRunning;
        qint16 ProgressPhase = 2;
        AVC1_Complete(ProgressPhase, window);
        QStringList expected{
            "timer off",           "PushButton1 enabled",      "PushButton2 enabled", "PushButton4 enabled",
            "PushButton6 enabled", "caption:Start Converting", "text:Progress Bar",   "value:0"};
        if (jobRunning)
            expected.removeAll("caption:Start Converting");
        EXPECT_EQ(window.calls, expected) << "job running: " << jobRunning;
        EXPECT_EQ(ProgressPhase, 0);
    }
}

TEST(WindowHandlers, RefusedConversionShowsTheMessageAndLeavesTheBar)
{
    test::TempEnvironment environment;
    QTimer timer;
    RecordingWindow window;
    AVC engine(&timer, &window);
    qint16 ProgressPhase = 3;
    QObject::connect(&engine, &AVC::ErrorEvent, [&](const QString& ErrorMessage) {
        AVC1_ErrorEvent(ErrorMessage, ProgressPhase, window);
    });
    QObject::connect(&engine, &AVC::Complete, [&] { AVC1_Complete(ProgressPhase, window); });

    engine.DestFile("/out/result.avi");
    engine.ConvertMedia(true);
    EXPECT_EQ(window.calls,
              (QStringList{"message:No source filename defined", "timer off", "PushButton1 enabled",
                           "PushButton2 enabled", "PushButton6 enabled", "caption:Start Converting"}));
    EXPECT_EQ(ProgressPhase, 0);
}

}  // namespace
}  // namespace tarnivo

// The main window's handlers of the engine's events, driven by a real engine.
#include "AVC.h"
#include "ConversionEvents.h"
#include "EngineTestSupport.h"
#include "MediaTestSupport.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace tarnivo {
namespace {

using test::RecordingWindow;

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

TEST(WindowHandlers, CompleteRestoresButtonsCaptionAndBar)
{
    RecordingWindow window;
    qint16 ProgressPhase = 2;
    AVC1_Complete(ProgressPhase, window);
    EXPECT_EQ(window.calls, (QStringList{"timer off", "PushButton1 enabled", "PushButton2 enabled",
                                         "PushButton4 enabled", "PushButton6 enabled",
                                         "caption:Start Converting", "text:Progress Bar", "value:0"}));
    EXPECT_EQ(ProgressPhase, 0);
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

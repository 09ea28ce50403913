// The window's handlers of the engine's events, as wired in Form1: the pulse on the bar at every
// tick, the end of a conversion and a refused conversion. (During a job the caption stays
// "Cancel"; the job test sees that.)
#include "AVC.h"
#include "WindowTestSupport.h"

#include <QProgressBar>
#include <QPushButton>

namespace tarnivo {
namespace {

class WindowHandlers : public test::WindowTest {};

TEST_F(WindowHandlers, PulseCompleteAndRefusalReachBarCaptionButtonsAndMessages)
{
    test::TempEnvironment environment;
    Form1 form(&dialogs);
    auto* bar = Control<QProgressBar>(form, "ProgressBar1");
    auto* start = Control<QPushButton>(form, "PushButton5");
    AVC& engine = *form.Engine();

    // The pulse: 25, 50, 75, 100 and round again.
    QList<int> pulse;
    for (int tick = 0; tick < 5; ++tick) {
        emit engine.Converting();
        pulse << bar->value();
    }
    EXPECT_EQ(pulse, (QList<int>{25, 50, 75, 100, 25}));

    start->setText("Cancel");
    for (const char* button : {"PushButton1", "PushButton2", "PushButton4", "PushButton6"})
        Control(form, button)->setEnabled(false);
    emit engine.Complete();
    EXPECT_EQ(start->text(), "Start Converting");
    for (const char* button : {"PushButton1", "PushButton2", "PushButton4", "PushButton6"})
        EXPECT_TRUE(Control(form, button)->isEnabled()) << button;
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->text(), "Progress Bar");
    emit engine.Converting();  // the next conversion's pulse starts at 25 again
    EXPECT_EQ(bar->value(), 25);
    bar->setFormat("Please wait... 9");

    // A refusal: the engine's text in a plain box, the caption back; the bar as it was.
    start->setText("Cancel");
    engine.DestFile("/out/result.avi");
    engine.ConvertMedia(true);
    EXPECT_EQ(dialogs.log, QStringList{"message:Tarnivo|No source filename defined"});
    EXPECT_EQ(start->text(), "Start Converting");
    EXPECT_EQ(bar->value(), 25);
    EXPECT_EQ(bar->text(), "Please wait... 9");
}

}  // namespace
}  // namespace tarnivo

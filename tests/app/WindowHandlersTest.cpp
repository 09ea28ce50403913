// The window's handlers of the engine's events, as wired in Form1: the pulse on the bar, the end
// of a conversion and a refused conversion. (During a job the caption stays "Cancel"; the job
// test sees that.)
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

    QList<int> values;
    for (int tick = 0; tick < 5; ++tick) {
        emit engine.Converting();
        values << bar->value();
    }
    EXPECT_EQ(values, (QList<int>{25, 50, 75, 100, 25}));

    start->setText("Cancel");
    bar->setFormat("Please wait... 9");
    for (const char* button : {"PushButton1", "PushButton2", "PushButton4", "PushButton6"})
        Control(form, button)->setEnabled(false);
    emit engine.Complete();
    EXPECT_EQ(start->text(), "Start Converting");
    EXPECT_EQ(bar->text(), "Progress Bar");
    EXPECT_EQ(bar->value(), 0);
    for (const char* button : {"PushButton1", "PushButton2", "PushButton4", "PushButton6"})
        EXPECT_TRUE(Control(form, button)->isEnabled()) << button;

    // A refusal: the engine's text in a plain box; the bar keeps its text and value; the pulse
    // starts again at 25.
    emit engine.Converting();
    start->setText("Cancel");
    bar->setFormat("Please wait... 10");
    engine.DestFile("/out/result.avi");
    engine.ConvertMedia(true);
    EXPECT_EQ(dialogs.log, QStringList{"message:Tarnivo|No source filename defined"});
    EXPECT_EQ(start->text(), "Start Converting");
    EXPECT_EQ(bar->text(), "Please wait... 10");
    EXPECT_EQ(bar->value(), 25);
    emit engine.Converting();
    EXPECT_EQ(bar->value(), 25);
}

}  // namespace
}  // namespace tarnivo

// The window's handlers of the engine's events, as wired in Form1: the end of a conversion and a
// refused conversion. The bar is not theirs: the engine's pulse reaches it through the job's
// progress (the job test sees the bar). (During a job the caption stays "Cancel"; the job test
// sees that too.)
#include "AVC.h"
#include "WindowTestSupport.h"

#include <QProgressBar>
#include <QPushButton>

namespace tarnivo {
namespace {

class WindowHandlers : public test::WindowTest {};

TEST_F(WindowHandlers, CompleteAndRefusalReachCaptionButtonsAndMessagesNotTheBar)
{
    test::TempEnvironment environment;
    Form1 form(&dialogs);
    auto* bar = Control<QProgressBar>(form, "ProgressBar1");
    auto* start = Control<QPushButton>(form, "PushButton5");
    AVC& engine = *form.Engine();

    // Outside a job nothing but the job writes the bar: the engine's events leave it alone.
    bar->setValue(75);
    bar->setFormat("Please wait... 9");
    emit engine.Converting();
    EXPECT_EQ(bar->value(), 75);
    EXPECT_EQ(bar->text(), "Please wait... 9");

    start->setText("Cancel");
    for (const char* button : {"PushButton1", "PushButton2", "PushButton4", "PushButton6"})
        Control(form, button)->setEnabled(false);
    emit engine.Complete();
    EXPECT_EQ(start->text(), "Start Converting");
    for (const char* button : {"PushButton1", "PushButton2", "PushButton4", "PushButton6"})
        EXPECT_TRUE(Control(form, button)->isEnabled()) << button;

    // A refusal: the engine's text in a plain box, the caption back.
    start->setText("Cancel");
    engine.DestFile("/out/result.avi");
    engine.ConvertMedia(true);
    EXPECT_EQ(dialogs.log, QStringList{"message:Tarnivo|No source filename defined"});
    EXPECT_EQ(start->text(), "Start Converting");
    EXPECT_EQ(bar->value(), 75);
    EXPECT_EQ(bar->text(), "Please wait... 9");
}

}  // namespace
}  // namespace tarnivo

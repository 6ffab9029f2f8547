// The About box from the menu, closed by its button and by its title bar, and the captions the
// window manager shows.

#include "tests/operator/OperatorSupport.h"

namespace {

using AboutBox = TOperatorTest;
using Captions = TOperatorTest;

// Opens the About box from the menu and returns its window, or NoWindow.
TXWindow OpenAbout(TLinvarRun &run)
{
    run.Click(Layout::AboutMenu);
    TXWindow about = NoWindow;
    WaitUntil([&] {
        const std::vector<TXWindow> dialogs = run.Dialogs();
        about = dialogs.size() == 1 ? dialogs.front() : NoWindow;
        return about != NoWindow;
    });
    return about;
}

} // namespace

TEST_F(AboutBox, OpensFromTheMenuAndClosesByItsButtonAndByItsCloseBox)
{
    TLinvarRun &run = *Run;
    TXWindow about = OpenAbout(run);
    ASSERT_NE(about, NoWindow);
    EXPECT_EQ(run.X.TransientFor(about), run.Main);
    // Drawn before anyone clicks on it: the button is there.
    ASSERT_TRUE(WaitUntil(
        [&] { return !Uniform(run.X.Grab(about, ButtonArea(Layout::AboutCloseButton))); }));
    run.X.Click(about, Layout::AboutCloseButton);
    EXPECT_TRUE(WaitUntil([&] { return run.Dialogs().empty(); }));

    // The box comes back for every showing, and its close box ends it too.
    about = OpenAbout(run);
    ASSERT_NE(about, NoWindow);
    run.X.ClickCloseBox(about);
    EXPECT_TRUE(WaitUntil([&] { return run.Dialogs().empty(); }));
    // The main window goes on: the menu still opens the box.
    about = OpenAbout(run);
    ASSERT_NE(about, NoWindow);
    run.X.Click(about, Layout::AboutCloseButton);
    EXPECT_TRUE(WaitUntil([&] { return run.Dialogs().empty(); }));
}

TEST_F(Captions, AreTheProgramsOwnWithNothingAppended)
{
    TLinvarRun &run = *Run;
    EXPECT_EQ(run.X.Title(run.Main), "Параметры интерфейса RS485");
    const TXWindow about = OpenAbout(run);
    ASSERT_NE(about, NoWindow);
    EXPECT_EQ(run.X.Title(about), "О программе ...");
}

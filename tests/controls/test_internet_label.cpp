#include "controls/UAInternetLabel.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

class InternetLabelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Host.resize(300, 100);
        Label = new TAInternetLabel(QStringLiteral("https://linvar.example.org"), &Host);
        Label->setGeometry(10, 10, 200, 20);
        Host.show();
    }

    void Enter()
    {
        QEnterEvent event(QPointF(5, 5), QPointF(15, 15), Label->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(Label, &event);
    }
    void Leave()
    {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(Label, &event);
    }

    QColor TextColor() const { return Label->palette().color(QPalette::WindowText); }

    QWidget Host;
    TAInternetLabel *Label = nullptr;
};

TEST_F(InternetLabelTest, HoverShowsTheLinkLookAndLeaveRestoresTheLabelsOwn)
{
    struct Look
    {
        const char *Name;
        std::function<void(TAInternetLabel &)> Apply;
    };
    const Look looks[] = {
        {"inherited", [](TAInternetLabel &) {}},
        {"underlined red",
         [](TAInternetLabel &l) {
             QFont f = l.font();
             f.setUnderline(true);
             l.setFont(f);
             QPalette p = l.palette();
             p.setColor(QPalette::WindowText, Qt::red);
             l.setPalette(p);
         }},
        {"bold italic, own cursor, green hover",
         [](TAInternetLabel &l) {
             QFont f = l.font();
             f.setBold(true);
             f.setItalic(true);
             l.setFont(f);
             l.setCursor(Qt::CrossCursor);
             l.SetFocusColor(0x00FF00);
         }},
    };
    for (const Look &sample : looks) {
        sample.Apply(*Label);
        const QColor colour = TextColor();
        const QFont font = Label->font();
        const Qt::CursorShape cursor = Label->cursor().shape();

        for (int cycle = 0; cycle < 50; ++cycle) {
            Enter();
            ASSERT_TRUE(Label->Hovered());
            EXPECT_EQ(TextColor(), ColorFromTColor(Label->FocusColor(), Label->palette()));
            EXPECT_TRUE(Label->font().underline());
            EXPECT_EQ(Label->font().bold(), font.bold());
            EXPECT_EQ(Label->font().italic(), font.italic());
            EXPECT_EQ(Label->cursor().shape(), Qt::PointingHandCursor);
            Leave();
            ASSERT_EQ(TextColor(), colour) << sample.Name;
            ASSERT_EQ(Label->font(), font) << sample.Name;
            ASSERT_EQ(Label->cursor().shape(), cursor) << sample.Name;
        }
    }
}

TEST_F(InternetLabelTest, FocusColourIsBlueByDefaultAndTakesEffectAtOnce)
{
    EXPECT_EQ(Label->FocusColor(), 0xFF0000u);
    Enter();
    EXPECT_EQ(TextColor(), QColor(0, 0, 255));
    Label->SetFocusColor(0x0000FF);
    EXPECT_EQ(TextColor(), QColor(255, 0, 0));
    Leave();
    EXPECT_NE(TextColor(), QColor(255, 0, 0));
}

TEST_F(InternetLabelTest, InheritedLookStaysInheritedAndProgramChangesPersist)
{
    Enter();
    Leave();
    EXPECT_FALSE(Label->testAttribute(Qt::WA_SetPalette));
    EXPECT_FALSE(Label->testAttribute(Qt::WA_SetFont));
    EXPECT_FALSE(Label->testAttribute(Qt::WA_SetCursor));
    QPalette p = Host.palette();
    p.setColor(QPalette::WindowText, QColor(10, 20, 30));
    Host.setPalette(p);
    EXPECT_EQ(TextColor(), QColor(10, 20, 30));

    // A change made while the pointer is away is what the next leave restores.
    QFont bold = Label->font();
    bold.setBold(true);
    Label->setFont(bold);
    Enter();
    Leave();
    EXPECT_TRUE(Label->font().bold());
    EXPECT_FALSE(Label->font().underline());

    // A repeated entry without a leave does not take the hover look for the label's own.
    Enter();
    Enter();
    Leave();
    EXPECT_FALSE(Label->font().underline());
    EXPECT_EQ(TextColor(), QColor(10, 20, 30));
}

TEST_F(InternetLabelTest, PointerMovesRaiseEnterAndLeave)
{
    QWindow *window = Host.windowHandle();
    QTest::mouseMove(window, QPoint(250, 80));
    QTest::mouseMove(window, Label->geometry().center());
    EXPECT_TRUE(Label->Hovered());
    QTest::mouseMove(window, QPoint(250, 80));
    EXPECT_FALSE(Label->Hovered());
    EXPECT_FALSE(Label->font().underline());
}

TEST_F(InternetLabelTest, ClickNeedsPressAndReleaseOverTheLabel)
{
    int clicks = 0;
    Label->OnClick = [&clicks](QObject *) { ++clicks; };
    QTest::mouseClick(Label, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(Label, Qt::RightButton);
    EXPECT_EQ(clicks, 1);
    QTest::mousePress(Label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(Label, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_EQ(clicks, 1);
}

TEST_F(InternetLabelTest, DoubleClickClicksOnce)
{
    // The window system delivers a double click as press, release, double click, release.
    int clicks = 0;
    Label->OnClick = [&clicks](QObject *) { ++clicks; };
    QTest::mouseClick(Label, Qt::LeftButton);
    QTest::mouseDClick(Label, Qt::LeftButton);
    QTest::mouseRelease(Label, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(Label, Qt::LeftButton);
    EXPECT_EQ(clicks, 2) << "the next single click clicks again";
}

} // namespace

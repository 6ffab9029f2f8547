#include "UAInternetLabel.h"

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
        QEnterEvent Event(QPointF(5, 5), QPointF(15, 15), Label->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(Label, &Event);
    }
    void Leave()
    {
        QEvent Event(QEvent::Leave);
        QApplication::sendEvent(Label, &Event);
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
    const Look Looks[] = {
        {"inherited", [](TAInternetLabel &) {}},
        {"underlined red",
         [](TAInternetLabel &L) {
             QFont F = L.font();
             F.setUnderline(true);
             L.setFont(F);
             QPalette P = L.palette();
             P.setColor(QPalette::WindowText, Qt::red);
             L.setPalette(P);
         }},
        {"bold italic, own cursor, green hover",
         [](TAInternetLabel &L) {
             QFont F = L.font();
             F.setBold(true);
             F.setItalic(true);
             L.setFont(F);
             L.setCursor(Qt::CrossCursor);
             L.SetFocusColor(0x00FF00);
         }},
    };
    for (const Look &Case : Looks) {
        Case.Apply(*Label);
        const QColor Colour = TextColor();
        const QFont Font = Label->font();
        const Qt::CursorShape Cursor = Label->cursor().shape();

        for (int Cycle = 0; Cycle < 50; ++Cycle) {
            Enter();
            ASSERT_TRUE(Label->Hovered());
            EXPECT_EQ(TextColor(), ColorFromTColor(Label->FocusColor(), Label->palette()));
            EXPECT_TRUE(Label->font().underline());
            EXPECT_EQ(Label->font().bold(), Font.bold());
            EXPECT_EQ(Label->font().italic(), Font.italic());
            EXPECT_EQ(Label->cursor().shape(), Qt::PointingHandCursor);
            Leave();
            ASSERT_EQ(TextColor(), Colour) << Case.Name;
            ASSERT_EQ(Label->font(), Font) << Case.Name;
            ASSERT_EQ(Label->cursor().shape(), Cursor) << Case.Name;
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
    QPalette P = Host.palette();
    P.setColor(QPalette::WindowText, QColor(10, 20, 30));
    Host.setPalette(P);
    EXPECT_EQ(TextColor(), QColor(10, 20, 30));

    // A change made while the pointer is away is what the next leave restores.
    QFont Bold = Label->font();
    Bold.setBold(true);
    Label->setFont(Bold);
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
    QWindow *Window = Host.windowHandle();
    QTest::mouseMove(Window, QPoint(250, 80));
    QTest::mouseMove(Window, Label->geometry().center());
    EXPECT_TRUE(Label->Hovered());
    QTest::mouseMove(Window, QPoint(250, 80));
    EXPECT_FALSE(Label->Hovered());
    EXPECT_FALSE(Label->font().underline());
}

TEST_F(InternetLabelTest, ClickNeedsPressAndReleaseOverTheLabel)
{
    int Clicks = 0;
    Label->OnClick = [&Clicks](QObject *) { ++Clicks; };
    QTest::mouseClick(Label, Qt::LeftButton);
    EXPECT_EQ(Clicks, 1);
    QTest::mouseClick(Label, Qt::RightButton);
    EXPECT_EQ(Clicks, 1);
    QTest::mousePress(Label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(Label, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_EQ(Clicks, 1);
}

} // namespace

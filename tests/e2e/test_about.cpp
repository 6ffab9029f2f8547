// The About box and the menu item that shows it.

#include "tests/e2e/E2eSupport.h"

#include "controls/UAInternetLabel.h"
#include "ui/UAbout.h"

#include <QDate>
#include <QDesktopServices>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Receives the addresses the About box asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Urls;

public slots:
    void Open(const QUrl &url) { Urls << url; }
};

} // namespace

TEST(About, ShowsTitleYearVersionAndAddress)
{
    TAboutForm about;
    EXPECT_EQ(about.windowTitle(), "О программе ...");
    EXPECT_EQ(about.size(), QSize(277, 156));
    EXPECT_FALSE(about.isVisible());

    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_TRUE(about.VerLabel_1->text().startsWith("Параметры интерфейса RS485\n"));
    EXPECT_TRUE(about.VerLabel_1->text().endsWith(year)) << about.VerLabel_1->text().toStdString();
    EXPECT_FALSE(about.VerLabel_1->text().contains("%d"));

    EXPECT_EQ(about.VerLabel->text(), "Версия: " LINVAR_BUILD_VERSION);
    EXPECT_EQ(about.VerLabel->geometry().right() + 1, 265);
    EXPECT_EQ(about.VerLabel->y(), 100);
    EXPECT_EQ(about.wwwLabel->text(), LINVAR_BUILD_WEB_ADDRESS);
    EXPECT_EQ(about.wwwLabel->pos(), QPoint(11, 132));
    EXPECT_EQ(about.CloseButton->text(), "Закрыть");
    EXPECT_EQ(about.CloseButton->geometry(), QRect(192, 128, 75, 25));
}

TEST(About, AddressClickOpensTheSiteAndVersionClickDoesNothing)
{
    TAboutForm about;
    UrlCatcher catcher;
    const QString scheme = QUrl(LINVAR_BUILD_WEB_ADDRESS).scheme();
    QDesktopServices::setUrlHandler(scheme, &catcher, "Open");
    about.show();
    (void)QTest::qWaitForWindowExposed(&about);

    QTest::mouseClick(about.VerLabel, Qt::LeftButton);
    EXPECT_TRUE(catcher.Urls.isEmpty());
    QTest::mouseClick(about.wwwLabel, Qt::LeftButton);
    ASSERT_EQ(catcher.Urls.size(), 1);
    EXPECT_EQ(catcher.Urls[0], QUrl(LINVAR_BUILD_WEB_ADDRESS));
    QDesktopServices::unsetUrlHandler(scheme);
}

TEST(About, MenuItemShowsTheBoxCentredOverTheWindow)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    TAboutForm about(&w);
    w.SetAboutForm(&about);

    QRect shownAt;
    bool closeFocused = false;
    // The box is modal: look at it and close it from inside its own loop.
    QTimer::singleShot(0, &about, [&] {
        shownAt = about.frameGeometry();
        closeFocused = about.focusWidget() == about.CloseButton;
        QTest::mouseClick(about.CloseButton, Qt::LeftButton);
    });
    w.N1->trigger();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_TRUE(closeFocused);
    // Centred; the box's window frame is only known once it shows, hence a pixel of slack.
    const QRect main = w.frameGeometry();
    EXPECT_NEAR(shownAt.left(), main.left() + (main.width() - shownAt.width()) / 2, 1);
    EXPECT_NEAR(shownAt.top(), main.top() + (main.height() - shownAt.height()) / 2, 1);
}

#include "test_about.moc"

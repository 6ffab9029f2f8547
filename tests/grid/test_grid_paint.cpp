#include "tests/grid/GridTestSupport.h"

#include <QPainter>

namespace {

int CountColour(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixelColor(x, y) == colour;
        }
    }
    return n;
}

} // namespace

TEST_F(GridTest, EmptyHandlerPaintsFacesAndBackgroundEverywhere)
{
    Make(5);
    Grid->SetOnGetData(nullptr);
    const QImage image = Render();
    EXPECT_EQ(CountColour(image, Qt::magenta), 0) << "every client pixel is painted";
    EXPECT_EQ(image.pixelColor(30, 10), Face());
    EXPECT_EQ(image.pixelColor(90, 10), Face());
    EXPECT_EQ(image.pixelColor(200, 10), Base()) << "strip right of the last title cell";
    EXPECT_EQ(image.pixelColor(30, 70), Base());
    EXPECT_EQ(image.pixelColor(200, 70), Base()) << "rest of a row";
    EXPECT_EQ(image.pixelColor(30, 200), Base()) << "below the last row";
}

TEST_F(GridTest, TitleEdgesRaisedAndPressed)
{
    Make(5);
    const QColor white(255, 255, 255), grey(128, 128, 128), black(0, 0, 0);
    struct Probe
    {
        int X, Y;
        QColor Raised, Pressed;
    };
    const Probe probes[] = {
        {0, 10, white, grey},   // left
        {30, 0, white, grey},   // top
        {58, 10, grey, white},  // inner right
        {30, 18, grey, white},  // inner bottom
        {59, 10, black, black}, // outer right
        {59, 0, black, black},  // outer right reaches the top
        {30, 19, black, black}, // outer bottom
        {60, 10, white, white}, // next column's left edge stays raised
    };
    QImage image = Render();
    for (const Probe &p : probes) {
        EXPECT_EQ(image.pixelColor(p.X, p.Y), p.Raised) << p.X << "," << p.Y;
    }
    QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(Grid->PressedCol(), 0);
    image = Render();
    for (const Probe &p : probes) {
        EXPECT_EQ(image.pixelColor(p.X, p.Y), p.Pressed) << p.X << "," << p.Y;
    }
    EXPECT_EQ(CountColour(image, Qt::magenta), 0);
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(Grid->PressedCol(), -1);
    EXPECT_EQ(Render().pixelColor(0, 10), white);
}

TEST_F(GridTest, TitleIsPaintedToTheLastPixelWhenColumnsEndAtTheClientEdge)
{
    const QColor grey(128, 128, 128), black(0, 0, 0);
    // Columns ending exactly at the client width, or one pixel past it, as a drag can leave
    // them: the right edges that fall inside the client area are drawn, nothing stays unpainted.
    for (int overhang : {0, 1}) {
        Make(5, 300, 260);
        ASSERT_TRUE(Grid->SetColWidths(1, 240 + overhang));
        ASSERT_EQ(Vp()->width(), 300);
        const QImage title = Render().copy(0, 0, 300, 20);
        EXPECT_EQ(CountColour(title, Qt::magenta), 0) << "overhang " << overhang;
        // Outer right edge, inner right edge, face.
        const QColor edge[] = {black, grey, Face()};
        EXPECT_EQ(title.pixelColor(299, 10), edge[overhang]) << "overhang " << overhang;
        EXPECT_EQ(title.pixelColor(298, 10), edge[overhang + 1]) << "overhang " << overhang;
    }
}

TEST_F(GridTest, SelectionFrameSidesFollowShownColumns)
{
    const QColor black(0, 0, 0);
    Texts = QStringList{QString(), QString()};
    Make(5, 300, 260);
    // Row 0: top 20, bottom 41; columns end at 120.
    QImage image = Render();
    EXPECT_EQ(image.pixelColor(1, 30), black) << "left side";
    EXPECT_EQ(image.pixelColor(60, 21), black) << "top side";
    EXPECT_EQ(image.pixelColor(60, 39), black) << "bottom side";
    EXPECT_EQ(image.pixelColor(119, 30), black) << "right side";
    EXPECT_EQ(image.pixelColor(1, 40), Base()) << "nothing below the bottom line";
    EXPECT_EQ(image.pixelColor(120, 30), Base());
    EXPECT_EQ(image.pixelColor(60, 40), Base());

    Make(5, 100, 260);
    Grid->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(Grid->LeftCol(), 1);
    image = Render();
    EXPECT_EQ(image.pixelColor(1, 30), Base()) << "no left side once column 0 is scrolled off";
    EXPECT_EQ(image.pixelColor(1, 21), black);
    EXPECT_EQ(image.pixelColor(59, 30), black);

    Make(5, 300, 260);
    ASSERT_TRUE(Grid->SetColWidths(0, 400));
    image = Render();
    EXPECT_EQ(image.pixelColor(1, 30), black);
    EXPECT_EQ(image.pixelColor(299, 21), black) << "top side runs to the client edge";
    EXPECT_EQ(image.pixelColor(299, 30), Base()) << "no right side past the client edge";
    EXPECT_EQ(CountColour(image, Qt::magenta), 0);
}

TEST_F(GridTest, CutTextEndsInDotsAndExactFitIsWhole)
{
    const QString text = QStringLiteral("Скорость обмена");
    Texts = QStringList{text, QString()};
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    const QFontMetrics fm(font);
    const int full = fm.horizontalAdvance(text);
    const int dots = fm.horizontalAdvance(QStringLiteral("..."));

    // Width of column 0 and the text the cell must show.
    auto cut = [&](int available) {
        QString t = text;
        while (!t.isEmpty() && fm.horizontalAdvance(t) > available - dots) {
            t.chop(1);
        }
        return t + QStringLiteral("...");
    };
    const struct
    {
        int Width;
        QString Shown;
    } cases[] = {{full + 5, text}, {full + 4, cut(full - 1)}, {40, cut(35)}, {8, "..."}};

    for (const auto &c : cases) {
        Make(5);
        ASSERT_TRUE(Grid->SetColWidths(0, c.Width));
        const QImage image = Render();
        // Row 1 (top 41) carries no selection frame.
        const QRect cell(0, 41, c.Width, 21);
        QImage want(image.size(), image.format());
        want.fill(Base());
        {
            QPainter p(&want);
            p.setFont(font);
            p.setPen(Qt::black);
            p.setClipRect(cell);
            const int h = qRound(9 * Grid->logicalDpiY() / 72.0);
            p.drawText(5, 41 + (21 - h) / 2 - 2 + QFontMetrics(font, Vp()).ascent(), c.Shown);
        }
        EXPECT_EQ(image.copy(cell), want.copy(cell)) << "width " << c.Width;
    }
}

TEST_F(GridTest, DarkPaletteKeepsTheBodyReadable)
{
    // A dark theme: light text on a dark base. The body's black (colour 0) follows the text
    // colour, the background the base, and the selection frame the text too.
    Texts = QStringList{QStringLiteral("Сетевой адрес"), QStringLiteral("12")};
    Make(5);
    QPalette dark = Grid->palette();
    dark.setColor(QPalette::Base, QColor(32, 32, 32));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    Grid->setPalette(dark);
    Grid->SetColWidths(0, 150);
    const QImage image = Render();

    // Row 1 (y 41 to 62), the name cell: the base behind, and text that stands out from it.
    EXPECT_EQ(image.pixelColor(145, 52), QColor(32, 32, 32));
    int brightest = 0;
    for (int y = 41; y < 62; ++y) {
        for (int x = 0; x < 150; ++x)
            brightest = std::max(brightest, qGray(image.pixel(x, y)));
    }
    EXPECT_GT(brightest - qGray(QColor(32, 32, 32).rgb()), 150) << "text too dark to read";
    EXPECT_EQ(image.pixelColor(60, 21), QColor(230, 230, 230)) << "selection frame";
}

#pragma once

#include "UASGrid.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A shown grid of a known client size whose data callback records every call.
class GridTest : public ::testing::Test
{
protected:
    struct Call
    {
        int row;
        int col;
    };

    // Builds a grid with the given rows and columns whose client area is width x height.
    void Make(int rows, int width = 300, int height = 260, int cols = 2)
    {
        grid = std::make_unique<TASGrid>();
        grid->SetColCount(cols);
        grid->SetRowHeight(21);
        grid->SetOnGetData(
            [this](int row, int col, std::uint32_t &colour, std::uint8_t &, QString &data) {
                calls.push_back({row, col});
                colour = 0x000000;
                data = row < 0 ? QStringLiteral("T%1").arg(col) : texts.value(col);
            });
        grid->SetOnCSelRow([this](QObject *) {
            ++selEvents;
            selSeen.push_back(grid->SelectedRow());
        });
        grid->SetOnChoiseRow([this](QObject *) { ++choices; });
        grid->resize(width, height);
        grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        grid->SetRowCount(rows);
        // Let the scroll bars settle, then fit the client area to the wanted size.
        Settle();
        const QSize vp = grid->viewport()->size();
        grid->resize(width + (width - vp.width()), height + (height - vp.height()));
        Settle();
        Reset();
    }

    // Delivers posted events, scroll bar layout and pending paints.
    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }

    void Reset()
    {
        calls.clear();
        selEvents = 0;
        choices = 0;
        selSeen.clear();
    }

    // Paints the client area into an image that starts out magenta, so unpainted pixels show.
    QImage Render() const
    {
        QImage image(grid->viewport()->size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        grid->viewport()->render(&image);
        return image;
    }

    QWidget *Vp() const { return grid->viewport(); }
    QColor Base() const { return grid->palette().color(QPalette::Base); }
    QColor Face() const { return grid->palette().color(QPalette::Button); }

    std::unique_ptr<TASGrid> grid;
    std::vector<Call> calls;
    std::vector<int> selSeen;
    QStringList texts{QStringLiteral("a"), QStringLiteral("b")};
    int selEvents = 0;
    int choices = 0;
};

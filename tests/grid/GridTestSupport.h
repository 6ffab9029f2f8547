#pragma once

#include "controls/UASGrid.h"

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
        int Row;
        int Col;
    };

    // Builds a grid with the given rows and columns whose client area is width x height.
    void Make(int rows, int width = 300, int height = 260, int cols = 2)
    {
        Grid = std::make_unique<TASGrid>();
        Grid->SetColCount(cols);
        Grid->SetRowHeight(21);
        Grid->SetOnGetData(
            [this](int row, int col, std::uint32_t &colour, std::uint8_t &, QString &data) {
                Calls.push_back({row, col});
                colour = 0x000000;
                data = row < 0 ? QStringLiteral("T%1").arg(col) : Texts.value(col);
            });
        Grid->SetOnCSelRow([this](QObject *) {
            ++SelEvents;
            SelSeen.push_back(Grid->SelectedRow());
        });
        Grid->SetOnChoiseRow([this](QObject *) { ++Choices; });
        Grid->resize(width, height);
        Grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Grid.get()));
        Grid->SetRowCount(rows);
        // Let the scroll bars settle, then fit the client area to the wanted size.
        Settle();
        const QSize vp = Grid->viewport()->size();
        Grid->resize(width + (width - vp.width()), height + (height - vp.height()));
        Settle();
        Reset();
    }

    // Builds a grid of `rows` rows with `row` selected (and the focus, if `focus`), then forgets
    // the calls and events that took.
    void MakeSelected(int rows, int row, bool focus = false)
    {
        Make(rows);
        Grid->SetSelectedRow(row);
        if (focus) {
            Grid->setFocus();
        }
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
        Calls.clear();
        SelEvents = 0;
        Choices = 0;
        SelSeen.clear();
    }

    // Paints the client area into an image that starts out magenta, so unpainted pixels show.
    QImage Render() const
    {
        QImage image(Grid->viewport()->size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        Grid->viewport()->render(&image);
        return image;
    }

    QWidget *Vp() const { return Grid->viewport(); }
    QColor Base() const { return Grid->palette().color(QPalette::Base); }
    QColor Face() const { return Grid->palette().color(QPalette::Button); }

    std::unique_ptr<TASGrid> Grid;
    std::vector<Call> Calls;
    std::vector<int> SelSeen;
    QStringList Texts{QStringLiteral("a"), QStringLiteral("b")};
    int SelEvents = 0;
    int Choices = 0;
};

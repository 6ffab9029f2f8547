// Time of one full paint of a 400 x 300 grid with few and with very many rows, and of the same
// paint by a QTableView over a minimal model. The last line sums it up as key=value pairs.
#include "controls/UASGrid.h"

#include "bench/RunRecorder.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kCols = 3;
// Rows high enough that ten of them fill the view: the few-row and the many-row grid then
// show the same cells, and only the row count differs.
constexpr int kRowHeight = 28;

// Cell texts of the same shape on every row, so that only the row count differs.
QString CellText(int row, int col)
{
    // clang-format off
    static const QString names[] = {
        QStringLiteral("Адрес на шине"),
        QStringLiteral("Скорость обмена"),
        QStringLiteral("Время ответа, мс"),
        QStringLiteral("Стоп-биты"),
        QStringLiteral("Пауза передачи"),
        QStringLiteral("Режим линии"),
        QStringLiteral("Таймаут, с"),
        QStringLiteral("Коэффициент"),
    };
    // clang-format on
    switch (col) {
    case 0:
        return names[row % 8];
    case 1:
        return QString::number(row % 90 + 10);
    default:
        return QString::number(row % 900 + 100) + QStringLiteral(".5");
    }
}

// One full paint of the widget, title and scroll bars included.
void PaintOnce(QWidget &widget, QImage &image)
{
    widget.render(&image);
    benchmark::DoNotOptimize(image.constBits());
}

void PaintGrid(benchmark::State &state)
{
    TASGrid grid;
    grid.SetColCount(kCols);
    grid.SetColWidths(0, 160);
    grid.SetColWidths(1, 100);
    grid.SetColWidths(2, 100);
    grid.SetRowHeight(kRowHeight);
    grid.SetOnGetData([](int row, int col, std::uint32_t &colour, std::uint8_t &, QString &data) {
        colour = 0;
        data = row < 0 ? QStringLiteral("Столбец %1").arg(col) : CellText(row, col);
    });
    grid.SetBorderStyle(TBorderStyle::bsSingle);
    grid.resize(kWidth, kHeight);
    grid.show();
    grid.SetRowCount(int(state.range(0)));
    grid.SetSelectedRow(int(state.range(0) / 2));
    QApplication::processEvents();
    QImage image(grid.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        PaintOnce(*grid.viewport(), image);
    }
}

// The least a table model needs to feed a QTableView.
class CountingModel : public QAbstractTableModel
{
public:
    explicit CountingModel(int rows) : FRows(rows) {}
    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : FRows; }
    int columnCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : kCols;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole) {
            return {};
        }
        return CellText(index.row(), index.column());
    }

private:
    int FRows;
};

void PaintTableView(benchmark::State &state)
{
    CountingModel model(int(state.range(0)));
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setDefaultSectionSize(kRowHeight);
    view.horizontalHeader()->resizeSection(0, 160);
    view.horizontalHeader()->resizeSection(1, 100);
    view.horizontalHeader()->resizeSection(2, 100);
    view.resize(kWidth, kHeight);
    view.show();
    view.selectRow(int(state.range(0) / 2));
    QApplication::processEvents();
    QImage image(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        PaintOnce(view, image);
    }
}

BENCHMARK(PaintGrid)->Arg(10)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintTableView)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Processor time per paint: the machine is shared, so wall-clock time says more about the
    // neighbours than about the paint.
    TRunRecorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double few = reporter.CpuSeconds("PaintGrid/10") * 1e6;
    const double many = reporter.CpuSeconds("PaintGrid/1000000") * 1e6;
    const double table = reporter.CpuSeconds("PaintTableView/1000000") * 1e6;
    std::printf("paint_us_10=%.1f paint_us_1m=%.1f paint_ratio=%.3f qtableview_us=%.1f "
                "paint_vs_qtableview=%.3f\n",
                few, many, few > 0 ? many / few : 0.0, table, table > 0 ? many / table : 0.0);
    return 0;
}

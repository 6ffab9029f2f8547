#include "ui/UTrafficForm.h"

#include "ui/UBusHealthView.h"
#include "ui/UErrorBox.h"
#include "ui/UFileDialog.h"
#include "ui/UListGrid.h"
#include "ui/UWords.h"

#include "controls/UASGrid.h"

#include "link/Clock.h"
#include "link/Frame.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString PauseText = QStringLiteral("Пауза");
const QString ResumeText = QStringLiteral("Продолжить");
// How often the window takes what the link has recorded.
constexpr int TakeIntervalMs = 100;

const QString Titles[] = {QStringLiteral("Время"),   QStringLiteral("Адрес"),
                          QStringLiteral("Команда"), QStringLiteral("Запрос"),
                          QStringLiteral("Ответ"),   QStringLiteral("Итог")};
constexpr int Widths[] = {90, 45, 100, 165, 165, 155};
constexpr int ColumnCount = 6;

QString CommandName(uint8_t command)
{
    switch (command) {
    case CMD_PING:
        return QStringLiteral("проверка связи");
    case CMD_IDENTIFY:
        return QStringLiteral("тип и версия");
    case CMD_READ_PARAM:
        return QStringLiteral("чтение");
    case CMD_WRITE_PARAM:
        return QStringLiteral("запись");
    default:
        return QStringLiteral("0x%1").arg(command, 2, 16, QLatin1Char('0')).toUpper();
    }
}

QString Hex(const std::vector<uint8_t> &bytes)
{
    return QString::fromStdString(HexText(bytes.data(), bytes.size()));
}

} // namespace

TTrafficForm::TTrafficForm(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setWindowTitle(QStringLiteral("Обмен по линии"));
    setFont(owner ? owner->font() : font());
    resize(760, 420);
    WallAtMonotonicZeroMs = QDateTime::currentMSecsSinceEpoch() - MonotonicNs() / 1'000'000;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    Tabs = new QTabWidget(this);
    outer->addWidget(Tabs);
    auto *attemptsPage = new QWidget(Tabs);
    Grid = NewListGrid(
        attemptsPage, Widths, [this](int row, int col) { return CellText(row, col); },
        [this](int row) { return RowFailed(row); });
    CountLabel = new QLabel(attemptsPage);
    PauseButton = new QPushButton(PauseText, attemptsPage);
    ClearButton = new QPushButton(QStringLiteral("Очистить"), attemptsPage);
    CopyButton = new QPushButton(QStringLiteral("Копировать"), attemptsPage);
    SaveButton = new QPushButton(QStringLiteral("Сохранить..."), attemptsPage);
    LayOutList(attemptsPage, 4, Grid, CountLabel,
               {PauseButton, ClearButton, CopyButton, SaveButton});
    connect(PauseButton, &QPushButton::clicked, this, &TTrafficForm::PauseButtonClick);
    connect(ClearButton, &QPushButton::clicked, this, &TTrafficForm::ClearButtonClick);
    connect(CopyButton, &QPushButton::clicked, this, &TTrafficForm::CopyButtonClick);
    connect(SaveButton, &QPushButton::clicked, this, &TTrafficForm::SaveButtonClick);
    Tabs->addTab(attemptsPage, QStringLiteral("Попытки"));
    HealthView = new TBusHealthView(Tabs);
    Tabs->addTab(HealthView, QStringLiteral("Состояние приборов"));

    // The record runs from here on, the window shown or not: with nobody looking the link
    // pays one copy of the attempt into it, and the timer's take is a few microseconds.
    SetTrafficRecord(&Record);
    Timer = new QTimer(this);
    Timer->setInterval(TakeIntervalMs);
    connect(Timer, &QTimer::timeout, this, &TTrafficForm::TakeAttempts);
    Timer->start();
    UpdateCountLabel();
}

TTrafficForm::~TTrafficForm()
{
    // A worker may be inside an attempt; the record it reports to is this object's, so the
    // reports stop first. The owner has stopped its workers before it destroys this window.
    if (CurrentTrafficRecord() == &Record)
        SetTrafficRecord(nullptr);
}

void TTrafficForm::TakeAttempts()
{
    std::vector<TTrafficAttempt> attempts = Record.Take();
    DroppedSeen = Record.Dropped();
    if (attempts.empty()) {
        UpdateCountLabel();
        return;
    }
    // The health adds up every attempt; a pause holds only the rows still.
    HealthView->AddAttempts(attempts);
    if (IsPaused) {
        for (TTrafficAttempt &attempt : attempts)
            Hidden.push_back(std::move(attempt));
        while (Hidden.size() > MaxRows)
            Hidden.pop_front();
        UpdateCountLabel();
        return;
    }
    AppendRows(std::move(attempts));
}

void TTrafficForm::AppendRows(std::vector<TTrafficAttempt> attempts)
{
    // The grid follows the newest rows unless the operator has scrolled up to older ones.
    const bool following = Grid->TopRow() >= Grid->VScrollMax();
    const int selected = Grid->SelectedRow();
    for (TTrafficAttempt &attempt : attempts)
        Rows.push_back(std::move(attempt));
    size_t dropped = 0;
    while (Rows.size() > MaxRows) {
        Rows.pop_front();
        ++dropped;
    }
    Grid->SetRowCount(static_cast<int>(Rows.size()));
    // The selection stays on its attempt as older rows go.
    if (selected >= 0 && dropped > 0)
        Grid->SetSelectedRow(std::max(0, selected - static_cast<int>(dropped)));
    Grid->RefreshBody();
    if (following)
        Grid->SetTopRow(Grid->VScrollMax());
    else if (dropped > 0)
        Grid->SetTopRow(Grid->TopRow() - static_cast<int>(dropped));
    UpdateCountLabel();
}

void TTrafficForm::UpdateCountLabel()
{
    QString text = QStringLiteral("Попыток: %1").arg(Rows.size());
    if (!Hidden.empty())
        text += QStringLiteral(", скрыто на паузе: %1").arg(Hidden.size());
    if (DroppedSeen > 0)
        text += QStringLiteral(", пропущено: %1").arg(DroppedSeen);
    CountLabel->setText(text);
}

QString TTrafficForm::CellText(int row, int col) const
{
    if (row == -1)
        return col >= 0 && col < ColumnCount ? Titles[col] : QString();
    if (row < 0 || static_cast<size_t>(row) >= Rows.size())
        return QString();
    const TTrafficAttempt &attempt = Rows[static_cast<size_t>(row)];
    switch (col) {
    case 0:
        return QDateTime::fromMSecsSinceEpoch(WallAtMonotonicZeroMs + attempt.TimeNs / 1'000'000)
            .toString(QStringLiteral("HH:mm:ss.zzz"));
    case 1:
        return attempt.Request.empty() ? QString() : QString::number(attempt.Request[0]);
    case 2:
        return attempt.Request.size() > 3 ? CommandName(attempt.Request[3]) : QString();
    case 3:
        return Hex(attempt.Request);
    case 4:
        return Hex(attempt.Reply);
    case 5: {
        QString text = VerdictText(attempt.Verdict);
        if (attempt.Echo)
            text += QStringLiteral(", эхо");
        if (attempt.Attempt > 1)
            text += QStringLiteral(" (попытка %1)").arg(attempt.Attempt);
        return text;
    }
    default:
        return QString();
    }
}

bool TTrafficForm::RowFailed(int row) const
{
    return row >= 0 && static_cast<size_t>(row) < Rows.size() &&
           Rows[static_cast<size_t>(row)].Verdict != TAttemptVerdict::Accepted;
}

QString TTrafficForm::RowLine(int row) const
{
    QStringList cells;
    for (int col = 0; col < ColumnCount; ++col)
        cells << CellText(row, col);
    return cells.join(QLatin1Char('\t'));
}

bool TTrafficForm::SaveToFile(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << RowLine(-1) << '\n';
    for (int row = 0; row < RowCount(); ++row)
        out << RowLine(row) << '\n';
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}

void TTrafficForm::PauseButtonClick()
{
    IsPaused = !IsPaused;
    PauseButton->setText(IsPaused ? ResumeText : PauseText);
    if (!IsPaused && !Hidden.empty()) {
        std::vector<TTrafficAttempt> shown(std::make_move_iterator(Hidden.begin()),
                                           std::make_move_iterator(Hidden.end()));
        Hidden.clear();
        AppendRows(std::move(shown));
    }
    UpdateCountLabel();
}

void TTrafficForm::ClearButtonClick()
{
    Rows.clear();
    Hidden.clear();
    Grid->SetRowCount(0);
    Grid->RefreshBody();
    UpdateCountLabel();
}

void TTrafficForm::CopyButtonClick()
{
    const int row = Grid->SelectedRow();
    if (row >= 0 && row < RowCount())
        QApplication::clipboard()->setText(RowLine(row));
}

void TTrafficForm::SaveButtonClick()
{
    const QString path =
        AskFileName(this, TFileDialogKind::Save, QStringLiteral("Сохранить обмен по линии"),
                    LastFolder, QStringLiteral("Текст (*.txt);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    LastFolder = QFileInfo(path).absolutePath();
    if (!SaveToFile(path))
        ShowErrorBox(this, QStringLiteral("Не удалось записать файл \"%1\".").arg(path));
}

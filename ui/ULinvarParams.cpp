// The parameter page of the main window: reading a device's parameters, the grid with its
// floating value editor, defaults, writing, and going back to the list.

#include "ULinvar.h"

#include "UValueText.h"

#include "UASGrid.h"
#include "UComPortSpinEdit.h"
#include "UDivisorSpinEdit.h"

#include "catalogue/DeviceCatalogue.h"
#include "workers/DeviceListEntry.h"
#include "workers/TLoadThread.h"
#include "workers/TSaveThread.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString WaitingText = QStringLiteral("Ждем...");
const QString ReadingText = QStringLiteral("Чтение...");
const QString WritingText = QStringLiteral("Запись...");
const QString UndefinedText = QStringLiteral("Неопределено");

// Entry of grid row `row`, or nullptr when the row has none.
ParameterDescription *RowEntry(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= DeviceParameters.size())
        return nullptr;
    return &DeviceParameters[static_cast<size_t>(row)];
}

} // namespace

void TMainFormLinvar::CreateParamsPage()
{
    TabSheet2 = new QWidget(PageControl);
    auto *page = new QVBoxLayout(TabSheet2);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    // The editor floats over the grid, so the grid panel places its children by hand: the
    // grid fills it, the editor sits wherever WM_PLACEEDITOR puts it.
    GridPanel = new QWidget(TabSheet2);
    ASGrid = new TASGrid(GridPanel);
    ASGrid->SetBorderStyle(TBorderStyle::bsSingle);
    ASGrid->SetColCount(2);
    ASGrid->SetRowHeight(21);
    ASGrid->SetHotHint(true);
    ASGrid->SetOnGetData([this](int row, int col, uint32_t &color, uint8_t &flags, QString &data) {
        ASGridGetData(row, col, color, flags, data);
    });
    ASGrid->SetOnCSelRow([this](QObject *) { ASGridCSelRow(); });
    GridPanel->installEventFilter(this);

    DivisorSpinEdit = new TDivisorSpinEdit(GridPanel);
    DivisorSpinEdit->setFrame(false);
    QFont editorFont(QStringLiteral("Arial"));
    editorFont.setPixelSize(12);
    DivisorSpinEdit->setFont(editorFont);
    // The value column and the editor show the same decimal mark: the locale's.
    DivisorSpinEdit->SetSeparator(LocaleDecimalMark());
    DivisorSpinEdit->SetDivisor(8);
    DivisorSpinEdit->setText(QStringLiteral("0"));
    DivisorSpinEdit->OnChange = [this](QObject *) { DivisorSpinEditChange(); };
    DivisorSpinEdit->OnKeyDown = [this](QObject *, int &key, Qt::KeyboardModifiers shift) {
        if (DivisorSpinEditKeyDown(key, shift))
            key = 0;
    };
    DivisorSpinEdit->raise();
    page->addWidget(GridPanel, 1);

    btnPanel = new QWidget(TabSheet2);
    btnPanel->setFixedHeight(41);
    auto *buttons = new QHBoxLayout(btnPanel);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->addStretch(1);
    DefButton = new QPushButton(QStringLiteral("По умолчанию"), btnPanel);
    SaveButton = new QPushButton(QStringLiteral("Записать"), btnPanel);
    CancelButton = new QPushButton(QStringLiteral("Назад"), btnPanel);
    DefButton->setFixedSize(87, 25);
    SaveButton->setFixedSize(91, 25);
    CancelButton->setFixedSize(91, 25);
    // The gaps between the buttons are exact, not the style's spacing plus extra.
    buttons->setSpacing(0);
    buttons->addWidget(DefButton);
    buttons->addSpacing(15);
    buttons->addWidget(SaveButton);
    buttons->addSpacing(17);
    buttons->addWidget(CancelButton);
    setTabOrder(CancelButton, SaveButton);
    setTabOrder(SaveButton, DefButton);
    page->addWidget(btnPanel);

    connect(DefButton, &QPushButton::clicked, this, &TMainFormLinvar::DefButtonClick);
    connect(SaveButton, &QPushButton::clicked, this, &TMainFormLinvar::SaveButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMainFormLinvar::CancelButtonClick);

    PageControl->addWidget(TabSheet2);
}

void TMainFormLinvar::ParamsButtonClick()
{
    if (FBusyState != TBusyState::Idle)
        return;
    uint32_t tag = 0;
    if (!SelectedTag(tag))
        return;
    uint8_t address = 0, type = 0;
    uint16_t version = 0;
    DecodeDeviceTag(tag, address, type, version);

    SetCloseEnabled(false);
    // Nothing on the list page may rebuild the parameter list or start a second worker
    // while the read runs: its controls wait for WM_LOADDONE.
    SetListPageEnabled(false);
    FBusyState = TBusyState::Reading;
    ParamsAddress = address;

    FormDeviceParam(type, version);
    ASGrid->SetRowCount(static_cast<int>(DeviceParameters.size()));
    SetStatus(ReadingText);

    ParamsWorker = TWorkerHandle();
    auto *worker = new TLoadThread(address, &ParamsWorker);
    if (!ParamsWorker.Started()) {
        // No read is running: the list page comes back as it was.
        delete worker;
        ParamsWorker = TWorkerHandle();
        FBusyState = TBusyState::Idle;
        SetListPageEnabled(true);
        UpdateParamsButton();
        SetCloseEnabled(true);
        SetStatus(WaitingText);
        ProgressBar->setValue(0);
        return;
    }
    FormResize();
}

void TMainFormLinvar::ASGridGetData(int ARow, int ACol, uint32_t &Color, uint8_t &Flags,
                                    QString &Data)
{
    Q_UNUSED(Flags);
    Color = 0;
    if (ARow == -1) {
        Data = ACol == 0 ? QStringLiteral("Название параметра") : QStringLiteral("Значение");
        return;
    }
    const ParameterDescription *entry = RowEntry(ARow);
    if (!entry || ARow >= ASGrid->RowCount())
        return;
    if (ACol == 0) {
        Data = QString::fromStdString(Cp1251ToUtf8(entry->Name));
    } else {
        const int32_t value = entry->Value;
        Data = value == VALUE_UNDEFINED
                   ? UndefinedText
                   : FormatParamValue(value, entry->Divisor, LocaleDecimalMark());
    }
    // The editor shows only while its row is on screen: below the rows shown it would float
    // over another row and edit a value the operator cannot see.
    const ParameterDescription *selected = RowEntry(ASGrid->SelectedRow());
    const int offset = ASGrid->SelectedOffset();
    DivisorSpinEdit->setVisible(offset >= 0 && offset < std::max(ASGrid->VisibleRows(), 1) &&
                                selected && selected->Value != VALUE_UNDEFINED);
    if (ARow == ASGrid->SelectedRow())
        PostMessage(WM_PLACEEDITOR, 0, 0);
}

void TMainFormLinvar::WMPlaceEditor()
{
    const QRect grid = ASGrid->geometry();
    const QPoint client = ASGrid->viewport()->pos();
    // The column widths count from the grid's client area, inside its border.
    DivisorSpinEdit->setGeometry(grid.left() + client.x() + ASGrid->ColWidths(0) + 5,
                                 grid.top() + client.y() + ASGrid->TitleHeight() +
                                     ASGrid->SelectedOffset() * ASGrid->RowHeight() + 2,
                                 std::max(0, ASGrid->ColWidths(1) - 6), ASGrid->RowHeight() - 4);
    if (PageControl->currentIndex() == 1 && DivisorSpinEdit->isVisible())
        DivisorSpinEdit->setFocus();
}

void TMainFormLinvar::LoadEditorFromRow()
{
    const ParameterDescription *entry = RowEntry(ASGrid->SelectedRow());
    if (!entry) {
        // No row selected, as for a device whose list is empty: there is nothing to edit, and
        // the editor must not float over the empty grid with another device's value.
        DivisorSpinEdit->hide();
        return;
    }
    EditorTracking = false;
    // A divisor of 0 or below cannot scale a value; such a row is shown and edited unscaled.
    DivisorSpinEdit->SetDivisor(static_cast<uint32_t>(std::max(entry->Divisor, 1)));
    // The editor refuses crossing bounds, so the order of the two depends on where the new
    // range lies against the old one.
    if (entry->Minimum > DivisorSpinEdit->MaxValue()) {
        DivisorSpinEdit->SetMaxValue(entry->Maximum);
        DivisorSpinEdit->SetMinValue(entry->Minimum);
    } else {
        DivisorSpinEdit->SetMinValue(entry->Minimum);
        DivisorSpinEdit->SetMaxValue(entry->Maximum);
    }
    DivisorSpinEdit->SetValue(entry->Value);
    DivisorSpinEdit->setVisible(entry->Value != VALUE_UNDEFINED);
    EditorTracking = true;
}

void TMainFormLinvar::ASGridCSelRow()
{
    LoadEditorFromRow();
    PostMessage(WM_PLACEEDITOR, 0, 0);
}

void TMainFormLinvar::DivisorSpinEditChange()
{
    if (!EditorTracking)
        return;
    if (ParameterDescription *entry = RowEntry(ASGrid->SelectedRow()))
        entry->Value = DivisorSpinEdit->GetValue();
}

bool TMainFormLinvar::DivisorSpinEditKeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    Q_UNUSED(Shift);
    const int row = ASGrid->SelectedRow();
    const int last = ASGrid->RowCount() - 1;
    const int page = ASGrid->VisibleRows();
    int target = -1;
    switch (Key) {
    case Qt::Key_Up:
        if (row >= 1)
            target = row - 1;
        break;
    case Qt::Key_Down:
        if (row >= 0 && row < last)
            target = row + 1;
        break;
    case Qt::Key_PageUp:
        if (row >= 1)
            target = std::max(0, row - page);
        break;
    case Qt::Key_PageDown:
        if (row >= 0 && row < last)
            target = std::min(last, row + page);
        break;
    case Qt::Key_Home:
        if (row >= 1)
            target = 0;
        break;
    case Qt::Key_End:
        if (row >= 0 && row < last)
            target = last;
        break;
    default:
        break;
    }
    if (target < 0)
        return false;
    // Leaving the editor first makes it clamp the value of the row being left.
    ASGrid->setFocus();
    ASGrid->SetSelectedRow(target);
    return true;
}

void TMainFormLinvar::DefButtonClick()
{
    for (ParameterDescription &entry : DeviceParameters)
        entry.Value = entry.Default;
    if (const ParameterDescription *entry = RowEntry(ASGrid->SelectedRow()))
        DivisorSpinEdit->SetValue(entry->Value);
    ASGrid->RefreshBody();
}

void TMainFormLinvar::SetParamsPageEnabled(bool enabled)
{
    ASGrid->setEnabled(enabled);
    DivisorSpinEdit->setEnabled(enabled);
    DefButton->setEnabled(enabled);
    SaveButton->setEnabled(enabled);
    CancelButton->setEnabled(enabled);
}

void TMainFormLinvar::SaveButtonClick()
{
    if (FBusyState != TBusyState::Idle)
        return;
    SetParamsPageEnabled(false);
    SetCloseEnabled(false);
    uint32_t tag = 0;
    uint8_t address = ParamsAddress;
    if (SelectedTag(tag)) {
        uint8_t type = 0;
        uint16_t version = 0;
        DecodeDeviceTag(tag, address, type, version);
    }
    SetStatus(WritingText);
    FBusyState = TBusyState::Writing;
    ParamsWorker = TWorkerHandle();
    auto *worker = new TSaveThread(address, &ParamsWorker);
    if (!ParamsWorker.Started()) {
        // No write is running, so nothing will send WM_SAVEDONE: the page comes back here.
        delete worker;
        ParamsWorker = TWorkerHandle();
        FBusyState = TBusyState::Idle;
        SetStatus(WaitingText);
        ProgressBar->setValue(0);
        SetParamsPageEnabled(true);
        SetCloseEnabled(true);
    }
}

void TMainFormLinvar::CancelButtonClick()
{
    PageControl->setCurrentIndex(0);
}

void TMainFormLinvar::FormResize()
{
    if (!ASGrid)
        return;
    const QScrollBar *bar = ASGrid->verticalScrollBar();
    const int allowance =
        bar->maximum() > bar->minimum() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    ASGrid->SetColWidths(1, 70);
    // A panel too narrow for the value column leaves the name column at 0, not negative.
    ASGrid->SetColWidths(0, std::max(0, GridPanel->width() - 70 - 5 - allowance));
}

void TMainFormLinvar::WMLoadDone()
{
    if (FBusyState != TBusyState::Reading)
        return;
    FBusyState = TBusyState::Idle;
    ParamsWorker = TWorkerHandle();
    ProgressBar->setValue(0);
    SetStatus(WaitingText);
    SetListPageEnabled(true);
    UpdateParamsButton();
    SetCloseEnabled(true);
    // The whole editor is reloaded, not only its value: when the new list kept the selected
    // row, no selection change came to load the new row's divisor and bounds.
    LoadEditorFromRow();
    PageControl->setCurrentIndex(1);
    FormResize();
}

void TMainFormLinvar::WMSaveDone()
{
    if (FBusyState != TBusyState::Writing)
        return;
    FBusyState = TBusyState::Idle;
    ParamsWorker = TWorkerHandle();
    ASGrid->setEnabled(true);
    DivisorSpinEdit->setEnabled(true);
    LoadEditorFromRow();
    DefButton->setEnabled(true);
    SaveButton->setEnabled(true);
    CancelButton->setEnabled(true);
    SetCloseEnabled(true);
    // Let the grid show the echoed values before the status returns to idle; operator input
    // waits, so no handler runs inside this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ProgressBar->setValue(0);
    SetStatus(WaitingText);
}

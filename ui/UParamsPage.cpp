#include "ui/UParamsPage.h"

#include "ui/UUnsavedQuestion.h"
#include "ui/UValueText.h"
#include "ui/UWords.h"

#include "controls/UASGrid.h"
#include "controls/UDivisorSpinEdit.h"

#include "controls/UColors.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/ParameterReply.h"
#include "workers/StartWorker.h"
#include "workers/TLoadThread.h"
#include "workers/TSaveThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace {

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

// Text colour of the rows and the editor that show an unconfirmed value.
constexpr uint32_t UnconfirmedColor = clRed;
// Text colour of the rows and the editor that show a value the device refused.
constexpr uint32_t RefusedColor = clPurple;
// Text colour of rows loaded from a parameter set whose value differs from the value read.
constexpr uint32_t LoadedColor = clBlue;

} // namespace

TParamsPage::TParamsPage(IParamsPageHost &host, QWidget *parent) : QWidget(parent), Host(host)
{
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    CreateGrid();
    page->addWidget(GridPanel, 1);
    CreateButtons();
    page->addWidget(btnPanel);
    // Tab goes through the buttons in their own order, then to the editor and round again.
    setTabOrder(CancelButton, SaveButton);
    setTabOrder(SaveButton, DefButton);
    setTabOrder(DefButton, DivisorSpinEdit);
    // The columns' first widths; every later resize of the panel fits them again.
    ASGrid->SetColWidths(1, 70);
    ASGrid->SetColWidths(0, std::max(0, GridPanel->width() - 75));
}

void TParamsPage::CreateGrid()
{
    // The editor floats over the grid, so the grid panel places its children by hand: the
    // grid fills it, the editor sits wherever WM_PLACEEDITOR puts it.
    GridPanel = new QWidget(this);
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
    // A click on the selected row focuses the editor; a marked row explains itself in a hint
    // under the pointer.
    ASGrid->viewport()->installEventFilter(this);

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
}

void TParamsPage::CreateButtons()
{
    btnPanel = new QWidget(this);
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

    connect(DefButton, &QPushButton::clicked, this, &TParamsPage::DefButtonClick);
    connect(SaveButton, &QPushButton::clicked, this, &TParamsPage::SaveButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TParamsPage::CancelButtonClick);
}

bool TParamsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == GridPanel && event->type() == QEvent::Resize) {
        // The grid fills its panel; the editor floating over it is placed by WM_PLACEEDITOR.
        ASGrid->setGeometry(GridPanel->rect());
        FormResize();
    }
    if (watched == GridPanel && event->type() == QEvent::Wheel) {
        // A wheel turn the editor left alone (it has no focus) scrolls the grid under it, as a
        // turn over any other cell does.
        QCoreApplication::sendEvent(ASGrid->viewport(), event);
        return true;
    }
    if (watched == ASGrid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        // A click on the row already selected changes no selection, yet the operator clicked
        // there to edit it: the editor takes the focus, so typing reaches it.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int row = ASGrid->RowAt(mouse->position().toPoint().y());
        if (mouse->button() == Qt::LeftButton && row >= 0 && row == ASGrid->SelectedRow())
            FocusEditorOnPlace();
    }
    if (watched == ASGrid->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString hint = RowHint(ASGrid->RowAt(help->pos().y()));
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), hint, ASGrid->viewport());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TParamsPage::StartRead(uint8_t type, uint8_t address, uint16_t version)
{
    Host.WorkBegins(true, ReadingText);
    Device = {address, type, version, {}};
    FormDeviceParam(type, version);
    ReadValues.clear();
    LoadedRows.clear();
    AfterWrite = false;
    EditorRow = -1;
    ASGrid->SetRowCount(static_cast<int>(DeviceParameters.size()));
    if (!StartWorker<TLoadThread>(Worker, address)) {
        Host.WorkEnds();
        return false;
    }
    FormResize();
    return true;
}

void TParamsPage::WMLoadDone()
{
    Worker = TWorkerHandle();
    Device.ReadAt = CurrentTimeText();
    ReadValues.clear();
    for (const ParameterDescription &entry : DeviceParameters)
        ReadValues.push_back(entry.Value);
    // The whole editor is reloaded, not only its value: when the new list kept the selected
    // row, no selection change came to load the new row's divisor and bounds.
    LoadEditorFromRow();
    FocusEditorOnPlace();
}

void TParamsPage::WMSaveDone()
{
    Worker = TWorkerHandle();
    // The echoed values are what the device now holds: a set loaded later is told against them.
    ReadValues.clear();
    for (const ParameterDescription &entry : DeviceParameters)
        ReadValues.push_back(entry.Value);
    AfterWrite = true;
    SetControlsEnabled(true);
    LoadEditorFromRow();
    FocusEditorOnPlace();
}

void TParamsPage::DeviceMoved(uint8_t address)
{
    Device.Address = address;
}

QString TParamsPage::CellText(int ARow, int ACol) const
{
    if (ARow == -1)
        return ACol == 0 ? QStringLiteral("Название параметра") : QStringLiteral("Значение");
    const ParameterDescription *entry = RowEntry(ARow);
    if (!entry || ARow >= ASGrid->RowCount())
        return QString();
    if (ACol == 0)
        return QString::fromStdString(Cp1251ToUtf8(entry->Name));
    const int32_t value = entry->Value;
    return value == VALUE_UNDEFINED ? UndefinedText
                                    : FormatParamValue(value, entry->Divisor, LocaleDecimalMark());
}

bool TParamsPage::WriteAnswered(size_t row, TParameterReply reply) const
{
    // Only a write leaves such values: a read without a reply shows "Неопределено", and a value
    // put in since the write (typed, the defaults, a set) was never sent. An entry without a
    // value has nothing to confirm or refuse.
    if (!AfterWrite || row >= DeviceParameters.size() || row >= ReadValues.size())
        return false;
    const ParameterDescription &entry = DeviceParameters[row];
    return ReplyOf(entry) == reply && entry.Value != VALUE_UNDEFINED &&
           entry.Value == ReadValues[row];
}

bool TParamsPage::WriteUnconfirmed(size_t row) const
{
    return WriteAnswered(row, TParameterReply::NoValidReply);
}

bool TParamsPage::WriteRefused(size_t row) const
{
    return WriteAnswered(row, TParameterReply::WriteRefused);
}

bool TParamsPage::RowUnconfirmed(int ARow) const
{
    return ARow >= 0 && ARow < ASGrid->RowCount() && WriteUnconfirmed(static_cast<size_t>(ARow));
}

bool TParamsPage::RowRefused(int ARow) const
{
    return ARow >= 0 && ARow < ASGrid->RowCount() && WriteRefused(static_cast<size_t>(ARow));
}

bool TParamsPage::HasUnsavedEdits() const
{
    if (ReadValues.size() != DeviceParameters.size())
        return false;
    for (size_t row = 0; row < DeviceParameters.size(); ++row) {
        if (DeviceParameters[row].Value != ReadValues[row] || WriteUnconfirmed(row) ||
            WriteRefused(row))
            return true;
    }
    return false;
}

void TParamsPage::CommitEditor()
{
    // The editor clamps only when the focus leaves it; a menu, a button pressed by its
    // shortcut or a closing window do not take the focus, so the value is clamped here. A row
    // without a value has a hidden editor and nothing to clamp.
    const ParameterDescription *entry = RowEntry(EditorRow);
    if (entry && entry->Value != VALUE_UNDEFINED && EditorTracking)
        DivisorSpinEdit->ClampValue();
}

bool TParamsPage::MayLeave(TPageLeave leave)
{
    CommitEditor();
    if (!HasUnsavedEdits())
        return true;
    switch (AskUnsavedEdits(this)) {
    case TUnsavedChoice::Discard:
        return true;
    case TUnsavedChoice::Write:
        LeaveAfterWrite = leave;
        if (!StartWrite())
            LeaveAfterWrite = TPageLeave::None;
        return false;
    case TUnsavedChoice::Stay:
        break;
    }
    return false;
}

TPageLeave TParamsPage::TakeLeaveAfterWrite()
{
    const TPageLeave leave = LeaveAfterWrite;
    LeaveAfterWrite = TPageLeave::None;
    return leave;
}

bool TParamsPage::RowLoadedDiffers(int ARow) const
{
    const ParameterDescription *entry = RowEntry(ARow);
    const auto row = static_cast<size_t>(ARow);
    return entry && ARow < ASGrid->RowCount() && row < LoadedRows.size() && LoadedRows[row] &&
           row < ReadValues.size() && entry->Value != ReadValues[row];
}

uint32_t TParamsPage::RowColor(int ARow) const
{
    if (RowUnconfirmed(ARow))
        return UnconfirmedColor;
    if (RowRefused(ARow))
        return RefusedColor;
    return RowLoadedDiffers(ARow) ? LoadedColor : clBlack;
}

QString TParamsPage::RowHint(int ARow) const
{
    return RowRefused(ARow) ? RefusedRowHint() : QString();
}

TJson TParamsPage::SetDocument() const
{
    return ParameterSetDocument(Device, DeviceParameters);
}

bool TParamsPage::LoadSet(const TParameterSet &set, TSetPlan &plan, TSetError &error)
{
    if (!PlanParameterSet(set, Device.Type, DeviceParameters, plan, error))
        return false;
    CommitEditor();
    ApplySetPlan(plan, DeviceParameters);
    LoadedRows.assign(DeviceParameters.size(), false);
    for (const auto &[row, raw] : plan.Values)
        LoadedRows[row] = true;
    LoadEditorFromRow();
    ASGrid->RefreshBody();
    return true;
}

int TParamsPage::UnreadCount() const
{
    int count = 0;
    for (const ParameterDescription &entry : DeviceParameters)
        count += ReplyOf(entry) == TParameterReply::NoValidReply ? 1 : 0;
    return count;
}

QStringList TParamsPage::NamesWhere(bool (TParamsPage::*test)(size_t) const) const
{
    QStringList names;
    for (size_t row = 0; row < DeviceParameters.size(); ++row) {
        if ((this->*test)(row))
            names << QString::fromStdString(Cp1251ToUtf8(DeviceParameters[row].Name));
    }
    return names;
}

QStringList TParamsPage::UnconfirmedNames() const
{
    return NamesWhere(&TParamsPage::WriteUnconfirmed);
}

QStringList TParamsPage::RefusedNames() const
{
    return NamesWhere(&TParamsPage::WriteRefused);
}

QStringList TParamsPage::UnreadNames() const
{
    return NamesWhere(&TParamsPage::ReadUnanswered);
}

bool TParamsPage::ReadUnanswered(size_t row) const
{
    return row < DeviceParameters.size() &&
           ReplyOf(DeviceParameters[row]) == TParameterReply::NoValidReply;
}

void TParamsPage::ASGridGetData(int ARow, int ACol, uint32_t &Color, uint8_t &Flags, QString &Data)
{
    Q_UNUSED(Flags);
    Color = RowColor(ARow);
    Data = CellText(ARow, ACol);
    if (ARow < 0 || !RowEntry(ARow) || ARow >= ASGrid->RowCount())
        return;
    // The editor shows only while its row is on screen: below the rows shown it would float
    // over another row and edit a value the operator cannot see.
    const ParameterDescription *selected = RowEntry(ASGrid->SelectedRow());
    const int offset = ASGrid->SelectedOffset();
    DivisorSpinEdit->setVisible(offset >= 0 && offset < std::max(ASGrid->VisibleRows(), 1) &&
                                selected && selected->Value != VALUE_UNDEFINED);
    if (ARow == ASGrid->SelectedRow())
        Host.PostPlaceEditor();
}

void TParamsPage::WMPlaceEditor()
{
    const QRect grid = ASGrid->geometry();
    const QPoint client = ASGrid->viewport()->pos();
    // The column widths count from the grid's client area, inside its border.
    DivisorSpinEdit->setGeometry(grid.left() + client.x() + ASGrid->ColWidths(0) + 5,
                                 grid.top() + client.y() + ASGrid->TitleHeight() +
                                     ASGrid->SelectedOffset() * ASGrid->RowHeight() + 2,
                                 std::max(0, ASGrid->ColWidths(1) - 6), ASGrid->RowHeight() - 4);
    // A row's colour changes with its value (typed, the defaults) without a new selection.
    PaintEditorColor();
    // Taking the focus on every paint of the selected row would take it from a button being
    // pressed (a repaint follows the editor's loss of the focus), and the button would drop
    // its click; so only a new selection or the end of a read or write moves the focus.
    if (!FocusOnPlace)
        return;
    FocusOnPlace = false;
    if (isVisible() && DivisorSpinEdit->isVisible())
        DivisorSpinEdit->setFocus();
}

void TParamsPage::FocusEditorOnPlace()
{
    FocusOnPlace = true;
    Host.PostPlaceEditor();
}

void TParamsPage::LoadEditorFromRow()
{
    const ParameterDescription *entry = RowEntry(ASGrid->SelectedRow());
    EditorRow = entry ? ASGrid->SelectedRow() : -1;
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
    PaintEditorColor();
    EditorTracking = true;
}

void TParamsPage::PaintEditorColor()
{
    // The editor covers its row's value, so it shows the row's colour too.
    if (EditorRow < 0)
        return;
    DivisorSpinEdit->setToolTip(RowHint(EditorRow));
    const uint32_t color = RowColor(EditorRow);
    const QColor wanted =
        ColorFromTColor(color == clBlack ? clWindowText : color, ASGrid->palette());
    if (DivisorSpinEdit->palette().color(QPalette::Text) == wanted)
        return;
    QPalette palette = DivisorSpinEdit->palette();
    palette.setColor(QPalette::Text, wanted);
    DivisorSpinEdit->setPalette(palette);
}

void TParamsPage::ASGridCSelRow()
{
    // The row being left keeps only a value within its limits, however the selection moved.
    CommitEditor();
    if (ASGrid->LastSelectionByWheel()) {
        // Scrolling with the wheel only looks through the rows: the editor follows the
        // selection but takes no focus, or the next turn over it would change the value under
        // the pointer. If it had the focus, the grid takes it.
        if (DivisorSpinEdit->hasFocus())
            ASGrid->setFocus(Qt::OtherFocusReason);
        LoadEditorFromRow();
        Host.PostPlaceEditor();
        return;
    }
    LoadEditorFromRow();
    FocusEditorOnPlace();
}

void TParamsPage::DivisorSpinEditChange()
{
    if (!EditorTracking)
        return;
    // Reading with GetValue would put MinValue into a text that does not read yet (empty, a
    // lone sign while the operator types), and the next key would be appended to it; such a
    // text leaves the row alone until it reads. Leaving the editor still clamps.
    ParameterDescription *entry = RowEntry(EditorRow);
    int32_t value = 0;
    if (entry && DivisorSpinEdit->TryGetValue(value))
        entry->Value = value;
}

bool TParamsPage::DivisorSpinEditKeyDown(int Key, Qt::KeyboardModifiers Shift)
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

void TParamsPage::DefButtonClick()
{
    CommitEditor();
    for (ParameterDescription &entry : DeviceParameters)
        entry.Value = entry.Default;
    // The whole editor is reloaded: a row that had no value now has one to edit, and every
    // row may have changed its colour.
    LoadEditorFromRow();
    ASGrid->RefreshBody();
}

void TParamsPage::SetControlsEnabled(bool enabled)
{
    ASGrid->setEnabled(enabled);
    DivisorSpinEdit->setEnabled(enabled);
    DefButton->setEnabled(enabled);
    SaveButton->setEnabled(enabled);
    CancelButton->setEnabled(enabled);
}

void TParamsPage::SaveButtonClick()
{
    CommitEditor();
    StartWrite();
}

bool TParamsPage::StartWrite()
{
    if (!Host.IsIdle() || !Host.PortReady())
        return false;
    SetControlsEnabled(false);
    Host.WorkBegins(false, WritingText);
    // A write ends the loaded marks: from now on the device's echo is what the rows show.
    LoadedRows.clear();
    // What the device holds, as last read or written: a value the same cannot move it.
    if (!StartWorker<TSaveThread>(Worker, Device.Address,
                                  TDeviceIdentity{Device.Type, Device.Version},
                                  Host.ZeroAddress(), ReadValues)) {
        // No write is running, so nothing will send WM_SAVEDONE: the page comes back here.
        Host.WorkEnds();
        SetControlsEnabled(true);
        return false;
    }
    return true;
}

void TParamsPage::CancelButtonClick()
{
    if (MayLeave(TPageLeave::Back))
        Host.BackRequested();
}

void TParamsPage::FormResize()
{
    const QScrollBar *bar = ASGrid->verticalScrollBar();
    const int allowance =
        bar->maximum() > bar->minimum() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    ASGrid->SetColWidths(1, 70);
    // A panel too narrow for the value column leaves the name column at 0, not negative.
    ASGrid->SetColWidths(0, std::max(0, GridPanel->width() - 70 - 5 - allowance));
}

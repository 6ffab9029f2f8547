#include "ui/ULinvar.h"

#include "ui/UAbout.h"
#include "ui/UAppIcon.h"
#include "ui/UErrorBox.h"
#include "ui/ULinvarApplication.h"
#include "ui/USetFiles.h"
#include "ui/USpeedMenu.h"
#include "ui/UTrafficForm.h"
#include "ui/UWords.h"

#include "controls/ControlErrors.h"

#include "controls/UComPortSpinEdit.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LineSpeed.h"
#include "link/Link.h"
#include "workers/DeviceListEntry.h"
#include "workers/GarbledAddress.h"
#include "workers/StartWorker.h"
#include "workers/TSearchThread.h"
#include "workers/TSpeedSearchThread.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

const QString WaitingText = QStringLiteral("Ждем...");
const QString SearchingText = QStringLiteral("Поиск...");
const QString QueryCaption = QStringLiteral("Опрос");
const QString StopCaption = QStringLiteral("Стоп");
const QString NoFreePortText = QStringLiteral("Нет свободных последовательных портов");
const QString PortBusyText =
    QStringLiteral("Выбранный последовательный порт занят или не существует");
const QString NoOpenPortText = QStringLiteral("Последовательный порт не открыт. Укажите порт и "
                                              "нажмите \"Опрос\", чтобы открыть его.");

QString PortLostText(int port)
{
    return QStringLiteral("Связь через последовательный порт %1 потеряна. Проверьте "
                          "преобразователь RS-485 и его подключение, затем нажмите \"Опрос\".")
        .arg(port);
}

QString UnreadText(int unread, int total)
{
    return QStringLiteral("Не прочитано параметров: %1 из %2. Верного ответа на них не "
                          "было; эти строки показаны как \"Неопределено\".")
        .arg(unread)
        .arg(total);
}

} // namespace

TMainFormLinvar::TMainFormLinvar(const QString &catalogueDir, QWidget *parent) : QMainWindow(parent)
{
    // Minimise but no maximise: a customised title bar with the close and minimise buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Параметры интерфейса RS485"));
    setWindowIcon(AppIcon());
    // The window's sizes are laid out for a small sans-serif face of 8 points.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    resize(445, 391);

    N1 = menuBar()->addAction(QStringLiteral("О программе..."));
    connect(N1, &QAction::triggered, this, &TMainFormLinvar::N1Click);
    // The parameter-set commands follow the About item, which keeps its place.
    SetMenu = menuBar()->addMenu(QStringLiteral("Набор параметров"));
    SaveSetAction = SetMenu->addAction(QStringLiteral("Сохранить в файл..."));
    LoadSetAction = SetMenu->addAction(QStringLiteral("Загрузить из файла..."));
    connect(SaveSetAction, &QAction::triggered, this, &TMainFormLinvar::SaveSetClick);
    connect(LoadSetAction, &QAction::triggered, this, &TMainFormLinvar::LoadSetClick);
    TrafficItem = menuBar()->addAction(QStringLiteral("Обмен по линии..."));
    connect(TrafficItem, &QAction::triggered, this, &TMainFormLinvar::TrafficItemClick);
    // Last, so the items before keep their places; the list page's layout stays as it was.
    SpeedMenu = new TSpeedMenu(this);
    menuBar()->addMenu(SpeedMenu);
    // The fast sweep is a choice of the same menu, so the list page keeps its layout and the
    // menu bar fits the window's width.
    SpeedMenu->addSeparator();
    FastSearchItem =
        SpeedMenu->addAction(QStringLiteral("Быстрый поиск (одна короткая попытка на адрес)"));
    FastSearchItem->setCheckable(true);
    // Made now, the traffic window records from the start: opened after a failure, it
    // shows that failure.
    TrafficForm = new TTrafficForm(this);

    // The page control with hidden tabs is a stacked widget inside a sunken panel.
    Panel = new QFrame(this);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *panelLayout = new QVBoxLayout(Panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    PageControl = new QStackedWidget(Panel);
    panelLayout->addWidget(PageControl);
    setCentralWidget(Panel);

    CreateListPage();
    TabSheet2 = new TParamsPage(*this, PageControl);
    PageControl->addWidget(TabSheet2);
    CreateStatusBar();
    PageControl->setCurrentIndex(0);
    connect(PageControl, &QStackedWidget::currentChanged, this,
            &TMainFormLinvar::UpdateSetCommands);
    UpdateSetCommands();

    // Workers reach the window only through posted messages.
    SetMainWindowTarget(this);

    // The port lock is a process-wide object that exists before the window; the system timer
    // resolution needs no raising on Linux, where sleeps are already fine-grained.
    LoadLinkSettings();
    SpeedMenu->SetSpeed(BaudRate);
    // An unreadable file would otherwise pass for a missing one, and a port it maps would
    // open the default device without a word.
    if (const TSettingsReadFault fault = SettingsReadFault(); fault.Fault != TSettingsFault::None)
        ShowErrorBox(this, SettingsFaultText(fault));
    InitPerfFrequency();
    OpenFirstPort();

    StatusBarResize();
    SetStatus(WaitingText);
    LoadCatalogue(catalogueDir);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainFormLinvar::~TMainFormLinvar()
{
    // No worker may outlive the window: a search is stopped at once, and so is a read or a
    // write that is still running if the window goes away without its Close command.
    SearchWorker.RequestStop();
    TabSheet2->StopWorker();
    StopAllWorkers();
    WaitAllWorkers();
    SetMainWindowTarget(nullptr);
    CloseComPort();
}

void TMainFormLinvar::CreateListPage()
{
    TabSheet1 = new QWidget(PageControl);
    auto *page = new QVBoxLayout(TabSheet1);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    pnlPorts = new QWidget(TabSheet1);
    pnlPorts->setFixedHeight(29);
    auto *ports = new QHBoxLayout(pnlPorts);
    ports->setContentsMargins(6, 3, 6, 3);
    LabelPort = new QLabel(QStringLiteral("Последовательный порт:"), pnlPorts);
    ComboBoxPort = new TComPortSpinEdit(pnlPorts);
    ComboBoxPort->SetText(QStringLiteral("1"));
    ComboBoxPort->setFixedWidth(44);
    ComboBoxPort->OnChange = [this](QObject *) { UpdatePortTip(); };
    CheckBoxPort = new QCheckBox(QStringLiteral("Искать прибор по нулевому адресу"), pnlPorts);
    // The fixed window width wins over the check box's text, which may be cut at the right.
    CheckBoxPort->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    CheckBoxPort->setMinimumWidth(0);
    ports->addWidget(LabelPort);
    ports->addWidget(ComboBoxPort);
    ports->addSpacing(8);
    ports->addWidget(CheckBoxPort, 1);
    page->addWidget(pnlPorts);

    ListBox = new QListWidget(TabSheet1);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    page->addWidget(ListBox, 1);

    pnlButtons = new QWidget(TabSheet1);
    pnlButtons->setFixedHeight(41);
    auto *buttons = new QHBoxLayout(pnlButtons);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->addStretch(1);
    ButtonQuery = new QPushButton(QueryCaption, pnlButtons);
    ParamsButton = new QPushButton(QStringLiteral("Параметры"), pnlButtons);
    ParamsButton->setEnabled(false);
    buttons->addWidget(ButtonQuery);
    buttons->addWidget(ParamsButton);
    page->addWidget(pnlButtons);

    connect(ButtonQuery, &QPushButton::clicked, this, &TMainFormLinvar::ButtonQueryClick);
    connect(ParamsButton, &QPushButton::clicked, this, &TMainFormLinvar::ParamsButtonClick);
    connect(ListBox, &QListWidget::currentRowChanged, this, &TMainFormLinvar::ListBoxClick);
    connect(ListBox, &QListWidget::itemDoubleClicked, this, &TMainFormLinvar::ListBoxDblClick);
    // Enter on the list does what the double click does.
    ListBox->installEventFilter(this);

    PageControl->addWidget(TabSheet1);
}

void TMainFormLinvar::CreateStatusBar()
{
    StatusBar = new QStatusBar(this);
    setStatusBar(StatusBar);
    // Panel 0 is a fixed-width label in the status bar's layout. Panel 1 is the rest of the
    // bar; it has no widget of its own, the progress bar lies over it and is placed by hand
    // (StatusBarResize), as the window's layout of the bar expects.
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setFixedWidth(StatusPanel0Width);
    StatusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(StatusPanel0);
    ProgressBar = new QProgressBar(StatusBar);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->show();
    StatusBar->installEventFilter(this);
}

void TMainFormLinvar::OpenFirstPort()
{
    const TPortProbe probe = OpenFirstFreePort();
    if (probe.Fault == TPortFault::None) {
        ComboBoxPort->SetText(QString::number(probe.Number));
        OpenedPort = probe.Number;
        UpdatePortTip();
        return;
    }
    UpdatePortTip();
    QString text = NoFreePortText;
    if (probe.Fault == TPortFault::AccessRefused)
        text += QLatin1Char('\n') + PortAccessHint();
    ShowErrorBox(this, text);
    // The program ends when its message loop would start (see the program entry).
    FTerminateRequested = true;
}

void TMainFormLinvar::LoadCatalogue(const QString &catalogueDir)
{
    const QString dir =
        catalogueDir.isEmpty() ? QCoreApplication::applicationDirPath() : catalogueDir;
    const QString path = QDir(dir).filePath(QString::fromStdString(CatalogueFileName));
    const TCatalogueLoad load = ::LoadCatalogue(QFile::encodeName(path).toStdString());
    if (load.Fault != TCatalogueFault::None)
        ShowErrorBox(this, CatalogueFaultText(load));
}

QString TMainFormLinvar::StatusText() const
{
    return StatusPanel0->text();
}

void TMainFormLinvar::SetStatus(const QString &text)
{
    StatusPanel0->setText(text);
}

void TMainFormLinvar::SetCloseEnabled(bool enabled)
{
    FCloseEnabled = enabled;
    // The title bar's close button follows where the window system honours the hint; the
    // window refuses the Close command itself in any case (closeEvent).
    if (QWindow *window = windowHandle())
        window->setFlag(Qt::WindowCloseButtonHint, enabled);
}

void TMainFormLinvar::SetListPageEnabled(bool enabled)
{
    ButtonQuery->setEnabled(enabled);
    ComboBoxPort->setEnabled(enabled);
    CheckBoxPort->setEnabled(enabled);
    ListBox->setEnabled(enabled);
    if (!enabled)
        ParamsButton->setEnabled(false);
}

bool TMainFormLinvar::SelectedDevice(uint8_t &address, uint8_t &type, uint16_t &version) const
{
    // The current entry is the chosen one: the list selects one entry at most, and the
    // current row changes before the selection does.
    const QListWidgetItem *item = ListBox->currentItem();
    if (!item)
        return false;
    DecodeDeviceTag(item->data(Qt::UserRole).toUInt(), address, type, version);
    return true;
}

void TMainFormLinvar::UpdateParamsButton()
{
    uint8_t address = 0, type = 0;
    uint16_t version = 0;
    ParamsButton->setEnabled(SelectedDevice(address, type, version) &&
                             GoDeviceParams(type, version));
}

void TMainFormLinvar::PostMessage(uint32_t message, uint32_t wParam, uint32_t lParam)
{
    // Posted events to one receiver keep their order, which the handlers rely on.
    QCoreApplication::postEvent(this, new TWindowMessageEvent(message, wParam, lParam));
}

bool TMainFormLinvar::event(QEvent *event)
{
    const int type = event->type();
    if (type >= static_cast<int>(WM_DEVICEFOUND) && type <= static_cast<int>(WM_DEVICEMOVED)) {
        if (const auto *message = dynamic_cast<TWindowMessageEvent *>(event)) {
            switch (static_cast<uint32_t>(type)) {
            case WM_DEVICEFOUND:
                WMDeviceFound(message->WParam, message->LParam);
                break;
            case WM_GARBLED:
                WMGarbled(message->WParam);
                break;
            case WM_PROGRESS:
                WMProgress(message->WParam);
                break;
            case WM_SEARCHDONE:
                WMSearchDone();
                break;
            case WM_PLACEEDITOR:
                TabSheet2->WMPlaceEditor();
                break;
            case WM_LOADDONE:
                WMLoadDone(message->WParam);
                break;
            case WM_SAVEDONE:
                WMSaveDone(message->WParam, message->LParam);
                break;
            case WM_DEVICEMOVED:
                WMDeviceMoved(static_cast<uint8_t>(message->WParam), message->LParam);
                break;
            case WM_SEARCHSPEED:
                WMSearchSpeed(message->WParam);
                break;
            case WM_DEVICEAGAIN:
                WMDeviceAgain(message->WParam, message->LParam);
                break;
            default:
                break;
            }
            return true;
        }
    }
    return QMainWindow::event(event);
}

bool TMainFormLinvar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == StatusBar && event->type() == QEvent::Resize)
        StatusBarResize();
    if (watched == ListBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ListBoxDblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFormLinvar::closeEvent(QCloseEvent *event)
{
    // The Close command (title-bar button, window menu, Alt+F4) is refused while a parameter
    // read or write runs; a search is stopped by the window's destruction.
    if (!FCloseEnabled) {
        event->ignore();
        return;
    }
    // Unsaved values on the parameter page: the operator is asked first, and may have the
    // values written before the window closes (WMSaveDone closes it then).
    if (PageControl->currentIndex() == 1 && !TabSheet2->MayLeave(TPageLeave::Close)) {
        event->ignore();
        return;
    }
    SearchWorker.RequestStop();
    if (TrafficForm)
        TrafficForm->close();
    event->accept();
}

void TMainFormLinvar::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainFormLinvar::ButtonQueryClick()
{
    if (FBusyState == TBusyState::Searching) {
        ButtonQuery->setEnabled(false);
        SearchWorker.RequestStop();
        return;
    }
    if (FBusyState != TBusyState::Idle)
        return;

    const int port = ComboBoxPort->PortNumber();
    if (port < 0 || port > 255) {
        // A number that names no port is the framework's range check error.
        ShowApplicationError(this, ERangeError().Message());
        return;
    }
    // The menu's speed is the session's: the port opens at it, whatever a device opened last
    // set.
    SetComState(SpeedMenu->Speed());
    const bool opened = OpenComPort(static_cast<uint8_t>(port));
    if (opened)
        OpenedPort = port;
    // Opening closes the port open before, whether or not the new one opens.
    UpdatePortTip();
    if (!opened) {
        QString text = PortBusyText;
        if (LastOpenRefusal().Fault == TPortFault::AccessRefused)
            text += QLatin1Char('\n') + PortAccessHint();
        ShowErrorBox(this, text);
        return;
    }

    SetListPageEnabled(false);
    ButtonQuery->setEnabled(true);
    ListBox->clear();
    GarbledAddresses.clear();
    const uint8_t start = CheckBoxPort->isChecked() ? 0 : 1;
    FBusyState = TBusyState::Searching;
    const std::vector<uint32_t> speeds = SpeedMenu->SearchSpeeds();
    SearchBaudRate = BaudRate;
    SearchAcrossSpeeds = speeds.size() > 1;
    RepeatedDevices.clear();
    const bool started =
        SearchAcrossSpeeds
            ? StartWorker<TSpeedSearchThread>(SearchWorker, start, uint8_t(126), speeds)
            : StartWorker<TSearchThread>(SearchWorker, start, uint8_t(126),
                                         FastSearchItem->isChecked());
    if (!started) {
        WMSearchDone();
        return;
    }
    SetStatus(SearchingText);
    ButtonQuery->setText(StopCaption);
}

void TMainFormLinvar::ListBoxClick()
{
    // Only the idle list page reacts; during a search or a read the list is disabled and its
    // contents change under the worker's messages.
    if (FBusyState != TBusyState::Idle)
        return;
    UpdateParamsButton();
}

void TMainFormLinvar::ListBoxDblClick()
{
    if (FBusyState != TBusyState::Idle || !ListBox->currentItem())
        return;
    ListBoxClick();
    if (ParamsButton->isEnabled())
        ParamsButtonClick();
}

void TMainFormLinvar::N1Click()
{
    if (!AboutForm)
        return;
    const QRect main = frameGeometry();
    QSize box = AboutForm->frameGeometry().size();
    // Before its first showing the box has no window frame yet; it will get one like ours.
    if (box == AboutForm->size())
        box += main.size() - size();
    // Integer division truncates toward zero, as the centring rule wants.
    AboutForm->move(main.left() + (main.width() - box.width()) / 2,
                    main.top() + (main.height() - box.height()) / 2);
    AboutForm->exec();
}

void TMainFormLinvar::TrafficItemClick()
{
    // The window has recorded since the start; a running worker goes on as it was.
    if (!TrafficFormPlaced) {
        PlaceTrafficForm();
        TrafficFormPlaced = true;
    }
    TrafficForm->show();
    TrafficForm->raise();
    TrafficForm->activateWindow();
}

void TMainFormLinvar::PlaceTrafficForm()
{
    // Beside the main window on its screen: to the right where it fits, else to the left,
    // else over it; never off the screen. Before its first showing the window has no frame
    // yet; it will get one like ours.
    const QRect main = frameGeometry();
    const QSize box = TrafficForm->size() + (main.size() - size());
    const QScreen *screen = this->screen();
    const QRect room = screen ? screen->availableGeometry() : main;
    QPoint at(main.right() + 1, main.top());
    if (at.x() + box.width() - 1 > room.right()) {
        at.setX(main.left() - box.width());
        if (at.x() < room.left())
            at = main.center() - QPoint(box.width() / 2, box.height() / 2);
    }
    at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - box.width())));
    at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - box.height())));
    TrafficForm->move(at);
}

void TMainFormLinvar::SaveSetClick()
{
    if (FBusyState != TBusyState::Idle || PageControl->currentIndex() != 1)
        return;
    // A menu takes no focus from the editor, so its value is clamped before it is saved.
    TabSheet2->CommitEditor();
    SaveSetFile(this, TabSheet2->SetDocument(), LastSetFolder);
}

void TMainFormLinvar::LoadSetClick()
{
    if (FBusyState != TBusyState::Idle || PageControl->currentIndex() != 1)
        return;
    LoadSetFile(this, *TabSheet2, LastSetFolder);
}

void TMainFormLinvar::UpdatePortTip()
{
    // The number "Опрос" would open, and what stands behind it on this machine.
    const int number = ComboBoxPort->PortNumber();
    if (number < 0 || number > 255) {
        ComboBoxPort->setToolTip(QString());
        return;
    }
    TPortInfo info;
    QString tip = QStringLiteral("COM%1: ").arg(number);
    if (!DescribePort(static_cast<uint8_t>(number), info)) {
        tip += QStringLiteral("устройства нет");
    } else {
        const bool open = PortIsOpen() && OpenedPort == number;
        tip += PortSummaryText(info) +
               (open ? QStringLiteral(", открыт") : QStringLiteral(", не открыт"));
    }
    ComboBoxPort->setToolTip(tip);
}

void TMainFormLinvar::StatusBarResize()
{
    const int panel1 = StatusBar->width() - StatusPanel0Width;
    ProgressBar->setGeometry(StatusPanel0Width + 2, 2, std::max(0, panel1 - 20),
                             std::max(0, StatusBar->height() - 2 * 2));
}

void TMainFormLinvar::WMDeviceFound(uint32_t wParam, uint32_t lParam)
{
    auto *item = new QListWidgetItem;
    SetListEntry(item, DeviceListEntry::FromDeviceFound(wParam, lParam), SearchBaudRate,
                 SearchAcrossSpeeds);
    ListBox->addItem(item);
}

void TMainFormLinvar::SetListEntry(QListWidgetItem *item, const DeviceListEntry &entry,
                                   uint32_t baudRate, bool nameSpeed)
{
    QString text = QString::fromStdString(entry.TextUtf8());
    // The speed is named where it is not the one every device leaves the factory with.
    if (nameSpeed || baudRate != DefaultBaudRate)
        text += QStringLiteral(", скорость: %1").arg(baudRate);
    item->setText(text);
    item->setData(Qt::UserRole, entry.Tag);
    // The speed beside the tag: opening the device sets it.
    item->setData(Qt::UserRole + 1, baudRate);
}

uint8_t TMainFormLinvar::OpenedAddress() const
{
    uint8_t address = 0, type = 0;
    uint16_t version = 0;
    DecodeDeviceTag(OpenedTag, address, type, version);
    return address;
}

void TMainFormLinvar::WMSearchSpeed(uint32_t baudRate)
{
    SearchBaudRate = baudRate;
}

void TMainFormLinvar::WMDeviceAgain(uint32_t row, uint32_t baudRate)
{
    const QListWidgetItem *item = ListBox->item(static_cast<int>(row));
    if (!item)
        return;
    uint8_t address = 0, type = 0;
    uint16_t version = 0;
    DecodeDeviceTag(item->data(Qt::UserRole).toUInt(), address, type, version);
    RepeatedDevices << QStringLiteral("адрес %1: %2 и %3 бод")
                           .arg(address)
                           .arg(item->data(Qt::UserRole + 1).toUInt())
                           .arg(baudRate);
}

void TMainFormLinvar::WMGarbled(uint32_t wParam)
{
    // Told at the sweep's end, in one box: the search runs on meanwhile.
    GarbledAddresses.append(TGarbledAddress::FromMessage(wParam, 0).Address);
}

void TMainFormLinvar::WMProgress(uint32_t wParam)
{
    ProgressBar->setValue(static_cast<int>(std::min<uint32_t>(wParam, 100)));
}

void TMainFormLinvar::WMSearchDone()
{
    if (FBusyState != TBusyState::Searching)
        return;
    ReturnToIdle();
    ButtonQuery->setText(QueryCaption);
    SetListPageEnabled(true);
    if (ListBox->count() > 0)
        ListBox->setCurrentRow(0);
    UpdateParamsButton();
    // The devices found before the loss stay listed; a read will say the port is closed.
    if (!TellPortLost() && !RepeatedDevices.isEmpty())
        ShowWarningBox(this,
                       QStringLiteral("Приборы ответили на нескольких скоростях; в списке каждый "
                                      "указан один раз, на первой из них:") +
                           NameLines(RepeatedDevices));
    // An address that garbled at one speed and answered at another is the device listed there.
    QList<int> garbled;
    for (const int address : GarbledAddresses) {
        bool listed = false;
        for (int row = 0; row < ListBox->count() && !listed; ++row) {
            uint8_t found = 0, type = 0;
            uint16_t version = 0;
            DecodeDeviceTag(ListBox->item(row)->data(Qt::UserRole).toUInt(), found, type, version);
            listed = found == address;
        }
        if (!listed && !garbled.contains(address))
            garbled.append(address);
    }
    // Replies garbled before a loss say more of the loss than of the bus.
    if (!TellPortLost() && !garbled.isEmpty())
        ShowWarningBox(this, GarbledAddressesText(garbled));
}

bool TMainFormLinvar::TellPortLost(const QString &more)
{
    // The loss is read before closing, which forgets it; every later transaction would only
    // fail again, so the port is closed until the next "Опрос" opens it anew.
    if (!PortLost())
        return false;
    CloseComPort();
    UpdatePortTip();
    QString text = PortLostText(OpenedPort);
    if (!more.isEmpty())
        text += QStringLiteral("\n\n") + more;
    ShowErrorBox(this, text);
    return true;
}

void TMainFormLinvar::TellUnreadRows(bool deviceSilent)
{
    const int total = static_cast<int>(DeviceParameters.size());
    if (deviceSilent) {
        ShowWarningBox(this, SilentReadText(TabSheet2->UnreadNames(), total));
        return;
    }
    const int unread = TabSheet2->UnreadCount();
    if (unread > 0)
        ShowWarningBox(this, UnreadText(unread, total));
}

QString TMainFormLinvar::WriteWarningText(uint32_t done, uint32_t heldAddress) const
{
    return WriteProblemsText(done, heldAddress, TabSheet2->UnconfirmedNames(),
                             TabSheet2->RefusedNames());
}

bool TMainFormLinvar::ZeroAddress() const
{
    return CheckBoxPort->isChecked();
}

void TMainFormLinvar::WMDeviceMoved(uint8_t address, uint32_t baudRate)
{
    uint8_t oldAddress = 0, type = 0;
    uint16_t version = 0;
    DecodeDeviceTag(OpenedTag, oldAddress, type, version);
    const DeviceListEntry moved = DeviceListEntry::FromDeviceFound(address * 256u + type, version);
    // The entry is found by its tag: the list may have been searched anew since the page
    // was opened, and then holds no entry of the device, or one at its new place already.
    for (int row = 0; row < ListBox->count(); ++row) {
        QListWidgetItem *item = ListBox->item(row);
        if (item->data(Qt::UserRole).toUInt() == OpenedTag) {
            SetListEntry(item, moved, baudRate, false);
            break;
        }
    }
    OpenedTag = moved.Tag;
    OpenedBaudRate = baudRate;
    TabSheet2->DeviceMoved(address);
}

void TMainFormLinvar::UpdateSetCommands()
{
    const bool allowed = FBusyState == TBusyState::Idle && PageControl->currentIndex() == 1;
    SaveSetAction->setEnabled(allowed);
    LoadSetAction->setEnabled(allowed);
}

void TMainFormLinvar::ReturnToIdle()
{
    FBusyState = TBusyState::Idle;
    UpdateSetCommands();
    SearchWorker = TWorkerHandle();
    ProgressBar->setValue(0);
    SetStatus(WaitingText);
    SetCloseEnabled(true);
}

void TMainFormLinvar::ParamsButtonClick()
{
    uint8_t address = 0, type = 0;
    uint16_t version = 0;
    if (FBusyState != TBusyState::Idle || !SelectedDevice(address, type, version) || !PortReady())
        return;
    // A device found at another speed is opened at that speed.
    const uint32_t speed = ListBox->currentItem()->data(Qt::UserRole + 1).toUInt();
    if (speed != 0)
        SetComState(speed);
    OpenedTag = ListBox->currentItem()->data(Qt::UserRole).toUInt();
    OpenedBaudRate = BaudRate;
    TabSheet2->StartRead(type, address, version);
}

bool TMainFormLinvar::PortReady()
{
    // A poll whose port did not open leaves the old list behind; reading or writing through
    // no port would only show every row undefined, or look like a successful write.
    if (PortIsOpen())
        return true;
    ShowErrorBox(this, NoOpenPortText);
    return false;
}

void TMainFormLinvar::WorkBegins(bool reading, const QString &status)
{
    FBusyState = reading ? TBusyState::Reading : TBusyState::Writing;
    UpdateSetCommands();
    SetCloseEnabled(false);
    // Nothing on the list page may rebuild the parameter list or start a second worker
    // while a read runs: its controls wait for WM_LOADDONE.
    if (reading)
        SetListPageEnabled(false);
    WriteFromAddress = OpenedAddress();
    WriteFromBaudRate = OpenedBaudRate;
    SetStatus(status);
}

void TMainFormLinvar::WorkEnds()
{
    const bool reading = FBusyState == TBusyState::Reading;
    ReturnToIdle();
    if (reading) {
        SetListPageEnabled(true);
        UpdateParamsButton();
    }
}

void TMainFormLinvar::BackRequested()
{
    PageControl->setCurrentIndex(0);
}

void TMainFormLinvar::PostPlaceEditor()
{
    PostMessage(WM_PLACEEDITOR, 0, 0);
}

void TMainFormLinvar::FormResize()
{
    if (TabSheet2)
        TabSheet2->FormResize();
}

void TMainFormLinvar::WMLoadDone(uint32_t wParam)
{
    if (FBusyState != TBusyState::Reading)
        return;
    WorkEnds();
    TabSheet2->WMLoadDone();
    // A read cut short by a lost port shows nothing: its rows say more of the loss than of
    // the device.
    if (TellPortLost())
        return;
    PageControl->setCurrentIndex(1);
    FormResize();
    TellUnreadRows(wParam == DONE_DEVICE_SILENT);
}

void TMainFormLinvar::WMSaveDone(uint32_t wParam, uint32_t lParam)
{
    if (FBusyState != TBusyState::Writing)
        return;
    // Where the device went is told with the rest, never left to be found by chance.
    const QString moved =
        DeviceMovedText(OpenedAddress(), OpenedBaudRate, WriteFromAddress, WriteFromBaudRate);
    TabSheet2->WMSaveDone();
    SetCloseEnabled(true);
    // Let the grid show the echoed values before the status returns to idle; operator input
    // waits, so no handler runs inside this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ReturnToIdle();
    // The page stays, with the operator's values in the unconfirmed and refused rows; one box
    // says what went wrong.
    QString warning = WriteWarningText(wParam, lParam);
    const TPageLeave leave = TabSheet2->TakeLeaveAfterWrite();
    if (!moved.isEmpty() && !warning.isEmpty())
        warning = moved + QStringLiteral("\n\n") + warning;
    if (TellPortLost(warning))
        return;
    if (!warning.isEmpty()) {
        ShowWarningBox(this, warning);
        return;
    }
    if (!moved.isEmpty())
        ShowInformationBox(this, moved);
    // Written in full: where the operator was going before the write, the window goes now.
    if (leave == TPageLeave::Back)
        BackRequested();
    else if (leave == TPageLeave::Close)
        close();
}

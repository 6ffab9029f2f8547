#pragma once
// The main window: the device list page (port, search, devices found), the parameter page
// (its own class, UParamsPage.h), the status bar with its progress bar, the busy state, and the
// receiving end of the workers' messages.

#include "ui/UParamsPage.h"

#include "workers/TThread.h"
#include "workers/WorkerMessages.h"

#include <QEvent>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <cstdint>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class TAboutForm;
class TComPortSpinEdit;
class TSpeedMenu;
class TTrafficForm;
struct DeviceListEntry;

// A worker message on its way to the window: the event type is the message number.
class TWindowMessageEvent : public QEvent
{
public:
    // Message `message` with its two parameters.
    TWindowMessageEvent(uint32_t message, uint32_t wParam, uint32_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), WParam(wParam), LParam(lParam)
    {
    }
    const uint32_t WParam;
    const uint32_t LParam;
};

// The program's one window.
class TMainFormLinvar : public QMainWindow, public IMessageTarget, private IParamsPageHost
{
    Q_OBJECT

public:
    // What the window is busy with; only one worker runs at a time.
    enum class TBusyState
    {
        Idle,
        Searching,
        Reading,
        Writing
    };

    // Builds the window, opens the first serial port among 1..15 that opens and loads the
    // catalogue params.cfg from `catalogueDir` (the executable's folder when empty).
    explicit TMainFormLinvar(const QString &catalogueDir = QString(), QWidget *parent = nullptr);
    // Stops and waits for any running worker, then closes the port.
    ~TMainFormLinvar() override;

    // The About box shown by the menu item; created after the window, so it is handed in.
    void SetAboutForm(TAboutForm *about) { AboutForm = about; }
    // True when construction found no port: the program must end without running.
    bool TerminateRequested() const { return FTerminateRequested; }
    // What the window is busy with.
    TBusyState BusyState() const { return FBusyState; }
    // False while a parameter read or write runs: the window refuses to close.
    bool CloseEnabled() const { return FCloseEnabled; }
    // Status text shown in the first status bar panel.
    QString StatusText() const;

    // IMessageTarget: queues the message as an event to this window (any thread).
    void PostMessage(uint32_t message, uint32_t wParam, uint32_t lParam) override;

    // Device list page handlers.
    void ButtonQueryClick();
    void ListBoxClick();
    void ListBoxDblClick();
    void N1Click();
    // Opens the traffic window (recording since the start), or brings it to the front.
    void TrafficItemClick();
    // "Сохранить в файл...": saves the parameter page's values as a parameter set.
    void SaveSetClick();
    // "Загрузить из файла...": loads a parameter set into the parameter page's grid.
    void LoadSetClick();
    void StatusBarResize();

    // The parameters button: reads the selected device's parameters; the parameter page shows when
    // the read has ended.
    void ParamsButtonClick();
    // The window's size changed: the parameter grid's columns follow.
    void FormResize();

    // Components, named as on the form.
    QAction *N1 = nullptr;
    QAction *TrafficItem = nullptr;
    // The traffic window, made hidden at start so that it records from then on.
    TTrafficForm *TrafficForm = nullptr;
    // True once the traffic window was placed beside this one (at its first opening).
    bool TrafficFormPlaced = false;
    // "Скорость обмена" > "Быстрый поиск": the next search is the fast sweep (a check, off at
    // start).
    QAction *FastSearchItem = nullptr;
    QMenu *SetMenu = nullptr;
    QAction *SaveSetAction = nullptr;
    QAction *LoadSetAction = nullptr;
    // "Скорость обмена": the search's line speed, or all of them (USpeedMenu.h).
    TSpeedMenu *SpeedMenu = nullptr;
    QFrame *Panel = nullptr;
    QStackedWidget *PageControl = nullptr;
    QWidget *TabSheet1 = nullptr;
    TParamsPage *TabSheet2 = nullptr;
    QWidget *pnlPorts = nullptr;
    QLabel *LabelPort = nullptr;
    TComPortSpinEdit *ComboBoxPort = nullptr;
    QCheckBox *CheckBoxPort = nullptr;
    QListWidget *ListBox = nullptr;
    QWidget *pnlButtons = nullptr;
    QPushButton *ButtonQuery = nullptr;
    QPushButton *ParamsButton = nullptr;
    QStatusBar *StatusBar = nullptr;
    QLabel *StatusPanel0 = nullptr;
    QProgressBar *ProgressBar = nullptr;

    // Width of status bar panel 0, which holds the status text.
    static constexpr int StatusPanel0Width = 80;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void CreateListPage();
    void CreateStatusBar();
    void OpenFirstPort();
    void LoadCatalogue(const QString &catalogueDir);

    void WMDeviceFound(uint32_t wParam, uint32_t lParam);
    // Gives a list item the text, tag and line speed of `entry` found at `baudRate`; the text
    // names the speed where it is not the default, or always with `nameSpeed`.
    void SetListEntry(QListWidgetItem *item, const DeviceListEntry &entry, uint32_t baudRate,
                      bool nameSpeed);
    // Bus address of the device the parameter page shows, from OpenedTag.
    uint8_t OpenedAddress() const;
    // The search across speeds: the sweep at `baudRate` begins; a listed device (row `row`)
    // answered again at `baudRate`.
    void WMSearchSpeed(uint32_t baudRate);
    void WMDeviceAgain(uint32_t row, uint32_t baudRate);
    void WMGarbled(uint32_t wParam);
    void WMProgress(uint32_t wParam);
    void WMSearchDone();
    void WMPlaceEditor();
    void WMLoadDone(uint32_t wParam);
    void WMSaveDone(uint32_t wParam, uint32_t lParam);
    // The write followed its device to bus address `address` and line speed `baudRate`: its
    // list entry and the page follow, and the write's end says so.
    void WMDeviceMoved(uint8_t address, uint32_t baudRate);

    // IParamsPageHost: the parameter page's read and write, and its "Назад".
    bool IsIdle() const override { return FBusyState == TBusyState::Idle; }
    bool PortReady() override;
    void WorkBegins(bool reading, const QString &status) override;
    void WorkEnds() override;
    void BackRequested() override;
    void PostPlaceEditor() override;
    bool ZeroAddress() const override;

    // Places the traffic window, before its first showing, beside the main window.
    void PlaceTrafficForm();
    // The parameter-set commands are enabled only on the parameter page while no worker runs.
    void UpdateSetCommands();
    // Back to idle after any worker: no busy state, progress 0, "Ждем...", Close enabled.
    void ReturnToIdle();
    // After a worker's end: when its port was lost, closes it and shows one error box whose
    // text adds `more` (may be empty); false when the port is fine.
    bool TellPortLost(const QString &more = QString());
    // After a read: tells how many rows got no valid reply, if any; after a read that the
    // device's silence ended (`deviceSilent`), says so and names the rows not read.
    void TellUnreadRows(bool deviceSilent);
    // After a write: says whether the device fell silent and ended it, and names the rows
    // whose values the device did not confirm or refused; empty when all went well.
    QString WriteWarningText(uint32_t done, uint32_t heldAddress) const;
    void SetStatus(const QString &text);
    // The port field's tooltip: which device stands behind its number and whether the
    // window has that port open.
    void UpdatePortTip();
    void SetCloseEnabled(bool enabled);
    void SetListPageEnabled(bool enabled);
    // Params button state for the selected entry: enabled when the catalogue describes it.
    void UpdateParamsButton();
    // The selected list entry's device, decoded from its tag; false when none is selected.
    bool SelectedDevice(uint8_t &address, uint8_t &type, uint16_t &version) const;

    TAboutForm *AboutForm = nullptr;
    // Folder of the parameter-set file chosen last while the program runs.
    QString LastSetFolder;
    TWorkerHandle SearchWorker;
    // Addresses of the running or last search that brought bytes but no valid reply.
    QList<int> GarbledAddresses;
    TBusyState FBusyState = TBusyState::Idle;
    // Number of the port the window opened last, for its messages.
    int OpenedPort = 0;
    // The line speed of the sweep in progress: the devices it finds answered at it.
    uint32_t SearchBaudRate = 0;
    // Whether the search in progress runs across speeds (each entry then names its speed).
    bool SearchAcrossSpeeds = false;
    // Devices of that search that answered at a second speed, one line each, told at its end.
    QStringList RepeatedDevices;
    // Tag and line speed of the list entry whose device the parameter page shows, and where
    // it was when the running write began.
    uint32_t OpenedTag = 0;
    uint32_t OpenedBaudRate = 0;
    uint8_t WriteFromAddress = 0;
    uint32_t WriteFromBaudRate = 0;
    bool FCloseEnabled = true;
    bool FTerminateRequested = false;
};

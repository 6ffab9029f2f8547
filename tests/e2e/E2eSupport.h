#pragma once
// Helpers of the end-to-end tests: the simulated bus behind a port number, the window started
// on it, the error boxes caught instead of shown, and waiting for the window's state.

#include "tests/support/SimulatorProcess.h"
#include "ui/UErrorBox.h"
#include "ui/UFileDialog.h"
#include "ui/ULinvar.h"
#include "ui/UUnsavedQuestion.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Catches every message box while it lives: the boxes are recorded and closed at once; the
// question about unsaved values is counted and answered with UnsavedAnswer.
class ErrorBoxRecorder
{
public:
    ErrorBoxRecorder();
    ~ErrorBoxRecorder();
    // Texts of the boxes shown so far.
    QStringList Texts;
    // Their captions.
    QStringList Captions;
    // Their kinds.
    std::vector<TBoxKind> Kinds;
    // The answer to the question about unsaved values, and how often it was asked.
    TUnsavedChoice UnsavedAnswer = TUnsavedChoice::Discard;
    int UnsavedQuestions = 0;

private:
    TErrorBoxFunction Previous;
    TUnsavedQuestionFunction PreviousQuestion;
};

// Answers every file dialog while it lives with Answer, recording what each dialog showed.
class FileDialogRecorder
{
public:
    FileDialogRecorder();
    ~FileDialogRecorder();
    // The path every dialog returns; empty: as if cancelled.
    QString Answer;
    // The kinds of the dialogs shown so far, and the paths they started at.
    std::vector<TFileDialogKind> Kinds;
    QStringList Starts;

private:
    TFileDialogFunction Previous;
};

// Settings lines for a fast simulated bus: short ping time-outs, untimed sending and no pause,
// so a whole sweep of the bus takes a few seconds.
std::vector<std::string> FastBusSettings();

// A path that refuses opening for writing with EACCES, even for root (a read-only kernel
// attribute), standing in for a serial device of a group the user is not in; nullptr when
// this machine has none.
const char *PathRefusingAccess();

// Runs the event loop until `done` holds or `ms` have passed; returns `done`'s last answer.
bool WaitFor(const std::function<bool()> &done, int ms = 20000);

// The window started on the e2e bus (port 1) with the sample catalogue.
class WindowOnBus
{
public:
    // `port` is the number the simulator answers on; lower numbers lead nowhere. The bus is
    // the simulator's configuration `busConfig`.
    explicit WindowOnBus(uint8_t port = 1,
                         const QString &catalogueDir = QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR),
                         const std::string &busConfig = LINVAR_E2E_BUS,
                         const std::vector<std::string> &simArguments = {});
    ~WindowOnBus();

    TSimulatorProcess &Sim() { return *Simulator; }
    TMainFormLinvar &Window() { return *Form; }
    ErrorBoxRecorder Boxes;

    // Clicks "Опрос" and waits for the sweep's end.
    bool Poll(bool zeroAddress = false);
    // Texts of the device list.
    QStringList ListTexts() const;
    // Tags of the device list.
    std::vector<uint32_t> ListTags() const;
    // Selects entry `row` of the device list with a click.
    void ClickListRow(int row);
    // Double-clicks entry `row`: press, release, double click, release, as a mouse sends them.
    void DoubleClickListRow(int row);
    // Selects the entry of the device at `address`; false when the list has none.
    bool SelectAddress(uint8_t address);
    // Clicks "Параметры" and waits until the parameter page shows.
    bool ReadParams();
    // Text of grid cell (row, col), as the grid would paint it; reading it changes nothing.
    QString Cell(int row, int col);
    // Text colour the grid is given for row `row`, as it would paint it; reading it changes
    // nothing (the grid's data callback would also place the editor).
    uint32_t RowColor(int row);
    // Value column of every row.
    QStringList Values();
    // Clicks a button and waits until the window is idle again.
    bool ClickAndWaitIdle(class QAbstractButton *button, int ms = 20000);

private:
    std::unique_ptr<TSimulatorProcess> Simulator;
    std::unique_ptr<TMainFormLinvar> Form;
};

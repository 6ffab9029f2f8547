#include "tests/e2e/E2eSupport.h"

#include "controls/UASGrid.h"
#include "controls/UComPortSpinEdit.h"

#include "catalogue/DeviceCatalogue.h"
#include "tests/support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

ErrorBoxRecorder::ErrorBoxRecorder()
{
    Previous = SetErrorBoxFunction(
        [this](QWidget *, TBoxKind kind, const QString &text, const QString &caption) {
            Kinds.push_back(kind);
            Texts << text;
            Captions << caption;
        });
    PreviousQuestion = SetUnsavedQuestionFunction([this](QWidget *) {
        ++UnsavedQuestions;
        return UnsavedAnswer;
    });
}

ErrorBoxRecorder::~ErrorBoxRecorder()
{
    SetErrorBoxFunction(Previous);
    SetUnsavedQuestionFunction(PreviousQuestion);
}

std::vector<std::string> FastBusSettings()
{
    return {"StartTimeOut=0", "TimeoutConstant=12", "CmdTimeoutConstant=100", "USARTMode=1",
            "SmartPI=1"};
}

const char *PathRefusingAccess()
{
    const char *denied = "/sys/kernel/uevent_seqnum";
    const int fd = open(denied, O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        close(fd);
        return nullptr;
    }
    return errno == EACCES ? denied : nullptr;
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    return WaitUntil(done, ms, [] {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(2);
    });
}

FileDialogRecorder::FileDialogRecorder()
{
    Previous = SetFileDialogFunction([this](QWidget *, TFileDialogKind kind, const QString &,
                                            const QString &start, const QString &) {
        Kinds.push_back(kind);
        Starts << start;
        return Answer;
    });
}

FileDialogRecorder::~FileDialogRecorder()
{
    SetFileDialogFunction(std::move(Previous));
}

WindowOnBus::WindowOnBus(uint8_t port, const QString &catalogueDir, const std::string &busConfig,
                         const std::vector<std::string> &simArguments)
{
    TSimulatorProcess::TOptions options;
    options.Port = port;
    options.Arguments = simArguments;
    options.SettingsLines = FastBusSettings();
    // Lower port numbers lead nowhere, whatever hardware the machine has.
    for (int n = 1; n < port; ++n)
        options.SettingsLines.push_back("COM" + std::to_string(n) + "=/nonexistent/linvar-" +
                                        std::to_string(n));
    Simulator = std::make_unique<TSimulatorProcess>(busConfig, options);
    Form = std::make_unique<TMainFormLinvar>(catalogueDir);
    Form->show();
    QApplication::setActiveWindow(Form.get());
    (void)QTest::qWaitForWindowExposed(Form.get());
}

WindowOnBus::~WindowOnBus()
{
    Form.reset();
    Simulator.reset();
}

bool WindowOnBus::Poll(bool zeroAddress)
{
    TMainFormLinvar &w = *Form;
    w.CheckBoxPort->setChecked(zeroAddress);
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    if (w.BusyState() != TMainFormLinvar::TBusyState::Searching)
        return false;
    return WaitFor([&w] { return w.BusyState() == TMainFormLinvar::TBusyState::Idle; });
}

QStringList WindowOnBus::ListTexts() const
{
    QStringList texts;
    for (int i = 0; i < Form->ListBox->count(); ++i)
        texts << Form->ListBox->item(i)->text();
    return texts;
}

std::vector<uint32_t> WindowOnBus::ListTags() const
{
    std::vector<uint32_t> tags;
    for (int i = 0; i < Form->ListBox->count(); ++i)
        tags.push_back(Form->ListBox->item(i)->data(Qt::UserRole).toUInt());
    return tags;
}

void WindowOnBus::ClickListRow(int row)
{
    QListWidget *list = Form->ListBox;
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void WindowOnBus::DoubleClickListRow(int row)
{
    QListWidget *list = Form->ListBox;
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

bool WindowOnBus::SelectAddress(uint8_t address)
{
    const std::vector<uint32_t> tags = ListTags();
    for (size_t i = 0; i < tags.size(); ++i) {
        if (((tags[i] >> 8) & 0xFF) == address) {
            ClickListRow(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

bool WindowOnBus::ReadParams()
{
    TMainFormLinvar &w = *Form;
    QTest::mouseClick(w.ParamsButton, Qt::LeftButton);
    return WaitFor([&w] {
        return w.BusyState() == TMainFormLinvar::TBusyState::Idle &&
               w.PageControl->currentIndex() == 1;
    });
}

QString WindowOnBus::Cell(int row, int col)
{
    return Form->TabSheet2->CellText(row, col);
}

uint32_t WindowOnBus::RowColor(int row)
{
    return Form->TabSheet2->RowColor(row);
}

QStringList WindowOnBus::Values()
{
    QStringList values;
    for (int row = 0; row < Form->TabSheet2->ASGrid->RowCount(); ++row)
        values << Cell(row, 1);
    return values;
}

bool WindowOnBus::ClickAndWaitIdle(QAbstractButton *button, int ms)
{
    TMainFormLinvar &w = *Form;
    QTest::mouseClick(button, Qt::LeftButton);
    return WaitFor([&w] { return w.BusyState() == TMainFormLinvar::TBusyState::Idle; }, ms);
}

#pragma once
// The application object with the program's top-level error handler: an error that an event
// handler raises and does not catch itself is shown in a message box, and the program goes on.

#include <QApplication>
#include <QString>

// Application whose event dispatch catches the controls' errors (ControlErrors.h). The
// controls hand the errors of their own event handling to ReportControlError instead of
// throwing through Qt; the application takes those too, so every such error reaches the
// operator the same way.
class TLinvarApplication : public QApplication
{
    Q_OBJECT

public:
    // Same arguments as QApplication; `argc` must outlive the object. Installs the handler.
    TLinvarApplication(int &argc, char **argv);
    ~TLinvarApplication() override;

    // Dispatches one event; a control error escaping a handler is shown instead of ending the
    // program.
    bool notify(QObject *receiver, QEvent *event) override;
};

// Installs the top-level handler for the controls' errors: each one is shown with
// ShowApplicationError once the event that raised it has been handled. Any application object
// may use it (tests use a plain QApplication).
void InstallTopLevelErrorHandler();
// Loads Qt's own Russian texts (qtbase_ru from Qt's translations folder) into `app`; false when
// they are not installed, and Qt's texts then stay English.
bool InstallQtTranslation(QCoreApplication &app);
// Shows an error that no handler caught: the error's text in a box with the error icon.
void ShowApplicationError(QWidget *parent, const QString &text);

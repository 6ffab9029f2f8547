#include "ui/ULinvarApplication.h"

#include "ui/UErrorBox.h"

#include "controls/ControlErrors.h"

#include <QLibraryInfo>
#include <QMetaObject>
#include <QPointer>
#include <QTranslator>
#include <QWidget>

TLinvarApplication::TLinvarApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // No display name: Qt would append it to every caption, and the captions are fixed texts.
    setApplicationName(QStringLiteral("linvar"));
    InstallTopLevelErrorHandler();
    InstallQtTranslation(*this);
}

TLinvarApplication::~TLinvarApplication()
{
    SetControlErrorHandler(nullptr);
}

bool TLinvarApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EControlError &error) {
        ShowApplicationError(activeWindow(), error.Message());
    }
    // The event was handled, if unsuccessfully; nothing is passed on.
    return true;
}

void InstallTopLevelErrorHandler()
{
    SetControlErrorHandler([](const EControlError &error) {
        // Shown after the control's event handler has returned, so no modal loop runs inside
        // the key or wheel handling that raised the error.
        const QString text = error.Message();
        QPointer<QWidget> owner = QApplication::activeWindow();
        QMetaObject::invokeMethod(
            qApp, [text, owner]() { ShowApplicationError(owner.data(), text); },
            Qt::QueuedConnection);
    });
}

bool InstallQtTranslation(QCoreApplication &app)
{
    // The program speaks Russian whatever the system's language, so Qt's own texts (the file
    // dialogs, the editors' context menus, the standard buttons) are Russian too.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}

void ShowApplicationError(QWidget *parent, const QString &text)
{
    ShowErrorBox(parent, text, ErrorCaption);
}

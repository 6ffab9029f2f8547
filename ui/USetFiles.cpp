#include "ui/USetFiles.h"

#include "ui/UParamsPage.h"

#include "ui/UErrorBox.h"
#include "ui/UFileDialog.h"
#include "ui/UWords.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/FileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString SetFilter = QStringLiteral("Наборы параметров (*.json);;Все файлы (*)");

QString Utf8(const std::string &text)
{
    return QString::fromStdString(text);
}

QString SkippedText(const QString &path, const TSetPlan &plan, uint16_t fileVersion)
{
    QString text = QStringLiteral("Набор параметров загружен из файла\n%1.\nЭтих параметров набора "
                                  "(версия прибора %2) нет у выбранного прибора, они "
                                  "пропущены:")
                       .arg(QDir::toNativeSeparators(path), Utf8(FormatVersion(fileVersion)));
    QStringList names;
    for (const std::string &name : plan.Skipped)
        names << Utf8(name);
    return text + NameLines(names);
}

std::string LocalPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

void SaveSetFile(QWidget *parent, const TJson &document, QString &lastFolder)
{
    const QString folder = lastFolder.isEmpty() ? QDir::homePath() : lastFolder;
    const QString name = QStringLiteral("прибор-%1.json").arg(document["address"].get<int>());
    const QString path =
        AskFileName(parent, TFileDialogKind::Save, QStringLiteral("Сохранить набор параметров"),
                    QDir(folder).filePath(name), SetFilter);
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    int error = 0;
    if (!WriteFileWhole(LocalPath(path), JsonText(document, 2) + "\n", error)) {
        ShowErrorBox(parent, QStringLiteral("Набор параметров не сохранён в файл\n%1:\n%2")
                                 .arg(QDir::toNativeSeparators(path), SystemErrorText(error)));
    }
}

void LoadSetFile(QWidget *parent, TParamsPage &page, QString &lastFolder)
{
    const QString folder = lastFolder.isEmpty() ? QDir::homePath() : lastFolder;
    const QString path =
        AskFileName(parent, TFileDialogKind::Open, QStringLiteral("Загрузить набор параметров"),
                    folder, SetFilter);
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    TParameterSet set;
    TSetPlan plan;
    TSetError error;
    // The whole file is checked before a row changes; a refused file leaves the grid alone.
    if (!ReadParameterSetFile(LocalPath(path), set, error) || !page.LoadSet(set, plan, error)) {
        ShowErrorBox(parent, QStringLiteral("Набор параметров из файла\n%1\nне загружен: %2.")
                                 .arg(QDir::toNativeSeparators(path), SetFaultText(error)));
        return;
    }
    if (!plan.Skipped.empty())
        ShowWarningBox(parent, SkippedText(path, plan, set.Device.Version));
}

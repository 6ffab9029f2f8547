#include "ui/USetFiles.h"

#include "ui/UParamsPage.h"

#include "ui/UErrorBox.h"
#include "ui/UFileDialog.h"

#include "catalogue/DeviceCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString SetFilter = QStringLiteral("Наборы параметров (*.json);;Все файлы (*)");
// More names than this in one box would push its button off the screen.
constexpr int MaxSkippedShown = 10;

QString Utf8(const std::string &text)
{
    return QString::fromStdString(text);
}

// The kind of value a field needs, as the set module names it, in the operator's words.
QString NeededKind(const std::string &kind)
{
    const std::pair<const char *, const char *> words[] = {{"a whole number", "целое число"},
                                                           {"text", "текст"},
                                                           {"an array", "массив"},
                                                           {"an object", "объект"},
                                                           {"a number or null", "число или null"}};
    for (const auto &[english, russian] : words) {
        if (kind == english)
            return QString::fromUtf8(russian);
    }
    return Utf8(kind);
}

// What a refused file's fault is, for the operator.
QString FaultText(const TSetError &error)
{
    const QString field = Utf8(error.Field);
    switch (error.Fault) {
    case TSetFault::None:
        break;
    case TSetFault::NotReadable:
        return QStringLiteral("файл не читается (%1)").arg(Utf8(error.Detail));
    case TSetFault::TooLarge:
        return QStringLiteral("файл больше %1 байт, это не набор параметров")
            .arg(MaxParameterSetBytes);
    case TSetFault::NotJson:
        return QStringLiteral("файл не является правильным документом JSON в UTF-8 (%1)")
            .arg(Utf8(error.Detail));
    case TSetFault::NotParameterSet:
        return QStringLiteral("в файле нет набора параметров");
    case TSetFault::NewerFormat:
        return QStringLiteral("версия формата %1 новее, чем знает программа").arg(error.Value);
    case TSetFault::MissingField:
        return QStringLiteral("нет поля %1").arg(field);
    case TSetFault::WrongType:
        return QStringLiteral("в поле %1 значение не того вида (нужно: %2)")
            .arg(field, NeededKind(error.Detail));
    case TSetFault::OutOfRange:
        return QStringLiteral("в поле %1 число %2 вне пределов от %3 до %4")
            .arg(field)
            .arg(error.Value)
            .arg(error.Minimum)
            .arg(error.Maximum);
    case TSetFault::DuplicateIndex:
        return QStringLiteral("индекс %1 повторяется (%2)").arg(error.Value).arg(field);
    case TSetFault::OtherType:
        return QStringLiteral("набор для прибора типа %1, а выбран прибор типа %2")
            .arg(error.Value)
            .arg(error.Limit);
    case TSetFault::BelowMinimum:
        return QStringLiteral("значение %1 параметра \"%2\" меньше минимума %3")
            .arg(error.Value)
            .arg(field)
            .arg(error.Limit);
    case TSetFault::AboveMaximum:
        return QStringLiteral("значение %1 параметра \"%2\" больше максимума %3")
            .arg(error.Value)
            .arg(field)
            .arg(error.Limit);
    }
    return {};
}

QString SkippedText(const QString &path, const TSetPlan &plan, uint16_t fileVersion)
{
    QString text = QStringLiteral("Набор параметров загружен из файла\n%1.\nЭтих параметров набора "
                                  "(версия прибора %2) нет у выбранного прибора, они "
                                  "пропущены:")
                       .arg(QDir::toNativeSeparators(path), Utf8(FormatVersion(fileVersion)));
    const int count = static_cast<int>(plan.Skipped.size());
    for (int i = 0; i < count && i < MaxSkippedShown; ++i)
        text += QStringLiteral("\n  ") + Utf8(plan.Skipped[static_cast<size_t>(i)]);
    if (count > MaxSkippedShown)
        text += QStringLiteral("\n  и ещё %1").arg(count - MaxSkippedShown);
    return text;
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
    std::string error;
    if (!WriteTextFile(LocalPath(path), JsonText(document, 2) + "\n", error)) {
        ShowErrorBox(parent, QStringLiteral("Набор параметров не сохранён в файл\n%1:\n%2")
                                 .arg(QDir::toNativeSeparators(path), Utf8(error)));
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
                                 .arg(QDir::toNativeSeparators(path), FaultText(error)));
        return;
    }
    if (!plan.Skipped.empty())
        ShowWarningBox(parent, SkippedText(path, plan, set.Device.Version));
}

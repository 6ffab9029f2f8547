#include "ui/UWords.h"

#include "workers/WorkerMessages.h"

#include <cerrno>
#include <cstring>
#include <iterator>

namespace {

// Names listed in one box before the rest are only counted.
constexpr qsizetype MaxNamesShown = 10;

// Each verdict's words, in the order of TAttemptVerdict.
const char *const VerdictTexts[] = {
    "принят",
    "нет ответа",
    "слишком короткий",
    "длина вне границ",
    "длина не совпадает",
    "неверная контрольная сумма",
    "запрос не отправлен",
    "порт потерян",
};
static_assert(std::size(VerdictTexts) == static_cast<size_t>(TAttemptVerdict::PortLost) + 1);

// The kind of value a set's field needs.
QString NeededText(TSetValueKind kind)
{
    switch (kind) {
    case TSetValueKind::WholeNumber:
        return QStringLiteral("целое число");
    case TSetValueKind::Text:
        return QStringLiteral("текст");
    case TSetValueKind::Array:
        return QStringLiteral("массив");
    case TSetValueKind::Object:
        return QStringLiteral("объект");
    case TSetValueKind::NumberOrNull:
        return QStringLiteral("число или null");
    }
    return QString();
}

QString PlaceText(const TTextPlace &place)
{
    return QStringLiteral("строка %1, столбец %2").arg(place.Line).arg(place.Column);
}

} // namespace

QString VerdictText(TAttemptVerdict verdict)
{
    const auto index = static_cast<size_t>(verdict);
    return QString::fromUtf8(index < std::size(VerdictTexts) ? VerdictTexts[index] : "?");
}

QString PortAccessHint()
{
    return QStringLiteral("Нет прав на доступ к порту: добавьте пользователя в группу \"dialout\" "
                          "(sudo usermod -aG dialout $USER) и войдите в систему заново.");
}

QString PortSummaryText(const TPortInfo &info)
{
    QString text = QString::fromStdString(info.Path);
    if (!info.Device.empty() && info.Device != info.Path)
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(info.Device));
    if (!info.UsbVendor.empty()) {
        text += QStringLiteral(", USB %1:%2")
                    .arg(QString::fromStdString(info.UsbVendor),
                         QString::fromStdString(info.UsbProduct));
    }
    if (!info.UsbSerial.empty())
        text += QStringLiteral(", серийный номер ") + QString::fromStdString(info.UsbSerial);
    return text;
}

QString CatalogueFaultText(const TCatalogueLoad &load)
{
    switch (load.Fault) {
    case TCatalogueFault::None:
        break;
    case TCatalogueFault::NotFound:
        return QStringLiteral("Не найден файл с описанием параметров");
    case TCatalogueFault::Malformed:
        return QStringLiteral("Плохой файл конфигурации\nСтрока %1, столбец %2")
            .arg(load.Place.Line)
            .arg(load.Place.Column);
    }
    return QString();
}

QString SetFaultText(const TSetError &error)
{
    const QString field = QString::fromStdString(error.Field);
    switch (error.Fault) {
    case TSetFault::None:
        break;
    case TSetFault::NotReadable:
        return QStringLiteral("файл не читается (%1)").arg(SystemErrorText(error.Errno));
    case TSetFault::NotRegularFile:
        return QStringLiteral("это не обычный файл (папка, устройство или канал)");
    case TSetFault::NulByte:
        return QStringLiteral("в файле нулевой байт (%1), это не текст")
            .arg(PlaceText(error.Place));
    case TSetFault::DuplicateKey:
        return QStringLiteral("поле %1 повторяется").arg(field);
    case TSetFault::TooLarge:
        return QStringLiteral("файл больше %1 байт, это не набор параметров")
            .arg(MaxParameterSetBytes);
    case TSetFault::NotJson:
        return QStringLiteral("файл не является правильным документом JSON в UTF-8 (%1)")
            .arg(PlaceText(error.Place));
    case TSetFault::NotParameterSet:
        return QStringLiteral("в файле нет набора параметров");
    case TSetFault::NewerFormat:
        return QStringLiteral("версия формата %1 новее, чем знает программа").arg(error.Value);
    case TSetFault::MissingField:
        return QStringLiteral("нет поля %1").arg(field);
    case TSetFault::WrongType:
        return QStringLiteral("в поле %1 значение не того вида (нужно: %2)")
            .arg(field, NeededText(error.Needed));
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
    return QString();
}

QString SettingsFaultText(const TSettingsReadFault &fault)
{
    const QString path = QString::fromLocal8Bit(fault.Path.c_str());
    switch (fault.Fault) {
    case TSettingsFault::None:
        break;
    case TSettingsFault::NotReadable:
        return QStringLiteral("Не удалось прочитать файл настроек %1: %2\n"
                              "Действуют настройки по умолчанию.")
            .arg(path, SystemErrorText(fault.Errno));
    case TSettingsFault::TooLarge:
        return QStringLiteral("Файл настроек %1 больше %2 байт и не прочитан.\n"
                              "Действуют настройки по умолчанию.")
            .arg(path)
            .arg(MaxSettingsBytes);
    }
    return QString();
}

QString SystemErrorText(int error)
{
    // The network's failures in words of our own: the Windows C library knows them only as
    // "Unknown error".
    switch (error) {
    case ECONNREFUSED:
        return QStringLiteral("сервер отказал в соединении");
    case ETIMEDOUT:
        return QStringLiteral("сервер не ответил вовремя");
    case EHOSTUNREACH:
        return QStringLiteral("нет пути к серверу");
    case ENETUNREACH:
        return QStringLiteral("сеть недоступна");
    case ECONNRESET:
    case ECONNABORTED:
        return QStringLiteral("соединение с сервером разорвано");
    case EPROTO:
        return QStringLiteral("сервер не принял настройки линии");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString NameLines(const QStringList &names)
{
    QString lines;
    for (qsizetype i = 0; i < names.size() && i < MaxNamesShown; ++i)
        lines += QStringLiteral("\n  ") + names[i];
    if (names.size() > MaxNamesShown)
        lines += QStringLiteral("\n  и ещё %1").arg(names.size() - MaxNamesShown);
    return lines;
}

QString GarbledAddressesText(const QList<int> &addresses)
{
    QStringList numbers;
    for (qsizetype i = 0; i < addresses.size() && i < MaxNamesShown; ++i)
        numbers << QString::number(addresses[i]);
    QString list = numbers.join(QStringLiteral(", "));
    if (addresses.size() > MaxNamesShown)
        list += QStringLiteral(" и ещё %1").arg(addresses.size() - MaxNamesShown);
    const QString head =
        addresses.size() == 1
            ? QStringLiteral("С адреса %1 приходили искажённые ответы, и прибор на нём не найден.")
            : QStringLiteral("С адресов %1 приходили искажённые ответы, и приборы на них не "
                             "найдены.");
    return head.arg(list) +
           QStringLiteral("\nПроверьте:\n  нет ли двух приборов с одним адресом;\n  не "
                          "настроен ли прибор на другую скорость обмена;\n  проводку линии "
                          "RS-485 и её подключение.");
}

QString SilentReadText(const QStringList &names, int total)
{
    return QStringLiteral("Прибор перестал отвечать, и чтение прервано. Не прочитано "
                          "параметров: %1 из %2:")
               .arg(names.size())
               .arg(total) +
           NameLines(names) +
           QStringLiteral("\nЭти строки показаны как \"Неопределено\". Проверьте питание и "
                          "подключение прибора и прочитайте параметры ещё раз.");
}

QString WriteProblemsText(uint32_t done, uint32_t heldAddress, const QStringList &unconfirmed,
                          const QStringList &refused)
{
    QStringList parts;
    if (done == DONE_DEVICE_SILENT)
        parts << QStringLiteral("Прибор перестал отвечать, и запись прервана.");
    if (done == DONE_DEVICE_LOST) {
        parts << QStringLiteral("Прибор перестал отвечать после записи значения и не найден ни "
                                "по новому адресу, ни на другой скорости обмена. Запись "
                                "прервана. Прибор может теперь отвечать по другому адресу или "
                                "на другой скорости.");
    }
    if (done == DONE_ADDRESS_HELD) {
        parts << QStringLiteral("Прибор принял адрес %1, но по этому адресу до записи уже "
                                "отвечал другой прибор, и два прибора с одним адресом не "
                                "различить. Запись прервана; проверьте адреса приборов на "
                                "шине.")
                     .arg(heldAddress);
    }
    if (!unconfirmed.isEmpty()) {
        parts << QStringLiteral("Запись не подтверждена для параметров:") + NameLines(unconfirmed) +
                     QStringLiteral("\nИх значения выделены красным; \"Записать\" повторит "
                                    "запись.");
    }
    if (!refused.isEmpty()) {
        parts << QStringLiteral("Прибор отказался принять значения параметров:") +
                     NameLines(refused) +
                     QStringLiteral("\nОни выделены фиолетовым и сохранены; проверьте их, "
                                    "\"Записать\" отправит их снова.");
    }
    return parts.join(QStringLiteral("\n\n"));
}

QString DeviceMovedText(uint8_t address, uint32_t baudRate, uint8_t fromAddress,
                        uint32_t fromBaudRate)
{
    QStringList lines;
    if (address != fromAddress)
        lines << QStringLiteral("Прибор отвечает по новому адресу %1.").arg(address);
    if (baudRate != fromBaudRate)
        lines << QStringLiteral("Прибор отвечает на новой скорости обмена %1 бод.").arg(baudRate);
    return lines.join(QLatin1Char('\n'));
}

QString RefusedRowHint()
{
    return QStringLiteral("Прибор отказался принять это значение и оставил своё прежнее. "
                          "Проверьте значение; \"Записать\" отправит его снова.");
}

#include "tools/cli/CliWords.h"

#include <cerrno>
#include <cstring>

namespace {

// The kind of value a set's field needs.
const char *NeededText(TSetValueKind kind)
{
    switch (kind) {
    case TSetValueKind::WholeNumber:
        return "a whole number";
    case TSetValueKind::Text:
        return "text";
    case TSetValueKind::Array:
        return "an array";
    case TSetValueKind::Object:
        return "an object";
    case TSetValueKind::NumberOrNull:
        return "a number or null";
    }
    return "another kind of value";
}

std::string PlaceText(const TTextPlace &place)
{
    return "line " + std::to_string(place.Line) + ", column " + std::to_string(place.Column);
}

} // namespace

const char *const PortAccessHint =
    "no permission to open the port: add the user to the group \"dialout\" "
    "(sudo usermod -aG dialout $USER) and log in again";

std::string ErrnoText(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return "Connection refused";
    case ETIMEDOUT:
        return "Connection timed out";
    case EHOSTUNREACH:
        return "No route to host";
    case ENETUNREACH:
        return "Network is unreachable";
    case ECONNRESET:
        return "Connection reset by peer";
    case ECONNABORTED:
        return "Software caused connection abort";
    case EPROTO:
        return "Protocol error";
    default:
        return std::strerror(error);
    }
}

std::string PortRefusalText(const std::string &what, const TPortRefusal &refusal)
{
    const std::string text = "cannot open " + what;
    return refusal.Errno ? text + ": " + ErrnoText(refusal.Errno) : text;
}

std::string NoFreePortText()
{
    return "no serial port among " + std::to_string(FirstProbedPort) + ".." +
           std::to_string(LastProbedPort) + " opens; choose one with --port or --device";
}

std::string CatalogueFaultText(const TCatalogueLoad &load, const std::string &path)
{
    switch (load.Fault) {
    case TCatalogueFault::None:
        break;
    case TCatalogueFault::NotFound:
        return "no catalogue file: " + path;
    case TCatalogueFault::Malformed:
        return "malformed catalogue file " + path + ": " + PlaceText(load.Place);
    }
    return {};
}

std::string SetFaultText(const TSetError &error)
{
    const std::string field = error.Field.empty() ? std::string() : error.Field + ": ";
    switch (error.Fault) {
    case TSetFault::None:
        break;
    case TSetFault::NotReadable:
        return std::string("cannot read the file: ") + std::strerror(error.Errno);
    case TSetFault::NotRegularFile:
        return "not a regular file (a folder, a device or a pipe)";
    case TSetFault::NulByte:
        return "a NUL byte at " + PlaceText(error.Place) + ": no text file";
    case TSetFault::DuplicateKey:
        return field + "appears twice in its object";
    case TSetFault::TooLarge:
        return "the file is larger than " + std::to_string(MaxParameterSetBytes) +
               " bytes, too large for a parameter set";
    case TSetFault::NotJson:
        return "no valid JSON in UTF-8 at " + PlaceText(error.Place);
    case TSetFault::NotParameterSet:
        return "no parameter set: \"format\" is not \"" + ParameterSetFormat + "\"";
    case TSetFault::NewerFormat:
        return "format version " + std::to_string(error.Value) + " is newer than this program (" +
               std::to_string(ParameterSetFormatVersion) + ")";
    case TSetFault::MissingField:
        return field + "missing";
    case TSetFault::WrongType:
        return field + NeededText(error.Needed) + " is needed";
    case TSetFault::OutOfRange:
        return field + "a number from " + std::to_string(error.Minimum) + " to " +
               std::to_string(error.Maximum) + " is needed, not " + std::to_string(error.Value);
    case TSetFault::DuplicateIndex:
        return field + "index " + std::to_string(error.Value) + " appears twice";
    case TSetFault::OtherType:
        return "the set is for device type " + std::to_string(error.Value) +
               ", the device is of type " + std::to_string(error.Limit);
    case TSetFault::BelowMinimum:
        return "parameter '" + error.Field + "': raw value " + std::to_string(error.Value) +
               " is below the minimum, " + std::to_string(error.Limit);
    case TSetFault::AboveMaximum:
        return "parameter '" + error.Field + "': raw value " + std::to_string(error.Value) +
               " is above the maximum, " + std::to_string(error.Limit);
    }
    return {};
}

std::string SettingsFaultText(const TSettingsReadFault &fault)
{
    switch (fault.Fault) {
    case TSettingsFault::None:
        break;
    case TSettingsFault::NotReadable:
        return "cannot read the settings file " + fault.Path + ": " + std::strerror(fault.Errno) +
               "; the defaults apply";
    case TSettingsFault::TooLarge:
        return "the settings file " + fault.Path + " is larger than " +
               std::to_string(MaxSettingsBytes) + " bytes and was not read; the defaults apply";
    }
    return {};
}

std::string PortSummary(const TPortInfo &info)
{
    std::string text = info.Path;
    if (info.Remote)
        text += ", network serial server";
    if (!info.Device.empty() && info.Device != info.Path)
        text += " (" + info.Device + ")";
    if (!info.UsbVendor.empty())
        text += ", USB " + info.UsbVendor + ":" + info.UsbProduct;
    if (!info.UsbSerial.empty())
        text += ", serial " + info.UsbSerial;
    return text;
}

std::string VerdictsText(const std::vector<TAttemptVerdict> &verdicts)
{
    std::string text;
    for (const TAttemptVerdict verdict : verdicts)
        text += (text.empty() ? "" : ", ") + std::string(VerdictName(verdict));
    return text;
}

std::string GarbledText(const TGarbledAddress &garbled)
{
    return "address " + std::to_string(garbled.Address) + " brought garbled replies only (" +
           VerdictsText(garbled.Verdicts) +
           "); two devices at one address, a device at another line speed, or the wiring?";
}

std::string DeviceSilentText(const char *what, size_t done, size_t total)
{
    return "the device stopped answering; the " + std::string(what) + " ended after " +
           std::to_string(done) + " of " + std::to_string(total) + " parameters";
}

std::string DeviceLostText(bool held, uint32_t address)
{
    if (held) {
        return "the device took address " + std::to_string(address) +
               ", which another device answered at before the write; the two cannot be told "
               "apart there, so the write ended (two devices at one address now?)";
    }
    return "the device stopped answering after a value was written and was found neither at a "
           "new address nor at another line speed; the write ended there, and the device may "
           "now answer at another address or speed";
}

std::string DeviceMovedText(uint8_t address, uint32_t baudRate, uint8_t fromAddress,
                            uint32_t fromBaudRate)
{
    std::string text = "the device answers";
    if (address != fromAddress)
        text += " at its new address " + std::to_string(address);
    if (address != fromAddress && baudRate != fromBaudRate)
        text += " and";
    if (baudRate != fromBaudRate)
        text += " at its new line speed " + std::to_string(baudRate) + " baud";
    return text + " (it was at address " + std::to_string(fromAddress) + ", " +
           std::to_string(fromBaudRate) + " baud)";
}

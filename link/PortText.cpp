#include "link/PortText.h"

#include <cerrno>

const char *const PortAccessHint =
    "Нет прав на доступ к порту: добавьте пользователя в группу \"dialout\" "
    "(sudo usermod -aG dialout $USER) и войдите в систему заново.";

bool IsAccessRefusal(int error)
{
    return error == EACCES || error == EPERM;
}

std::string PortSummary(const TPortInfo &info)
{
    std::string text = info.Path;
    if (!info.Device.empty() && info.Device != info.Path) {
        text += " (" + info.Device + ")";
    }
    if (!info.UsbVendor.empty()) {
        text += ", USB " + info.UsbVendor + ":" + info.UsbProduct;
    }
    if (!info.UsbSerial.empty()) {
        text += ", serial " + info.UsbSerial;
    }
    return text;
}

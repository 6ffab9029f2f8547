#include "link/PortProbe.h"

#include "link/LinkState.h"

#include <cerrno>

bool IsAccessRefusal(int error)
{
    return error == EACCES || error == EPERM;
}

TPortRefusal LastOpenRefusal()
{
    const int error = LastOpenError();
    if (error == 0)
        return {};
    return {IsAccessRefusal(error) ? TPortFault::AccessRefused : TPortFault::NotOpened, error};
}

TPortProbe OpenFirstFreePort()
{
    TPortProbe probe;
    probe.Fault = TPortFault::NotOpened;
    for (int number = FirstProbedPort; number <= LastProbedPort; ++number) {
        if (OpenComPort(static_cast<uint8_t>(number))) {
            probe.Number = static_cast<uint8_t>(number);
            probe.Fault = TPortFault::None;
            return probe;
        }
        if (IsAccessRefusal(LastOpenError()))
            probe.Fault = TPortFault::AccessRefused;
    }
    return probe;
}

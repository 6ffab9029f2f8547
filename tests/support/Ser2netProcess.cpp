#include "tests/support/Ser2netProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/WaitUntil.h"

namespace {

constexpr int ReadyTimeoutMs = 10'000;

// True when something listens on 127.0.0.1:`port` (the kernel's table of TCP sockets). A
// test connection would do, but ser2net opens the device for every client.
bool Listening(uint16_t port)
{
    std::ifstream table("/proc/net/tcp");
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;
        std::string remote;
        std::string state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A") {
            return true;
        }
    }
    return false;
}

} // namespace

uint16_t TSer2netProcess::FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        close(fd);
    }
    return port;
}

TSer2netProcess::TSer2netProcess(const std::string &devicePath) : Device(devicePath)
{
    Raw = FreePort();
    Telnet = FreePort();
    while (Telnet == Raw) {
        Telnet = FreePort();
    }
    if (Directory.Path.empty() || Raw == 0 || Telnet == 0) {
        Failure = "no temporary folder or no free port";
        return;
    }
    // The device's format is the link's (9600 8N1) until an RFC 2217 client sets another;
    // "local": a pseudo-terminal has no modem lines to wait for.
    const std::string connector = "  connector: serialdev," + devicePath + ",9600n81,local\n";
    const std::string options = "  options:\n    mdns: false\n";
    const std::string config = Directory.Write(
        "ser2net.yaml", "connection: &raw\n  accepter: tcp,127.0.0.1," + std::to_string(Raw) +
                            "\n" + connector + options +
                            "connection: &rfc2217\n  accepter: telnet(rfc2217),tcp,127.0.0.1," +
                            std::to_string(Telnet) + "\n" + connector + options);
    TChildOptions child;
    child.Stdout = TChildOutput::File;
    child.Stderr = TChildOutput::File;
    child.LogPath = Directory.File("ser2net.log");
    // -n: in the foreground, so its pid is ours to stop; -u: no UUCP lock files.
    if (!Child.Start({LINVAR_SER2NET_PATH, "-n", "-u", "-c", config}, child)) {
        Failure = Child.Error();
        return;
    }
    if (!WaitUntil([&] { return !Child.Running() || (Listening(Raw) && Listening(Telnet)); },
                   ReadyTimeoutMs) ||
        !Child.Running()) {
        std::ifstream log(child.LogPath);
        std::stringstream text;
        text << log.rdbuf();
        Failure = "ser2net did not listen on " + std::to_string(Raw) + " and " +
                  std::to_string(Telnet) + ": " + text.str();
        return;
    }
    IsReady = true;
}

TSer2netProcess::~TSer2netProcess()
{
    Stop();
}

std::string TSer2netProcess::RawUrl() const
{
    return "tcp://127.0.0.1:" + std::to_string(Raw);
}

std::string TSer2netProcess::Rfc2217Url() const
{
    return "rfc2217://127.0.0.1:" + std::to_string(Telnet);
}

void TSer2netProcess::Stop()
{
    IsReady = false;
    Child.Stop();
}

bool TSer2netProcess::WaitDeviceReleased(int ms) const
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path device = fs::canonical(Device, error);
    const fs::path fds = "/proc/" + std::to_string(Child.Pid()) + "/fd";
    return WaitUntil(
        [&] {
            std::error_code e;
            for (fs::directory_iterator it(fds, e), end; !e && it != end; it.increment(e)) {
                std::error_code r;
                if (fs::read_symlink(it->path(), r) == device) {
                    return false;
                }
            }
            return true;
        },
        ms);
}

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

TTempDir::TTempDir(const std::string &prefix)
{
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    std::string pattern =
        ((error ? std::filesystem::path("/tmp") : base) / (prefix + "XXXXXX")).string();
    Path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

TTempDir::~TTempDir()
{
    for (auto saved = Saved.rbegin(); saved != Saved.rend(); ++saved) {
        if (saved->Had)
            setenv(saved->Name.c_str(), saved->Value.c_str(), 1);
        else
            unsetenv(saved->Name.c_str());
    }
    std::error_code error;
    if (!Path.empty())
        std::filesystem::remove_all(Path, error);
}

std::string TTempDir::File(const std::string &name) const
{
    return Path + "/" + name;
}

std::string TTempDir::Write(const std::string &name, const std::string &text) const
{
    std::ofstream(File(name), std::ios::binary) << text;
    return File(name);
}

void TTempDir::SetEnv(const std::string &name, const std::string &value)
{
    const char *previous = std::getenv(name.c_str());
    Saved.push_back({name, previous != nullptr, previous != nullptr ? previous : ""});
    setenv(name.c_str(), value.c_str(), 1);
}

std::string TTempDir::UseSettings(const std::string &text)
{
    const std::string path = Write("rs485.conf", text);
    SetEnv("LINVAR_SETTINGS", path);
    return path;
}

#pragma once
// A temporary folder for one test, removed with its files afterwards.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TTempDir
{
public:
    TTempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "linvar-test-XXXXXX");
        Path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TTempDir() { std::filesystem::remove_all(Path); }
    std::string File(const std::string &name) const { return Path + "/" + name; }
    std::string Write(const std::string &name, const std::string &text) const
    {
        std::ofstream(File(name), std::ios::binary) << text;
        return File(name);
    }

    std::string Path;
};

// Points LINVAR_SETTINGS at a file for the life of the object.
class TSettingsEnv
{
public:
    explicit TSettingsEnv(const std::string &path) { setenv("LINVAR_SETTINGS", path.c_str(), 1); }
    ~TSettingsEnv() { unsetenv("LINVAR_SETTINGS"); }
};

#pragma once
// A temporary folder for one test or helper, removed with its files afterwards, and the
// pointing of LINVAR_SETTINGS at a settings file of its own.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

class TTempDir
{
public:
    // Creates "<temporary folder>/<prefix>XXXXXX"; Path stays empty when that fails.
    explicit TTempDir(const std::string &prefix = "linvar-test-")
    {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        std::string pattern =
            ((error ? std::filesystem::path("/tmp") : base) / (prefix + "XXXXXX")).string();
        Path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TTempDir()
    {
        std::error_code error;
        if (!Path.empty()) {
            std::filesystem::remove_all(Path, error);
        }
    }
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;

    // The path of `name` inside the folder.
    std::string File(const std::string &name) const { return Path + "/" + name; }
    // Writes `text` into the file `name` and returns its path.
    std::string Write(const std::string &name, const std::string &text) const
    {
        std::ofstream(File(name), std::ios::binary) << text;
        return File(name);
    }

    std::string Path;
};

// Points LINVAR_SETTINGS at a file for the life of the object, then puts back what it was.
class TSettingsEnv
{
public:
    explicit TSettingsEnv(const std::string &path)
    {
        const char *previous = std::getenv("LINVAR_SETTINGS");
        HadPrevious = previous != nullptr;
        Previous = HadPrevious ? previous : "";
        setenv("LINVAR_SETTINGS", path.c_str(), 1);
    }
    ~TSettingsEnv()
    {
        if (HadPrevious) {
            setenv("LINVAR_SETTINGS", Previous.c_str(), 1);
        } else {
            unsetenv("LINVAR_SETTINGS");
        }
    }
    TSettingsEnv(const TSettingsEnv &) = delete;
    TSettingsEnv &operator=(const TSettingsEnv &) = delete;

private:
    bool HadPrevious = false;
    std::string Previous;
};

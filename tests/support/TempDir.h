#pragma once
// The one temporary folder of the tests: made for one test or helper, removed with its files
// afterwards, together with the environment variables set through it (a settings file named
// by LINVAR_SETTINGS, say), which get back what they had.

#include <string>
#include <utility>
#include <vector>

class TTempDir
{
public:
    // Creates "<temporary folder>/<prefix>XXXXXX"; Path stays empty when that fails.
    explicit TTempDir(const std::string &prefix = "linvar-test-");
    // Puts back the variables set through SetEnv, last first, then removes the folder.
    ~TTempDir();
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;

    // The path of `name` inside the folder.
    std::string File(const std::string &name) const;
    // Writes `text` into the file `name` and returns its path.
    std::string Write(const std::string &name, const std::string &text) const;
    // Sets environment variable `name` to `value` while the folder lives.
    void SetEnv(const std::string &name, const std::string &value);
    // Writes `text` as the folder's settings file (rs485.conf), points LINVAR_SETTINGS at it
    // while the folder lives and returns its path.
    std::string UseSettings(const std::string &text);

    std::string Path;

private:
    struct TSavedVariable
    {
        std::string Name;
        bool Had = false;
        std::string Value;
    };
    std::vector<TSavedVariable> Saved;
};

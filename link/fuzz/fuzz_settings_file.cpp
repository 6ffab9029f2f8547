// Fuzz target: any bytes as a settings file. Checks what the reader promises: names come
// lower-cased and trimmed, values trimmed, the settings within their ranges, and the values
// read back the same when written out again as plain name=value lines.

#include "link/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Stops the run at a broken promise: libFuzzer keeps the input.
void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_settings_file: %s\n", what);
        __builtin_trap();
    }
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool Trimmed(const std::string &text)
{
    return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::map<std::string, std::string> values = ParseSettingsText(text);
    std::string written;
    for (const auto &[name, value] : values) {
        Check(!name.empty() && Trimmed(name), "a name empty or not trimmed");
        Check(Trimmed(value), "a value not trimmed");
        Check(name.find('=') == std::string::npos, "a name holds '='");
        Check(name.find('\n') == std::string::npos && value.find('\n') == std::string::npos,
              "a name or value spans lines");
        for (const char c : name) {
            Check(c < 'A' || c > 'Z', "a name not lower-cased");
        }
        Check(name[0] != '#' && name[0] != ';' && name[0] != '[',
              "a comment or section line read as a value");
        written += name + "=" + value + "\n";
    }
    Check(ParseSettingsText(written) == values, "the values do not read back the same");

    const TLinkSettings settings = LinkSettingsFromValues(values);
    Check(settings.StopBits <= 2, "a stop-bit setting out of range");
    Check(settings.SmartPI == (values.count("smartpi") != 0), "SmartPI is not its name's presence");
    for (int number = 0; number <= 255; ++number) {
        const std::string path = ComPortPathFromValues(values, static_cast<uint8_t>(number));
        const auto it = values.find("com" + std::to_string(number));
        Check(it == values.end() ? path == DefaultComPortPath(static_cast<uint8_t>(number))
                                 : path == it->second,
              "a port's path is neither its entry nor the default");
    }
    return 0;
}

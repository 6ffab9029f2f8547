// The device catalogue: questions about params.cfg answered by walking the document
// through the path navigator each time; nothing of the file is copied out in advance.

#include "catalogue/DeviceCatalogue.h"

#include "catalogue/CatalogueNames.h"
#include "catalogue/USimpleXMLParser.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

std::vector<ParameterDescription> DeviceParameters;
std::vector<TDeviceTypeName> DeviceTypeNames;

namespace {

// Name of a type code the table lacks.
const std::string &UnknownName()
{
    static const std::string name = Utf8ToCp1251("Неизвестный");
    return name;
}

// Signed decimal text to a 32-bit integer; false when it is anything else.
bool ToInt(const std::string &text, int32_t &value)
{
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return false;
        }
    }
    if (first == last) {
        return false;
    }
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

// A catalogue integer, or 0 when absent or not an integer.
int32_t IntOrZero(const std::string &text)
{
    int32_t value = 0;
    return ToInt(text, value) ? value : 0;
}

// A catalogue integer in 0..65535, or 0 otherwise.
uint16_t WordOrZero(const std::string &text)
{
    int32_t value = 0;
    if (!ToInt(text, value) || value < 0 || value > 0xFFFF) {
        return 0;
    }
    return static_cast<uint16_t>(value);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string DevicePath(int i)
{
    return "/" + CatalogueNames().Device + "[" + std::to_string(i) + "]";
}

// Number of device entries. Entries are visited by index up to this count rather than up to
// the count of all the root's children: the same entries in the same order, without a
// lookup for every other element a file may hold.
int DeviceCount(const TSimpleXMLParser &parser)
{
    return parser.CountNodes("/" + CatalogueNames().Device);
}

// True when device entry i exists, is now the current element and has type `type`.
bool SelectDeviceOfType(TSimpleXMLParser &parser, int i, uint16_t type)
{
    if (!parser.SelectNode(DevicePath(i))) {
        return false;
    }
    int32_t code = 0;
    return ToInt(parser.GetAttribute(CatalogueNames().Type), code) && code == type;
}

#ifdef _WIN32
// Windows opens files in text mode unless told otherwise, which would drop carriage returns
// and end the file at a Ctrl-Z byte.
constexpr int ReadFlags = O_RDONLY | O_BINARY;
#else
constexpr int ReadFlags = O_RDONLY | O_CLOEXEC;
#endif

// Reads the file whole; false when it cannot be opened or read.
bool ReadFile(const std::string &path, std::string &text)
{
    const int fd = ::open(path.c_str(), ReadFlags);
    if (fd < 0) {
        return false;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    text.clear();
    text.reserve(static_cast<size_t>(st.st_size));
    char buffer[64 * 1024];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return false;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace

TSimpleXMLParser &CatalogueParser()
{
    static TSimpleXMLParser parser;
    return parser;
}

const std::vector<TDeviceTypeName> BuiltInTypeNames = [] {
    static constexpr uint16_t Codes[] = {0,  1,  2,  3,  4,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                         17, 18, 19, 20, 22, 24, 25, 26, 28, 30, 31, 33, 34, 36};
    std::vector<TDeviceTypeName> table;
    for (const uint16_t code : Codes) {
        table.push_back({code, Utf8ToCp1251("Прибор типа " + std::to_string(code))});
    }
    return table;
}();

TCatalogueLoad LoadParams(const std::string &path)
{
    TSimpleXMLParser &parser = CatalogueParser();
    std::string text;
    // A file that exists but cannot be read is as good as missing to the operator.
    if (!ReadFile(path, text)) {
        parser.Clear();
        return {TCatalogueFault::NotFound, {}};
    }
    if (!parser.Parse(std::move(text)))
        return {TCatalogueFault::Malformed, parser.StopPlace()};
    return {};
}

TCatalogueLoad LoadCatalogue(const std::string &path)
{
    const TCatalogueLoad load = LoadParams(path);
    LoadTypeNames();
    return load;
}

void SetTypeName(uint16_t code, const std::string &name)
{
    for (TDeviceTypeName &pair : DeviceTypeNames) {
        if (pair.Code == code) {
            pair.Name = name;
            return;
        }
    }
    DeviceTypeNames.push_back({code, name});
}

std::string TypeName(uint16_t code)
{
    for (const TDeviceTypeName &pair : DeviceTypeNames) {
        if (pair.Code == code) {
            return pair.Name;
        }
    }
    return UnknownName();
}

void LoadTypeNames()
{
    TSimpleXMLParser &parser = CatalogueParser();
    DeviceTypeNames.clear();
    const int n = DeviceCount(parser);
    if (n == 0) {
        for (const TDeviceTypeName &pair : BuiltInTypeNames) {
            SetTypeName(pair.Code, pair.Name);
        }
        return;
    }
    for (int i = 0; i < n; ++i) {
        if (!parser.SelectNode(DevicePath(i))) {
            continue;
        }
        int32_t code = 0;
        if (!ToInt(parser.GetAttribute(CatalogueNames().Type), code) || code < 0 || code > 0xFFFF) {
            continue;
        }
        SetTypeName(static_cast<uint16_t>(code), parser.GetAttribute(CatalogueNames().Name));
    }
}

bool ParseVersion(std::string_view text, uint16_t &version, const TVersionSyntax &syntax)
{
    // The catalogue's versions have one major digit; typed versions may have up to three.
    const size_t majorDigits = syntax.Exact ? 3 : 1;
    size_t pos = 0;
    unsigned number = 0;
    while (pos < text.size() && pos < majorDigits && IsDigit(text[pos])) {
        number = number * 10 + static_cast<unsigned>(text[pos] - '0');
        ++pos;
    }
    if (pos == 0) {
        return false;
    }
    number *= 100;
    if (syntax.Exact) {
        if (pos == text.size() || text[pos] != '.') {
            return false;
        }
    } else if (text.size() < 3) {
        // The second character is never examined: 1 and 1x are both 1.00.
        version = static_cast<uint16_t>(number);
        return true;
    }
    std::string_view minor = text.substr(pos + 1);
    if (!syntax.Exact && minor.size() > 2) {
        // A third minor digit and later characters are ignored: 1.234 is 1.23.
        minor = minor.substr(0, 2);
    }
    const size_t fewest = syntax.Exact ? static_cast<size_t>(syntax.MinorDigits) : 1;
    if (minor.size() < fewest || minor.size() > 2 || !IsDigit(minor[0]) ||
        (minor.size() == 2 && !IsDigit(minor[1]))) {
        return false;
    }
    // One minor digit counts in tenths: 1.5 is 1.50.
    number += 10 * static_cast<unsigned>(minor[0] - '0');
    if (minor.size() == 2) {
        number += static_cast<unsigned>(minor[1] - '0');
    }
    if (number > 0xFFFF) {
        return false;
    }
    version = static_cast<uint16_t>(number);
    return true;
}

uint16_t ParseVersion(const std::string &text)
{
    uint16_t version = 0;
    return ParseVersion(text, version) ? version : 0;
}

std::string FormatVersion(uint16_t version)
{
    if (version == 0) {
        return {};
    }
    const unsigned minor = version % 100;
    return std::to_string(version / 100) + (minor < 10 ? ".0" : ".") + std::to_string(minor);
}

bool VersionInList(const std::string &list, uint16_t version)
{
    if (list.empty()) {
        return true;
    }
    size_t from = 0;
    while (from < list.size()) {
        size_t comma = list.find(',', from);
        if (comma == std::string::npos) {
            comma = list.size();
        }
        const std::string item = list.substr(from, comma - from);
        from = comma + 1;
        const size_t dash = item.find('-');
        if (dash != std::string::npos) {
            if (ParseVersion(item.substr(0, dash)) > version) {
                continue;
            }
            if (ParseVersion(item.substr(dash + 1)) >= version) {
                return true;
            }
        } else if (ParseVersion(item) == version) {
            return true;
        }
    }
    return false;
}

bool GoDeviceParams(uint16_t type, uint16_t version)
{
    TSimpleXMLParser &parser = CatalogueParser();
    const int n = DeviceCount(parser);
    for (int i = 0; i < n; ++i) {
        if (!SelectDeviceOfType(parser, i, type)) {
            continue;
        }
        // An entry must name its versions to be offered.
        const std::string versions = parser.GetAttribute(CatalogueNames().Versions);
        if (!versions.empty() && VersionInList(versions, version)) {
            return true;
        }
    }
    return false;
}

void FormDeviceParam(uint16_t type, uint16_t version)
{
    TSimpleXMLParser &parser = CatalogueParser();
    const TCatalogueNames &names = CatalogueNames();
    DeviceParameters.clear();
    const int n = DeviceCount(parser);
    for (int i = 0; i < n; ++i) {
        if (!SelectDeviceOfType(parser, i, type) ||
            !VersionInList(parser.GetAttribute(names.Versions), version)) {
            continue;
        }
        // The first matching entry is the device's entry, whatever it holds.
        const std::string device = DevicePath(i);
        // Only the parameter entries are visited, not every child the entry holds.
        const int children = parser.CountNodes(device + "/" + names.Parameter);
        const std::string prefix = device + "/" + names.Parameter + "[";
        for (int j = 0; j < children; ++j) {
            if (!parser.SelectNode(prefix + std::to_string(j) + "]")) {
                continue;
            }
            if (!VersionInList(parser.GetAttribute(names.Versions), version)) {
                continue;
            }
            ParameterDescription &p = DeviceParameters.emplace_back();
            p.Name = parser.GetAttribute(names.Name);
            p.Size = parser.GetAttribute(names.Type);
            p.Value = VALUE_UNDEFINED;
            p.Index = IntOrZero(parser.GetAttribute(names.Index));
            p.Divisor = IntOrZero(parser.GetAttribute(names.Divisor));
            p.Minimum = WordOrZero(parser.GetAttribute(names.Minimum));
            p.Maximum = WordOrZero(parser.GetAttribute(names.Maximum));
            p.Default = WordOrZero(parser.GetAttribute(names.ByDefault));
        }
        return;
    }
}

void ClearDeviceParams()
{
    DeviceParameters.clear();
}

std::vector<TDeviceEntry> DeviceEntries()
{
    TSimpleXMLParser &parser = CatalogueParser();
    const TCatalogueNames &names = CatalogueNames();
    std::vector<TDeviceEntry> entries;
    const int n = DeviceCount(parser);
    for (int i = 0; i < n; ++i) {
        const std::string device = DevicePath(i);
        TDeviceEntry entry;
        if (!parser.SelectNode(device) || !ToInt(parser.GetAttribute(names.Type), entry.Type)) {
            continue;
        }
        entry.Name = parser.GetAttribute(names.Name);
        entry.Versions = parser.GetAttribute(names.Versions);
        entry.Offered = !entry.Versions.empty();
        entry.Parameters = parser.CountNodes(device + "/" + names.Parameter);
        entries.push_back(std::move(entry));
    }
    return entries;
}

#pragma once
// The device catalogue: which parameters a device type and firmware version has, read from
// params.cfg, plus the type-name table, a listing of the device entries and the version
// number text form.
// All texts are Windows-1251 bytes, as the catalogue file holds them.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/TextPlace.h"

class TSimpleXMLParser;

// Raw value meaning "no value".
constexpr int32_t VALUE_UNDEFINED = 2147483647;

// A raw value shared between the window and one worker without a lock: relaxed atomic
// loads and stores, copyable like a plain integer.
class TSharedValue
{
public:
    TSharedValue(int32_t v = VALUE_UNDEFINED) : Value(v) {}
    TSharedValue(const TSharedValue &other) : Value(other.load()) {}
    TSharedValue &operator=(const TSharedValue &other)
    {
        store(other.load());
        return *this;
    }
    TSharedValue &operator=(int32_t v)
    {
        store(v);
        return *this;
    }
    operator int32_t() const { return load(); }
    // Current value.
    int32_t load() const { return Value.load(std::memory_order_relaxed); }
    // Replaces the value.
    void store(int32_t v) { Value.store(v, std::memory_order_relaxed); }

private:
    std::atomic<int32_t> Value;
};

// One catalogued parameter of the current device.
struct ParameterDescription
{
    uint16_t Minimum = 0;
    uint16_t Maximum = 0;
    uint16_t Default = 0;
    std::string Name;                     // "название"
    std::string Size;                     // "тип": "байт", "слово" or anything else
    TSharedValue Value = VALUE_UNDEFINED; // current raw value
    TSharedValue Reply = 0;               // how its last read or write went, written by the
                                          // workers (workers/ParameterReply.h); 0: not yet
    int32_t Index = 0;                    // number on the bus
    int32_t Divisor = 0;                  // display scale
};

// One pair of the type-name table.
struct TDeviceTypeName
{
    uint16_t Code = 0;
    std::string Name;
};

// Parameter list of the device chosen on the list page, in catalogue order.
extern std::vector<ParameterDescription> DeviceParameters;
// Type-name table, at most one pair per code, in insertion order.
extern std::vector<TDeviceTypeName> DeviceTypeNames;

// Name of the catalogue file, looked for beside the program.
inline const std::string CatalogueFileName = "params.cfg";

// Why the catalogue did not load.
enum class TCatalogueFault
{
    None,
    NotFound,  // the file is missing, or exists but cannot be read
    Malformed, // no well-formed document: Place says where the reader stopped
};

// What came of loading the catalogue.
struct TCatalogueLoad
{
    TCatalogueFault Fault = TCatalogueFault::None;
    TTextPlace Place; // of a Malformed file
};

// Reads the catalogue file at `path` into the catalogue document; a file that does not load
// leaves no document.
TCatalogueLoad LoadParams(const std::string &path);
// Loads the catalogue at `path` and then its type names, as each front end starts: without a
// document the built-in names stand in.
TCatalogueLoad LoadCatalogue(const std::string &path);
// Fills DeviceTypeNames from the document, or from the built-in table when it has no devices.
void LoadTypeNames();
// Inserts or replaces the name of one type code.
void SetTypeName(uint16_t code, const std::string &name);
// Name of a type code, or "Неизвестный" (Windows-1251).
std::string TypeName(uint16_t code);
// How strictly ParseVersion reads a version text. The default is the catalogue's reading.
struct TVersionSyntax
{
    // False: the catalogue's reading by position: one major digit, one character that is
    // not examined, then one minor digit in tenths or two read as a number, anything later
    // ignored; a text of one or two characters is the major number alone ("1" is 1.00).
    // True: the whole text is 1 to 3 major digits, a point and 1 or 2 minor digits, as
    // people type a version (tools' command lines and configurations).
    bool Exact = false;
    // Fewest minor digits an exact text has: 1 ("1.5" is 1.50) or 2 ("1.5" is refused).
    int MinorDigits = 1;
};

// Version text to number under `syntax`: "1.05" -> 105; false when the text does not read
// or the number exceeds 65535.
bool ParseVersion(std::string_view text, uint16_t &version, const TVersionSyntax &syntax = {});
// Version text to number as the catalogue reads it: "1.05" -> 105; 0 when it does not
// convert.
uint16_t ParseVersion(const std::string &text);
// Version number to text: 105 -> "1.05", 0 -> "".
std::string FormatVersion(uint16_t version);
// True when `version` is in the version list (an empty list holds every version).
bool VersionInList(const std::string &list, uint16_t version);
// True when the catalogue offers parameters for this type and version.
bool GoDeviceParams(uint16_t type, uint16_t version);
// Rebuilds DeviceParameters for this type and version.
void FormDeviceParam(uint16_t type, uint16_t version);
// Empties DeviceParameters.
void ClearDeviceParams();

// One device entry ("Прибор") of the catalogue as the file gives it.
struct TDeviceEntry
{
    int32_t Type = 0;     // "тип"
    std::string Name;     // "название"
    std::string Versions; // "версии", as written
    int Parameters = 0;   // number of its "Параметр" entries, whatever their versions
    bool Offered = false; // its version list is not empty, so GoDeviceParams may offer it
};
// The device entries in document order; an entry whose type is no integer is left out, as
// every other question skips it.
std::vector<TDeviceEntry> DeviceEntries();

// Catalogue text (Windows-1251) as UTF-8, for display.
std::string Cp1251ToUtf8(const std::string &text);
// UTF-8 text as Windows-1251; characters without a Windows-1251 form, and bytes that are no
// well-formed UTF-8 (overlong forms, surrogates, stray bytes), become '?'.
std::string Utf8ToCp1251(const std::string &text);

// The catalogue document (params.cfg as last loaded), one per process.
TSimpleXMLParser &CatalogueParser();
// Type names used when the catalogue has no device entries, in ascending code order.
extern const std::vector<TDeviceTypeName> BuiltInTypeNames;

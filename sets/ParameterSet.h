#pragma once
// Parameter sets: a device's parameter values kept as one JSON document (the format is
// described in docs/parameter-sets.md), read back with every field checked, and checked
// against the current parameter list before anything in it changes. The window and
// linvar-cli both save, load and compare sets through here; each words the faults itself.
// Nothing here throws.

#include "catalogue/DeviceCatalogue.h"
#include "catalogue/TextPlace.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The document type: members keep the order they were written in, for people who read it.
using TJson = nlohmann::ordered_json;

// Value of the document's "format" member, and the newest format version this program reads.
inline const std::string ParameterSetFormat = "linvar-parameter-set";
constexpr int ParameterSetFormatVersion = 1;
// Largest file that is read at all; the set of any catalogued device is a few kilobytes, and
// a bigger file is no set of ours.
constexpr size_t MaxParameterSetBytes = 1024 * 1024;

// The device a set was read from. A set file needs only the type; members it leaves out stay
// as here.
struct TSetDevice
{
    uint8_t Address = 0;
    uint8_t Type = 0;
    uint16_t Version = 0; // firmware version number: 205 for "2.05"
    std::string ReadAt;   // when its values were read: ISO 8601 UTC, "2025-03-01T09:30:00Z"
};

// One parameter of a set, as its file gives it.
struct TSetParameter
{
    int32_t Index = 0;
    std::string Name;              // UTF-8; empty where the file gives none
    int32_t Raw = VALUE_UNDEFINED; // VALUE_UNDEFINED where the file holds null
};

// A set read from a file.
struct TParameterSet
{
    TSetDevice Device;
    std::vector<TSetParameter> Parameters;
};

// What is wrong with a set file, or with a set for the current device.
enum class TSetFault
{
    None,
    NotReadable,     // the file does not open or read: Errno is the system's reason
    NotRegularFile,  // a folder, a device or a pipe, which are never sets
    TooLarge,        // more than MaxParameterSetBytes
    NulByte,         // a NUL byte at Place: no text file, and what follows it would be lost
    NotJson,         // no well-formed JSON in UTF-8: Place is where it stops being so
    DuplicateKey,    // Field ("parameters[0].raw") appears twice in its object
    NotParameterSet, // no "format" naming a parameter set
    NewerFormat,     // a format version this program does not know: Value
    MissingField,    // Field is absent
    WrongType,       // Field holds another kind of value: Needed says which kind it needs
    OutOfRange,      // Field holds a number outside Minimum..Maximum: Value
    DuplicateIndex,  // Field (a parameter's index) appears twice: Value
    OtherType,       // the set is for device type Value, the current device is of type Limit
    BelowMinimum,    // Field (a parameter's name) has raw Value below its minimum, Limit
    AboveMaximum,    // Field (a parameter's name) has raw Value above its maximum, Limit
};

// The kind of value a field of a set needs.
enum class TSetValueKind
{
    WholeNumber,
    Text,
    Array,
    Object,
    NumberOrNull,
};

// The first fault found; Fault None when there is none.
struct TSetError
{
    TSetFault Fault = TSetFault::None;
    std::string Field; // "parameters[2].raw", or a parameter's name (UTF-8)
    TSetValueKind Needed = TSetValueKind::WholeNumber; // of WrongType
    int64_t Value = 0;
    int64_t Minimum = 0; // the range of OutOfRange
    int64_t Maximum = 0;
    int64_t Limit = 0;
    int Errno = 0;         // of NotReadable
    TTextPlace Place = {}; // of NotJson and NulByte: line and column (in bytes) of the fault
};

// What a set does to the current list: the values it puts in, and what it leaves out.
struct TSetPlan
{
    // Row of the list and the raw value it gets, in the file's order.
    std::vector<std::pair<size_t, int32_t>> Values;
    // Names (UTF-8) of the file's parameters that the list lacks, in the file's order; a
    // parameter the file gives no name is named by its index ("17").
    std::vector<std::string> Skipped;
};

// The set document of `device` holding the values of `parameters`, with their catalogue
// fields for people and for checks.
TJson ParameterSetDocument(const TSetDevice &device,
                           const std::vector<ParameterDescription> &parameters);
// One parameter's members as a set document holds them: index, name, size, divisor, limits,
// default, raw (null when undefined) and the value as shown.
TJson ParameterFields(const ParameterDescription &entry);
// The shown value of `raw` as a JSON number (a whole number where it is one), null when
// undefined.
TJson ShownValue(int32_t raw, int32_t divisor);
// `document` as text: one line with `indent` -1, else pretty; bytes that are no UTF-8 become
// U+FFFD instead of failing.
std::string JsonText(const TJson &document, int indent = -1);
// The current time as ISO 8601 UTC text, for TSetDevice::ReadAt.
std::string CurrentTimeText();

// Reads a set from `text`, checking every field; false with the first fault in `error`.
bool ParseParameterSet(const std::string &text, TParameterSet &set, TSetError &error);
// Reads the set file at `path` (a regular file of at most MaxParameterSetBytes); false with
// the first fault. A pipe or a device is refused without waiting for a writer.
bool ReadParameterSetFile(const std::string &path, TParameterSet &set, TSetError &error);

// Checks `set` against `list`, the parameters of a device of `type`, and tells what it would
// change; false with the fault when the set is for another type or a raw value passes its
// parameter's limits, and then nothing is to change. Parameters the list lacks are skipped and
// named; rows of other sizes than byte and word, and null values, are left alone.
bool PlanParameterSet(const TParameterSet &set, uint8_t type,
                      const std::vector<ParameterDescription> &list, TSetPlan &plan,
                      TSetError &error);
// Puts the plan's values into `list`.
void ApplySetPlan(const TSetPlan &plan, std::vector<ParameterDescription> &list);

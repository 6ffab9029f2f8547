#include "sets/ParameterSet.h"

#include "catalogue/ParameterSize.h"
#include "link/FileRead.h"
#include "values/ValueText.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>

namespace {

using TDom = nlohmann::json;

// Checks a text without building anything: where the first syntax error is, and the first key
// that appears twice in its object. The DOM parser would keep the last of two equal keys, so
// a hand-edited file could say one value and apply another.
class TSyntaxCheck : public nlohmann::json_sax<TDom>
{
public:
    size_t Offset = 0;        // of the character the parser stopped at
    std::string DuplicateKey; // the first key seen twice, as "parameters[0].raw"

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t &) override { return Value(); }
    bool string(string_t &) override { return Value(); }
    bool binary(binary_t &) override { return Value(); }
    bool start_object(std::size_t) override
    {
        Value();
        Frames.push_back({false, Keys.size()});
        Keys.emplace_back();
        return true;
    }
    bool key(string_t &key) override
    {
        Frames.back().Key = key;
        if (Keys.back().insert(key).second)
            return true;
        DuplicateKey = Path();
        return false; // the first fault is enough
    }
    bool end_object() override
    {
        Frames.pop_back();
        Keys.pop_back();
        return true;
    }
    bool start_array(std::size_t) override
    {
        Value();
        Frames.push_back({true, 0});
        return true;
    }
    bool end_array() override
    {
        Frames.pop_back();
        return true;
    }
    bool parse_error(std::size_t position, const std::string &,
                     const nlohmann::detail::exception &) override
    {
        // The position counts the characters read, the offending one included.
        Offset = position > 0 ? position - 1 : 0;
        return false;
    }

private:
    // An open array (Count: values begun in it) or object (Key: the member being read).
    struct TFrame
    {
        bool Array;
        size_t Count;
        std::string Key = {};
    };

    // Counts a value begun inside an array, for the path of a key below it.
    bool Value()
    {
        if (!Frames.empty() && Frames.back().Array)
            ++Frames.back().Count;
        return true;
    }

    std::string Path() const
    {
        std::string path;
        for (const TFrame &frame : Frames) {
            if (frame.Array)
                path += "[" + std::to_string(frame.Count - 1) + "]";
            else
                path += (path.empty() ? "" : ".") + frame.Key;
        }
        return path;
    }

    std::vector<TFrame> Frames;
    // The keys of each open object; arrays keep none, so deep nesting of arrays stays cheap.
    std::vector<std::set<std::string>> Keys;
};

// Reads the members of one object, recording the first fault.
class TFieldReader
{
public:
    TFieldReader(const TDom &object, std::string where, TSetError &error)
        : Object(object), Where(std::move(where)), Error(error)
    {
    }

    // The member `key` as a whole number in minimum..maximum.
    bool Integer(const char *key, int64_t minimum, int64_t maximum, int64_t &out)
    {
        const TDom *value = Member(key);
        if (!value)
            return false;
        return ReadInteger(*value, Name(key), minimum, maximum, out, Error);
    }

    // The member `key` as a whole number in minimum..maximum, or null (`isNull`).
    bool IntegerOrNull(const char *key, int64_t minimum, int64_t maximum, int64_t &out,
                       bool &isNull)
    {
        const TDom *value = Member(key);
        if (!value)
            return false;
        isNull = value->is_null();
        return isNull || ReadInteger(*value, Name(key), minimum, maximum, out, Error);
    }

    // The member `key` as text.
    bool Text(const char *key, std::string &out)
    {
        const TDom *value = Member(key);
        if (!value)
            return false;
        if (!value->is_string())
            return Fail(TSetFault::WrongType, Name(key), TSetValueKind::Text);
        out = value->get<std::string>();
        return true;
    }

    // The member `key`, which must be a number or null; its value is for people only.
    bool NumberOrNull(const char *key)
    {
        const TDom *value = Member(key);
        if (!value)
            return false;
        return value->is_number() || value->is_null() ||
               Fail(TSetFault::WrongType, Name(key), TSetValueKind::NumberOrNull);
    }

    // The member `key`, which must be an array.
    const TDom *Array(const char *key)
    {
        const TDom *value = Member(key);
        if (value && !value->is_array()) {
            Fail(TSetFault::WrongType, Name(key), TSetValueKind::Array);
            return nullptr;
        }
        return value;
    }

    // Whether the object lacks `key`: the members written for people may be left out.
    bool Absent(const char *key) const { return Object.find(key) == Object.end(); }

    // The name of member `key` for a message: "parameters[2].raw".
    std::string Name(const char *key) const { return Where.empty() ? key : Where + "." + key; }

    static bool ReadInteger(const TDom &value, const std::string &name, int64_t minimum,
                            int64_t maximum, int64_t &out, TSetError &error)
    {
        if (!value.is_number_integer()) {
            error = {TSetFault::WrongType, name, TSetValueKind::WholeNumber};
            return false;
        }
        // An unsigned number above the signed range would wrap when read as signed.
        const bool huge =
            value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX);
        out = huge ? INT64_MAX : value.get<int64_t>();
        if (huge || out < minimum || out > maximum) {
            error = {TSetFault::OutOfRange, name, {}, out, minimum, maximum};
            return false;
        }
        return true;
    }

private:
    const TDom *Member(const char *key)
    {
        const auto found = Object.find(key);
        if (found == Object.end()) {
            Fail(TSetFault::MissingField, Name(key), {});
            return nullptr;
        }
        return &*found;
    }

    bool Fail(TSetFault fault, const std::string &name, TSetValueKind needed)
    {
        Error = {fault, name, needed};
        return false;
    }

    const TDom &Object;
    const std::string Where;
    TSetError &Error;
};

bool ParseParameter(const TDom &item, const std::string &where, TSetParameter &parameter,
                    TSetError &error)
{
    if (!item.is_object()) {
        error = {TSetFault::WrongType, where, TSetValueKind::Object};
        return false;
    }
    TFieldReader read(item, where, error);
    int64_t index = 0, divisor = 0, raw = 0;
    bool rawNull = false;
    std::string size;
    // Raw values are bytes and words on the bus; the index and divisor are the catalogue's
    // integers. Only the index and the raw value are applied: the rest, written for people,
    // may be left out, and is checked when present.
    if (!read.Integer("index", 0, INT32_MAX, index) ||
        !(read.Absent("name") || read.Text("name", parameter.Name)) ||
        !(read.Absent("size") || read.Text("size", size)) ||
        !(read.Absent("divisor") || read.Integer("divisor", INT32_MIN, INT32_MAX, divisor)) ||
        !read.IntegerOrNull("raw", 0, 65535, raw, rawNull) ||
        !(read.Absent("value") || read.NumberOrNull("value"))) {
        return false;
    }
    parameter.Index = static_cast<int32_t>(index);
    parameter.Raw = rawNull ? VALUE_UNDEFINED : static_cast<int32_t>(raw);
    return true;
}

} // namespace

TJson ShownValue(int32_t raw, int32_t divisor)
{
    if (raw == VALUE_UNDEFINED)
        return nullptr;
    if (divisor <= 0)
        return raw;
    if (raw % divisor == 0)
        return raw / divisor;
    // The double nearest the shown text prints as that text again. from_chars, unlike strtod,
    // reads a point whatever the C locale (a Russian one, set by Qt in the window, wants a comma).
    const std::string text = FormatParameterValue(raw, divisor);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TJson ParameterFields(const ParameterDescription &entry)
{
    TJson fields;
    fields["index"] = entry.Index;
    fields["name"] = Cp1251ToUtf8(entry.Name);
    fields["size"] = Cp1251ToUtf8(entry.Size);
    fields["divisor"] = entry.Divisor;
    fields["minimum"] = entry.Minimum;
    fields["maximum"] = entry.Maximum;
    fields["default"] = entry.Default;
    const int32_t raw = entry.Value;
    fields["raw"] = raw == VALUE_UNDEFINED ? TJson(nullptr) : TJson(raw);
    fields["value"] = ShownValue(raw, entry.Divisor);
    return fields;
}

TJson ParameterSetDocument(const TSetDevice &device,
                           const std::vector<ParameterDescription> &parameters)
{
    TJson document;
    document["format"] = ParameterSetFormat;
    document["format_version"] = ParameterSetFormatVersion;
    document["address"] = device.Address;
    document["type"] = device.Type;
    document["name"] = Cp1251ToUtf8(TypeName(device.Type));
    document["firmware"] = FormatVersion(device.Version);
    document["version"] = device.Version;
    document["read_at"] = device.ReadAt;
    TJson list = TJson::array();
    for (const ParameterDescription &entry : parameters)
        list.push_back(ParameterFields(entry));
    document["parameters"] = std::move(list);
    return document;
}

std::string JsonText(const TJson &document, int indent)
{
    return document.dump(indent, ' ', false, TJson::error_handler_t::replace);
}

std::string CurrentTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

bool ParseParameterSet(const std::string &text, TParameterSet &set, TSetError &error)
{
    error = {};
    if (text.size() > MaxParameterSetBytes) {
        error = {TSetFault::TooLarge, {}, {}, static_cast<int64_t>(text.size())};
        return false;
    }
    // The parser would stop at a NUL as at the end and drop whatever follows it unread.
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
        error = {TSetFault::NulByte, {}};
        error.Place = TextPlaceAt(text, nul);
        return false;
    }
    TSyntaxCheck syntax;
    const bool wellFormed = TDom::sax_parse(text, &syntax);
    if (!syntax.DuplicateKey.empty()) {
        error = {TSetFault::DuplicateKey, syntax.DuplicateKey};
        return false;
    }
    const TDom document =
        wellFormed ? TDom::parse(text, nullptr, false) : TDom(TDom::value_t::discarded);
    if (document.is_discarded()) {
        error = {TSetFault::NotJson, {}};
        error.Place = TextPlaceAt(text, syntax.Offset);
        return false;
    }
    if (!document.is_object()) {
        error = {TSetFault::NotParameterSet, {}, {}};
        return false;
    }
    TFieldReader read(document, {}, error);
    std::string format;
    const auto formatMember = document.find("format");
    if (formatMember == document.end() || !formatMember->is_string() ||
        formatMember->get<std::string>() != ParameterSetFormat) {
        error = {TSetFault::NotParameterSet, {}, {}};
        return false;
    }
    int64_t formatVersion = 0, address = 0, type = 0, version = 0;
    if (!read.Integer("format_version", 1, INT64_MAX, formatVersion))
        return false;
    if (formatVersion > ParameterSetFormatVersion) {
        error = {TSetFault::NewerFormat, "format_version", {}, formatVersion};
        return false;
    }
    TParameterSet result;
    std::string typeName, firmware;
    // Only the type is applied; the device's other members are for people, checked when present.
    if (!(read.Absent("address") || read.Integer("address", 0, 127, address)) ||
        !read.Integer("type", 0, 255, type) ||
        !(read.Absent("name") || read.Text("name", typeName)) ||
        !(read.Absent("firmware") || read.Text("firmware", firmware)) ||
        !(read.Absent("version") || read.Integer("version", 0, 65535, version)) ||
        !(read.Absent("read_at") || read.Text("read_at", result.Device.ReadAt))) {
        return false;
    }
    result.Device.Address = static_cast<uint8_t>(address);
    result.Device.Type = static_cast<uint8_t>(type);
    result.Device.Version = static_cast<uint16_t>(version);

    const TDom *parameters = read.Array("parameters");
    if (!parameters)
        return false;
    std::set<int32_t> indexes;
    for (size_t i = 0; i < parameters->size(); ++i) {
        const std::string where = "parameters[" + std::to_string(i) + "]";
        TSetParameter parameter;
        if (!ParseParameter((*parameters)[i], where, parameter, error))
            return false;
        if (!indexes.insert(parameter.Index).second) {
            error = {TSetFault::DuplicateIndex, where + ".index", {}, parameter.Index};
            return false;
        }
        result.Parameters.push_back(std::move(parameter));
    }
    set = std::move(result);
    return true;
}

bool ReadParameterSetFile(const std::string &path, TParameterSet &set, TSetError &error)
{
    error = {};
    std::string text;
    int readError = 0;
    switch (ReadFileBounded(path, MaxParameterSetBytes, true, text, readError)) {
    case TFileReadFault::None:
        return ParseParameterSet(text, set, error);
    case TFileReadFault::NotRegular:
        error = {TSetFault::NotRegularFile, {}};
        return false;
    case TFileReadFault::TooLarge:
        // The reader stops one byte past the bound.
        error = {TSetFault::TooLarge, {}, {}, static_cast<int64_t>(MaxParameterSetBytes + 1)};
        return false;
    case TFileReadFault::NotOpened:
    case TFileReadFault::NotRead:
        break;
    }
    error = {TSetFault::NotReadable, {}};
    error.Errno = readError;
    return false;
}

bool PlanParameterSet(const TParameterSet &set, uint8_t type,
                      const std::vector<ParameterDescription> &list, TSetPlan &plan,
                      TSetError &error)
{
    error = {};
    plan = {};
    if (set.Device.Type != type) {
        error = {TSetFault::OtherType, {}, {}, set.Device.Type, 0, 0, type};
        return false;
    }
    TSetPlan result;
    for (const TSetParameter &parameter : set.Parameters) {
        size_t row = 0;
        while (row < list.size() && list[row].Index != parameter.Index)
            ++row;
        if (row == list.size()) {
            // A set written by hand may give no name: its index names it then.
            result.Skipped.push_back(parameter.Name.empty() ? std::to_string(parameter.Index)
                                                            : parameter.Name);
            continue;
        }
        const ParameterDescription &entry = list[row];
        // Only bytes and words can be written; other rows (flags the device shows) stay as read.
        if (parameter.Raw == VALUE_UNDEFINED || !IsWritable(entry))
            continue;
        if (parameter.Raw < entry.Minimum || parameter.Raw > entry.Maximum) {
            const bool below = parameter.Raw < entry.Minimum;
            error = {below ? TSetFault::BelowMinimum : TSetFault::AboveMaximum,
                     Cp1251ToUtf8(entry.Name),
                     {},
                     parameter.Raw,
                     entry.Minimum,
                     entry.Maximum,
                     below ? entry.Minimum : entry.Maximum};
            return false;
        }
        result.Values.emplace_back(row, parameter.Raw);
    }
    plan = std::move(result);
    return true;
}

void ApplySetPlan(const TSetPlan &plan, std::vector<ParameterDescription> &list)
{
    for (const auto &[row, raw] : plan.Values) {
        if (row < list.size())
            list[row].Value = raw;
    }
}

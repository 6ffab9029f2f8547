// The device catalogue over real catalogue files (Windows-1251), and the version helpers.

#include "catalogue/DeviceCatalogue.h"
#include "catalogue/USimpleXMLParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string DataDir = LINVAR_TEST_DATA;

// Loads a catalogue as the front ends do.
TCatalogueLoad Load(const std::string &path)
{
    return LoadCatalogue(path);
}

bool Loaded(const TCatalogueLoad &load)
{
    return load.Fault == TCatalogueFault::None;
}

// One grid row as the tests write it: UTF-8 name, size, index, divisor, limits, default.
struct TRow
{
    std::string Name;
    std::string Size;
    int32_t Index;
    int32_t Divisor;
    uint16_t Minimum;
    uint16_t Maximum;
    uint16_t ByDefault;

    bool operator==(const TRow &) const = default;
};

std::ostream &operator<<(std::ostream &os, const TRow &r)
{
    return os << r.Name << '/' << r.Size << " #" << r.Index << " /" << r.Divisor << " ["
              << r.Minimum << ".." << r.Maximum << "] =" << r.ByDefault;
}

std::vector<TRow> Rows(uint16_t type, uint16_t version)
{
    FormDeviceParam(type, version);
    std::vector<TRow> rows;
    for (const ParameterDescription &p : DeviceParameters) {
        EXPECT_EQ(p.Value.load(), VALUE_UNDEFINED);
        rows.push_back({Cp1251ToUtf8(p.Name), Cp1251ToUtf8(p.Size), p.Index, p.Divisor, p.Minimum,
                        p.Maximum, p.Default});
    }
    return rows;
}

std::vector<std::string> RowNames(uint16_t type, uint16_t version)
{
    std::vector<std::string> names;
    for (const TRow &row : Rows(type, version)) {
        names.push_back(row.Name);
    }
    return names;
}

TEST(Versions, ParseAndFormat)
{
    const std::vector<std::pair<std::string, uint16_t>> parsed = {
        {"", 0},       {"1", 100},     {"1x", 100},   {"1.5", 150}, {"1.50", 150},
        {"1.05", 105}, {"1.234", 123}, {"9.99", 999}, {"x.00", 0},  {"1.x", 0},
        {"1.x5", 0},   {"1.-5", 0},    {"1.+5", 0},   {" 1.00", 0},
    };
    for (const auto &[text, version] : parsed) {
        EXPECT_EQ(ParseVersion(text), version) << '"' << text << '"';
    }
    // Typed versions: the whole text counts, up to three major digits, 0.00 is a version.
    struct TExact
    {
        std::string Text;
        int MinorDigits;
        bool Ok;
        uint16_t Version;
    };
    const std::vector<TExact> exact = {
        {"1.05", 1, true, 105},     {"1.5", 1, true, 150},   {"12.34", 1, true, 1234},
        {"655.35", 1, true, 65535}, {"0.00", 2, true, 0},    {"1.08", 2, true, 108},
        {"1.5", 2, false, 0},       {"655.36", 1, false, 0}, {"1234.5", 1, false, 0},
        {"1", 1, false, 0},         {"1.", 1, false, 0},     {"1.234", 1, false, 0},
        {"1x05", 1, false, 0},      {"1.05 ", 1, false, 0},  {"1.+5", 1, false, 0},
    };
    for (const TExact &c : exact) {
        uint16_t version = 7;
        EXPECT_EQ(ParseVersion(c.Text, version, {.Exact = true, .MinorDigits = c.MinorDigits}),
                  c.Ok)
            << '"' << c.Text << "\" " << c.MinorDigits;
        EXPECT_EQ(version, c.Ok ? c.Version : 7) << '"' << c.Text << '"';
    }
    const std::vector<std::pair<uint16_t, std::string>> formatted = {
        {0, ""}, {9, "0.09"}, {105, "1.05"}, {150, "1.50"}, {1234, "12.34"}, {65535, "655.35"},
    };
    for (const auto &[version, text] : formatted) {
        EXPECT_EQ(FormatVersion(version), text) << version;
    }
}

TEST(Versions, Lists)
{
    struct TCase
    {
        std::string List;
        std::vector<uint16_t> In;
        std::vector<uint16_t> Out;
    };
    const std::vector<TCase> cases = {
        {"", {0, 205}, {}},        {"1.00-1.99,2.05", {100, 150, 199, 205}, {99, 200}},
        {"1.5", {150}, {}},        {"1.50", {150}, {}},
        {"1.05", {}, {150}},       {"2.05,1.5", {150}, {}},
        {"1.99-1.00", {}, {150}},                       // a reversed range holds nothing
        {"1.00, 2.05", {}, {205}},                      // no blanks allowed: " 2.05" does not parse
        {"1.00,", {100}, {}},      {"-1.20", {50}, {}}, // an open low end parses as 0
        {"1.20-", {}, {150}},      {"x,2.05", {205}, {}},
    };
    for (const TCase &c : cases) {
        for (const uint16_t version : c.In) {
            EXPECT_TRUE(VersionInList(c.List, version)) << '"' << c.List << "\" " << version;
        }
        for (const uint16_t version : c.Out) {
            EXPECT_FALSE(VersionInList(c.List, version)) << '"' << c.List << "\" " << version;
        }
    }
    // Items longer than 254 characters are split like any other.
    const std::string longList = std::string(300, 'x') + ",2.05," + std::string(300, '9') + "-3";
    EXPECT_TRUE(VersionInList(longList, 205));
    EXPECT_FALSE(VersionInList(longList, 206));
}

TEST(Catalogue, SmallCatalogueRowsFollowVersions)
{
    EXPECT_TRUE(Loaded(Load(DataDir + "/catalogue-basic.cfg")));
    const TRow first{"Первый", "байт", 3, 1, 1, 127, 1};
    const TRow second{"Второй", "слово", 4, 10, 0, 1000, 100};
    EXPECT_EQ(Rows(9, 120), (std::vector<TRow>{first}));
    EXPECT_EQ(Rows(9, 150), (std::vector<TRow>{first, second}));
    EXPECT_EQ(Rows(9, 205), (std::vector<TRow>{first}));
    EXPECT_EQ(Rows(9, 200), std::vector<TRow>{});
    EXPECT_TRUE(GoDeviceParams(9, 150));
    EXPECT_FALSE(GoDeviceParams(9, 200));
    EXPECT_FALSE(GoDeviceParams(10, 150));
    EXPECT_EQ(Cp1251ToUtf8(TypeName(9)), "Девятый");
    ClearDeviceParams();
    Rows(9, 150);
    ClearDeviceParams();
    EXPECT_TRUE(DeviceParameters.empty());
}

TEST(Catalogue, EntrySelectionRules)
{
    EXPECT_TRUE(Loaded(Load(DataDir + "/catalogue-edge.cfg")));
    // An entry with no versions is never offered, yet it is the one used when it comes first.
    EXPECT_TRUE(GoDeviceParams(5, 100));
    EXPECT_FALSE(GoDeviceParams(5, 200));
    EXPECT_EQ(RowNames(5, 100), std::vector<std::string>{"Из первой записи"});
    EXPECT_EQ(RowNames(5, 200), std::vector<std::string>{"Из первой записи"});
    // The first matching entry ends the search even when it has no parameters.
    EXPECT_TRUE(GoDeviceParams(6, 100));
    EXPECT_TRUE(Rows(6, 100).empty());
    // Overlapping entries: the first in the file wins.
    EXPECT_EQ(RowNames(7, 140), (std::vector<std::string>{"А", "Б", "В"}));
    EXPECT_EQ(RowNames(7, 160), std::vector<std::string>{"Из второй седьмой"});
    // A signed type code with a plus sign is still an integer.
    EXPECT_TRUE(GoDeviceParams(8, 100));
    // 70000 is no type code; its low 16 bits must not match either.
    EXPECT_FALSE(GoDeviceParams(70000 & 0xFFFF, 100));
    EXPECT_FALSE(GoDeviceParams(0, 100));
}

TEST(Catalogue, FieldsThatDoNotConvertStayZero)
{
    Load(DataDir + "/catalogue-edge.cfg");
    EXPECT_EQ(Rows(7, 120), (std::vector<TRow>{
                                {"А", "слово", 300, 100, 0, 0, 65535},
                                {"Б", "флаг", 0, 0, 0, 65535, 0},
                                {"В", "", 0, 0, 0, 0, 0},
                                {"Г", "байт", -2, -10, 7, 0, 0},
                            }));
}

TEST(Catalogue, TypeNamesFromFile)
{
    Load(DataDir + "/catalogue-edge.cfg");
    std::vector<std::pair<uint16_t, std::string>> table;
    for (const TDeviceTypeName &pair : DeviceTypeNames) {
        table.emplace_back(pair.Code, Cp1251ToUtf8(pair.Name));
    }
    // A later entry renames an earlier code in place; bad codes are skipped; no built-ins.
    EXPECT_EQ(
        table,
        (std::vector<std::pair<uint16_t, std::string>>{
            {5, "Пятый с версией"}, {6, "Шестой полный"}, {7, "Седьмой второй"}, {8, "Восьмой"}}));
    EXPECT_EQ(Cp1251ToUtf8(TypeName(9)), "Неизвестный");

    SetTypeName(9, Utf8ToCp1251("Новый"));
    SetTypeName(5, Utf8ToCp1251("Другой"));
    EXPECT_EQ(DeviceTypeNames.size(), 5u);
    EXPECT_EQ(Cp1251ToUtf8(TypeName(5)), "Другой");
    EXPECT_EQ(Cp1251ToUtf8(TypeName(9)), "Новый");
}

TEST(Catalogue, DeviceEntriesAsTheFileHasThem)
{
    Load(DataDir + "/catalogue-edge.cfg");
    // type/versions/parameters/offered; codes that are no integer are left out, a code too
    // large for a type is listed as written.
    std::vector<std::string> listed;
    for (const TDeviceEntry &entry : DeviceEntries()) {
        listed.push_back(std::to_string(entry.Type) + "/" + entry.Versions + "/" +
                         std::to_string(entry.Parameters) + (entry.Offered ? "/offered" : ""));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"5//1", "5/1.00/1/offered", "6/1.00-2.00/0/offered",
                                                "6/1.00/1/offered", "70000/1.00/0/offered",
                                                "7/1.00-1.50/4/offered", "7/1.00-1.99/1/offered",
                                                "8/1.00/0/offered"}));
    EXPECT_EQ(Cp1251ToUtf8(DeviceEntries().at(1).Name), "Пятый с версией");

    Load(DataDir + "/no-such.cfg");
    EXPECT_TRUE(DeviceEntries().empty());
}

TEST(Catalogue, BuiltInNamesWithoutDeviceEntries)
{
    for (const char *file : {"/catalogue-nodev.cfg", "/catalogue-empty.cfg", "/no-such.cfg"}) {
        Load(DataDir + file);
        ASSERT_EQ(DeviceTypeNames.size(), 29u) << file;
        EXPECT_EQ(Cp1251ToUtf8(TypeName(9)), "Прибор типа 9") << file;
        EXPECT_EQ(Cp1251ToUtf8(TypeName(36)), "Прибор типа 36") << file;
        EXPECT_EQ(Cp1251ToUtf8(TypeName(5)), "Неизвестный") << file;
        EXPECT_FALSE(GoDeviceParams(9, 100)) << file;
        EXPECT_TRUE(Rows(9, 100).empty()) << file;
    }
    const std::vector<uint16_t> codes = {0,  1,  2,  3,  4,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                         17, 18, 19, 20, 22, 24, 25, 26, 28, 30, 31, 33, 34, 36};
    for (size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(DeviceTypeNames[i].Code, codes[i]);
    }
}

TEST(Catalogue, LoadFailuresAreReportedAndLeaveNoDocument)
{
    struct TCase
    {
        std::string Path;
        TCatalogueFault Fault;
    };
    const std::vector<TCase> cases = {
        {DataDir + "/no-such.cfg", TCatalogueFault::NotFound},
        {DataDir, TCatalogueFault::NotFound}, // exists, but is no readable file
        {DataDir + "/catalogue-empty.cfg", TCatalogueFault::Malformed},
    };
    for (const TCase &c : cases) {
        Load(DataDir + "/catalogue-basic.cfg");
        ASSERT_TRUE(GoDeviceParams(9, 150));
        EXPECT_EQ(Load(c.Path).Fault, c.Fault) << c.Path;
        EXPECT_EQ(CatalogueParser().Root(), nullptr) << c.Path;
        EXPECT_FALSE(GoDeviceParams(9, 150)) << c.Path;
    }
}

// What any catalogue we ship must hold, whatever its devices: every entry is offered and
// gives parameters at every version it names, and every parameter can be shown and edited.
TEST(Catalogue, ShippedSampleIsUsable)
{
    EXPECT_TRUE(Loaded(Load(LINVAR_SAMPLE_PARAMS)));
    const std::vector<TDeviceEntry> entries = DeviceEntries();
    ASSERT_FALSE(entries.empty());
    for (const TDeviceEntry &entry : entries) {
        SCOPED_TRACE("type " + std::to_string(entry.Type));
        EXPECT_TRUE(entry.Offered);
        EXPECT_GT(entry.Parameters, 0);
        EXPECT_TRUE(entry.Type >= 0 && entry.Type <= 255); // a type code on the bus is a byte
        const auto type = static_cast<uint16_t>(entry.Type);
        EXPECT_NE(Cp1251ToUtf8(TypeName(type)), "Неизвестный");
        int offered = 0;
        // Catalogue versions have one major digit: 0.01 to 9.99 covers every one.
        for (uint16_t version = 1; version <= 999; ++version) {
            if (!GoDeviceParams(type, version)) {
                continue;
            }
            ++offered;
            FormDeviceParam(type, version);
            EXPECT_FALSE(DeviceParameters.empty()) << version;
            std::vector<int32_t> indexes;
            for (const ParameterDescription &p : DeviceParameters) {
                SCOPED_TRACE(Cp1251ToUtf8(p.Name) + " at " + FormatVersion(version));
                EXPECT_FALSE(p.Name.empty());
                EXPECT_GE(p.Divisor, 1);
                EXPECT_LE(p.Minimum, p.Default);
                EXPECT_LE(p.Default, p.Maximum);
                if (p.Size == Utf8ToCp1251("байт")) {
                    EXPECT_LE(p.Maximum, 255);
                }
                EXPECT_TRUE(p.Index >= 0 && p.Index <= 255); // the bus carries one byte
                indexes.push_back(p.Index);
            }
            std::sort(indexes.begin(), indexes.end());
            EXPECT_EQ(std::adjacent_find(indexes.begin(), indexes.end()), indexes.end())
                << "two parameters share a number at " << FormatVersion(version);
        }
        EXPECT_GT(offered, 0);
    }
}

TEST(Cp1251, ConvertsBothWays)
{
    EXPECT_EQ(Utf8ToCp1251("Прибор"), "\xCF\xF0\xE8\xE1\xEE\xF0");
    EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9"), "Ёё№");
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD"); // the one byte without a character
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != 0x98) {
            all.push_back(static_cast<char>(b));
        }
    }
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    // Broken UTF-8 and characters the code page lacks become question marks.
    EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");
    EXPECT_EQ(Utf8ToCp1251("\x80x"), "?x");
    EXPECT_EQ(Utf8ToCp1251("日本"), "??");
    // Only shortest forms are characters: an overlong '<' or NUL, a surrogate, a code point
    // beyond U+10FFFF and the lead bytes that start nothing all stay question marks.
    const std::pair<std::string, std::string> hostile[] = {
        {"\xC0\xBC", "??"},
        {"\xC1\xBF", "??"},
        {"\xE0\x80\x80", "???"},
        {"\xE0\x9F\xBF", "???"},
        {"\xF0\x80\x80\xBC", "????"},
        {"\xED\xA0\x80", "???"},
        {"\xF4\x90\x80\x80", "????"},
        {"\xF5\x80\x80\x80", "????"},
        {"\xF7\xBF\xBF\xBF", "????"},
        {"\xFF<", "?<"},
        {"\xE0\xA0\x80", "?"},
        {"\xED\x9F\xBF", "?"},                // U+0800, U+D7FF: no cp1251 form
        {"\xD0\x9F\xE2\x84\x96", "\xCF\xB9"}, // П№
    };
    for (const auto &[utf8, expected] : hostile) {
        EXPECT_EQ(Utf8ToCp1251(utf8), expected) << testing::PrintToString(utf8);
    }
}

} // namespace

// Parameter sets: the document written and read back, the refusal of bad files with their
// first fault, and the check of a set against the current parameter list.

#include "tests/support/TempDir.h"

#include "device/DeviceRequests.h"
#include "link/FileWrite.h"
#include "sets/ParameterSet.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>

#include <sys/stat.h>

namespace {

// A fault for a failure message.
std::string Said(const TSetError &error)
{
    return "fault " + std::to_string(static_cast<int>(error.Fault)) + " " + error.Field;
}

ParameterDescription Entry(int32_t index, const std::string &nameUtf8, const std::string &size,
                           int32_t divisor, uint16_t minimum, uint16_t maximum, int32_t value)
{
    ParameterDescription entry;
    entry.Index = index;
    entry.Name = Utf8ToCp1251(nameUtf8);
    entry.Size = size;
    entry.Divisor = divisor;
    entry.Minimum = minimum;
    entry.Maximum = maximum;
    entry.Default = minimum;
    entry.Value = value;
    return entry;
}

// A device of type 9 as the sample catalogue lists it, with one flag row the device only shows.
std::vector<ParameterDescription> List()
{
    return {Entry(1, "Сетевой адрес", SizeByte, 1, 1, 127, 12),
            Entry(2, "Скорость обмена, кбит/с", SizeWord, 10, 12, 1152, 96),
            Entry(3, "Задержка ответа, мс", SizeByte, 1, 0, 250, VALUE_UNDEFINED),
            Entry(10, "Режим индикации", Utf8ToCp1251("флаг"), 1, 0, 1, 1)};
}

const TSetDevice Device{12, 9, 205, "2025-03-01T09:30:00Z"};

std::vector<int32_t> Values(const std::vector<ParameterDescription> &list)
{
    std::vector<int32_t> values;
    for (const auto &entry : list)
        values.push_back(entry.Value);
    return values;
}

// A valid set text with `replace` put in place of `what`.
std::string SetText(const std::string &what = {}, const std::string &replace = {})
{
    std::string text = JsonText(ParameterSetDocument(Device, List()));
    if (!what.empty()) {
        const auto at = text.find(what);
        EXPECT_NE(at, std::string::npos) << what;
        if (at != std::string::npos)
            text.replace(at, what.size(), replace);
    }
    return text;
}

} // namespace

TEST(ParameterSetTest, DocumentRoundTripsThroughAFile)
{
    const TJson document = ParameterSetDocument(Device, List());
    EXPECT_EQ(document["format"], "linvar-parameter-set");
    EXPECT_EQ(document["firmware"], "2.05");
    EXPECT_EQ(document["name"], "Неизвестный"); // no catalogue loaded here
    EXPECT_EQ(document["parameters"][1]["value"], 9.6);
    EXPECT_EQ(document["parameters"][0]["value"], 12);
    EXPECT_EQ(document["parameters"][0]["name"], "Сетевой адрес");
    EXPECT_EQ(document["parameters"][3]["size"], "флаг");
    EXPECT_TRUE(document["parameters"][2]["raw"].is_null());
    EXPECT_TRUE(document["parameters"][2]["value"].is_null());
    // Bytes that are no UTF-8 are repaired, not thrown over.
    EXPECT_EQ(JsonText(TJson("a\xC0\xE4")), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\"");

    TTempDir dir;
    const std::string path = dir.File("device-12.json");
    int error = 0;
    ASSERT_TRUE(WriteFileWhole(path, "{}", error)) << error;
    // Saving over an earlier file replaces it (Windows' rename() would refuse).
    ASSERT_TRUE(WriteFileWhole(path, JsonText(document, 2), error)) << error;
    EXPECT_FALSE(WriteFileWhole(dir.File("no/such/folder.json"), "{}", error));
    EXPECT_EQ(error, ENOENT);

    TParameterSet set;
    TSetError fault;
    ASSERT_TRUE(ReadParameterSetFile(path, set, fault)) << Said(fault);
    EXPECT_EQ(set.Device.Address, 12);
    EXPECT_EQ(set.Device.Version, 205);
    EXPECT_EQ(set.Device.ReadAt, Device.ReadAt);
    ASSERT_EQ(set.Parameters.size(), 4u);
    EXPECT_EQ(set.Parameters[1].Name, "Скорость обмена, кбит/с");
    EXPECT_EQ(set.Parameters[2].Raw, VALUE_UNDEFINED);

    // Into a list read anew: the defined values of byte and word rows, nothing else.
    std::vector<ParameterDescription> list = List();
    for (auto &entry : list)
        entry.Value = 5;
    TSetPlan plan;
    ASSERT_TRUE(PlanParameterSet(set, 9, list, plan, fault)) << Said(fault);
    EXPECT_TRUE(plan.Skipped.empty());
    ApplySetPlan(plan, list);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{12, 96, 5, 5}));
}

TEST(ParameterSetTest, BadFilesAreRefusedWithTheirFirstFault)
{
    const struct
    {
        std::string Text;
        TSetFault Fault;
        const char *Field;
    } cases[] = {
        {SetText().substr(0, 200), TSetFault::NotJson, ""}, // truncated
        {"", TSetFault::NotJson, ""},
        {std::string(200000, '['), TSetFault::NotJson, ""}, // deep nesting, no crash
        {"[1, 2]", TSetFault::NotParameterSet, ""},
        {SetText("linvar-parameter-set", "other"), TSetFault::NotParameterSet, ""},
        {SetText("\"format_version\":1", "\"format_version\":2"), TSetFault::NewerFormat,
         "format_version"},
        {SetText("\"type\":9,", ""), TSetFault::MissingField, "type"},
        {SetText("\"index\":1,", ""), TSetFault::MissingField, "parameters[0].index"},
        {SetText("\"type\":9", "\"type\":\"9\""), TSetFault::WrongType, "type"},
        {SetText("\"type\":9", "\"type\":300"), TSetFault::OutOfRange, "type"},
        {SetText("\"address\":12", "\"address\":-1"), TSetFault::OutOfRange, "address"},
        {SetText("\"raw\":12", "\"raw\":70000"), TSetFault::OutOfRange, "parameters[0].raw"},
        {SetText("\"raw\":12", "\"raw\":18446744073709551615"), TSetFault::OutOfRange,
         "parameters[0].raw"},
        {SetText("\"raw\":12", "\"raw\":99999999999999999999999"), TSetFault::WrongType,
         "parameters[0].raw"},
        {SetText("\"raw\":12", "\"raw\":1e400"), TSetFault::NotJson, ""},
        {SetText("\"raw\":12", "\"raw\":12.5"), TSetFault::WrongType, "parameters[0].raw"},
        {SetText("\"raw\":12,", ""), TSetFault::MissingField, "parameters[0].raw"},
        {SetText("\"value\":12", "\"value\":\"12\""), TSetFault::WrongType, "parameters[0].value"},
        {SetText("\"index\":2", "\"index\":1"), TSetFault::DuplicateIndex, "parameters[1].index"},
        {SetText("Сетевой адрес", "\xD1\xE5\xF2\xE5\xE2\xEE\xE9"), TSetFault::NotJson, ""},
        {SetText("\"parameters\":[", "\"parameters\":7,\"x\":["), TSetFault::WrongType,
         "parameters"},
        {SetText("\"parameters\":[", "\"parameters\":[7,"), TSetFault::WrongType, "parameters[0]"},
        {SetText() + std::string(MaxParameterSetBytes, ' '), TSetFault::TooLarge, ""},
        // Text after a NUL would go unread; a later key of the same name would win unseen.
        {SetText() + std::string(1, '\0') + "{\"raw\":5}", TSetFault::NulByte, ""},
        {SetText("\"raw\":12", "\"raw\":5,\"raw\":12"), TSetFault::DuplicateKey,
         "parameters[0].raw"},
        {SetText("\"type\":9", "\"type\":9,\"type\":10"), TSetFault::DuplicateKey, "type"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text.substr(0, 120));
        TParameterSet set;
        set.Device.Type = 77;
        TSetError error;
        EXPECT_FALSE(ParseParameterSet(c.Text, set, error));
        EXPECT_EQ(error.Fault, c.Fault) << Said(error);
        EXPECT_EQ(error.Field, c.Field);
        EXPECT_EQ(set.Device.Type, 77); // untouched
    }

    // A syntax fault is told by line and column, counted in bytes.
    TParameterSet set;
    TSetError error;
    EXPECT_FALSE(ParseParameterSet("{\n  \"format\": x\n}", set, error));
    EXPECT_EQ(error.Fault, TSetFault::NotJson);
    EXPECT_EQ(error.Place.Line, 2u);
    EXPECT_EQ(error.Place.Column, 13u);

    TTempDir dir;
    const std::string big = dir.Write("big.json", std::string(10 * 1024 * 1024, ' '));
    EXPECT_FALSE(ReadParameterSetFile(big, set, error));
    EXPECT_EQ(error.Fault, TSetFault::TooLarge);
    EXPECT_FALSE(ReadParameterSetFile(dir.File("missing.json"), set, error));
    EXPECT_EQ(error.Fault, TSetFault::NotReadable);
    EXPECT_EQ(error.Errno, ENOENT);
    // A folder (Windows refuses to open one: "Permission denied"), and a pipe nobody writes,
    // which must not hold the window's thread.
    EXPECT_FALSE(ReadParameterSetFile(dir.File(""), set, error));
    EXPECT_TRUE(error.Fault == TSetFault::NotRegularFile || error.Fault == TSetFault::NotReadable)
        << Said(error);
#ifndef _WIN32
    ASSERT_EQ(mkfifo(dir.File("pipe.json").c_str(), 0600), 0);
    EXPECT_FALSE(ReadParameterSetFile(dir.File("pipe.json"), set, error));
    EXPECT_EQ(error.Fault, TSetFault::NotRegularFile);
#endif
    EXPECT_FALSE(ParseParameterSet(SetText() + std::string(1, '\0'), set, error));
    EXPECT_EQ(error.Place.Column, SetText().size() + 1);
}

TEST(ParameterSetTest, ASetIsCheckedAgainstTheListBeforeAnythingChanges)
{
    TParameterSet set;
    TSetError error;
    ASSERT_TRUE(ParseParameterSet(SetText(), set, error)) << Said(error);
    const std::vector<ParameterDescription> list = List();
    TSetPlan plan;
    plan.Values = {{0, 1}};

    EXPECT_FALSE(PlanParameterSet(set, 24, list, plan, error));
    EXPECT_EQ(error.Fault, TSetFault::OtherType);
    EXPECT_EQ(error.Value, 9);
    EXPECT_EQ(error.Limit, 24);
    EXPECT_TRUE(plan.Values.empty());

    // A raw value that passes the limits of the parameter it is loaded into.
    set.Parameters[1].Raw = 2000;
    EXPECT_FALSE(PlanParameterSet(set, 9, list, plan, error));
    EXPECT_EQ(error.Fault, TSetFault::AboveMaximum);
    EXPECT_EQ(error.Field, "Скорость обмена, кбит/с");
    EXPECT_EQ(error.Value, 2000);
    EXPECT_EQ(error.Limit, 1152);
    set.Parameters[1].Raw = 0;
    EXPECT_FALSE(PlanParameterSet(set, 9, list, plan, error));
    EXPECT_EQ(error.Fault, TSetFault::BelowMinimum);
    EXPECT_TRUE(plan.Values.empty());
    set.Parameters[1].Raw = 192;

    // Another firmware's list: what it lacks is named and skipped; the flag row whatever its
    // raw value, never loaded.
    std::vector<ParameterDescription> older = list;
    older.erase(older.begin() + 1);
    set.Parameters[3].Raw = 7;
    ASSERT_TRUE(PlanParameterSet(set, 9, older, plan, error)) << Said(error);
    EXPECT_EQ(plan.Skipped, std::vector<std::string>{"Скорость обмена, кбит/с"});
    EXPECT_EQ(plan.Values, (std::vector<std::pair<size_t, int32_t>>{{0, 12}}));
}

TEST(ParameterSetTest, AHandWrittenSetNeedsOnlyWhatItApplies)
{
    const std::string minimal = R"({"format": "linvar-parameter-set", "format_version": 1,
        "type": 9, "parameters": [{"index": 2, "raw": 120}, {"index": 99, "raw": 5}]})";
    TParameterSet set;
    TSetError error;
    ASSERT_TRUE(ParseParameterSet(minimal, set, error)) << Said(error);
    TSetPlan plan;
    ASSERT_TRUE(PlanParameterSet(set, 9, List(), plan, error)) << Said(error);
    EXPECT_EQ(plan.Values, (std::vector<std::pair<size_t, int32_t>>{{1, 120}}));
    EXPECT_EQ(plan.Skipped, std::vector<std::string>{"99"}); // no name: named by its index

    // A member for people that is there is still checked.
    const std::pair<std::string, std::string> wrong[] = {
        {R"("type": 9,)", R"("type": 9, "address": 200,)"},
        {R"("type": 9,)", R"("type": 9, "name": 9,)"},
        {R"("type": 9,)", R"("type": 9, "read_at": null,)"},
        {R"("raw": 120)", R"("raw": 120, "divisor": "10")"},
        {R"("raw": 120)", R"("raw": 120, "value": "12")"},
        {R"("raw": 120)", R"("raw": 120, "name": ["x"])"},
    };
    for (const auto &[what, replace] : wrong) {
        std::string text = minimal;
        text.replace(text.find(what), what.size(), replace);
        EXPECT_FALSE(ParseParameterSet(text, set, error)) << replace;
        EXPECT_NE(error.Fault, TSetFault::MissingField) << replace;
    }
}

TEST(ParameterSetTest, ShownValuesIgnoreTheCLocale)
{
    // Qt sets the C locale from the desktop: a Russian one reads and writes a decimal comma.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool russian = false;
    for (const char *name : {"ru_RU.UTF-8", "ru_RU.utf8", "Russian_Russia.1251", "ru-RU"})
        russian = russian || std::setlocale(LC_NUMERIC, name) != nullptr;
    if (!russian)
        GTEST_SKIP() << "no Russian locale here";
    const std::string text = JsonText(ParameterSetDocument(Device, List()));
    const TJson shown = ShownValue(7, 2000000);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_NE(text.find(R"("raw":96,"value":9.6})"), std::string::npos) << text;
    EXPECT_EQ(shown, 0.0000035);
}

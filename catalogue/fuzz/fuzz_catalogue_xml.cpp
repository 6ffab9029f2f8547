// Fuzz target: any bytes as a document, then path queries and catalogue questions on it,
// each answer checked against a plain walk over the tree.
// Input layout: flags byte, choice byte, path length byte, that many path bytes, the
// document. Flags: bit 0 reads with spPreserve, bit 1 asks the catalogue questions. Choice:
// which device entry the questions are about (low four bits) and which version of its list
// (bits 4..6 the item, bit 7 the high end of a range), so that real entries are matched.

#include "catalogue/fuzz/fuzz_catalogue_xml.h"

#include "catalogue/CatalogueNames.h"
#include "catalogue/DeviceCatalogue.h"
#include "catalogue/USimpleXMLParser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

TFuzzCatalogueReach Reach;

// Stops the run at a broken promise: libFuzzer keeps the input, a test run fails.
void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_catalogue_xml: %s\n", what);
        __builtin_trap();
    }
}

// Walks the whole tree without recursion and checks what every parsed tree must hold.
void CheckTree(const TSimpleXMLNavigator &nav)
{
    const TTagItem *root = nav.Root();
    if (!root) {
        Check(!nav.Current(), "a navigator without a tree has a current element");
        return;
    }
    Check(root->Next == nullptr, "the root element has a sibling");
    std::vector<const TNodeItem *> pending{root};
    while (!pending.empty()) {
        const TNodeItem *node = pending.back();
        pending.pop_back();
        for (; node; node = NextNode(node)) {
            if (node->Kind == NODE_TEXT) {
                Check(!static_cast<const TTextItem *>(node)->Text.empty(), "an empty text node");
                continue;
            }
            Check(node->Kind == NODE_TAG, "a node of no kind");
            const auto *tag = static_cast<const TTagItem *>(node);
            Check(!tag->Name.empty(), "an element without a name");
            for (const TAttrItem *attr = tag->Attrs; attr; attr = attr->Next) {
                Check(!attr->Name.empty(), "an attribute without a name");
            }
            if (tag->Child) {
                pending.push_back(tag->Child);
            }
        }
    }
}

// The plain walk: element children of `parent` with that name ("*": all), in order.
std::vector<const TTagItem *> Children(const TTagItem *parent, std::string_view name)
{
    std::vector<const TTagItem *> found;
    for (const TNodeItem *node = parent ? parent->Child : nullptr; node; node = NextNode(node)) {
        const auto *tag = static_cast<const TTagItem *>(node);
        if (node->Kind == NODE_TAG && (name == "*" || tag->Name == name)) {
            found.push_back(tag);
        }
    }
    return found;
}

std::string Attribute(const TTagItem *tag, std::string_view name)
{
    for (const TAttrItem *attr = tag->Attrs; attr; attr = attr->Next) {
        if (attr->Name == name) {
            return std::string(attr->Value);
        }
    }
    return {};
}

// A signed decimal integer of 32 bits, written the plain way.
bool PlainInt(const std::string &text, int32_t &value)
{
    size_t i = text.size() > 1 && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (int64_t(1) << 31)) {
            return false;
        }
    }
    const int64_t signedValue = text[0] == '-' ? -magnitude : magnitude;
    if (signedValue > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(signedValue);
    return true;
}

int32_t PlainIntOrZero(const std::string &text)
{
    int32_t value = 0;
    return PlainInt(text, value) ? value : 0;
}

uint16_t PlainWordOrZero(const std::string &text)
{
    const int32_t value = PlainIntOrZero(text);
    return value >= 0 && value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

bool HasType(const TTagItem *entry, uint16_t type)
{
    int32_t code = 0;
    return PlainInt(Attribute(entry, CatalogueNames().Type), code) && code == type;
}

// Lookups by index in the orders the catalogue and the window make them, past the end too,
// must find what the plain walk finds: the navigator's memory of earlier lookups must never
// show in its answers.
void CheckLookups(TSimpleXMLParser &parser, const std::string &prefix,
                  const std::vector<const TTagItem *> &expected)
{
    const int n = static_cast<int>(expected.size());
    std::vector<int> order;
    for (int i = 0; i <= n + 1; ++i) {
        order.push_back(i);
    }
    for (int i = n + 1; i >= 0; --i) {
        order.push_back(i);
    }
    for (const int i : order) {
        const TTagItem *before = parser.Current();
        const bool selected = parser.SelectNode(prefix + "[" + std::to_string(i) + "]");
        Check(selected == (i < n), "a lookup by index disagrees with the plain walk");
        Check(parser.Current() == (i < n ? expected[i] : before),
              "a lookup by index selected another element");
    }
}

// Version `choice` names in an entry's version list: an item, and the low or high end of it.
uint16_t ChosenVersion(const std::string &list, uint8_t choice)
{
    std::vector<std::string> items;
    size_t from = 0;
    while (from <= list.size()) {
        const size_t comma = std::min(list.find(',', from), list.size());
        items.push_back(list.substr(from, comma - from));
        from = comma + 1;
    }
    const std::string &item = items[((choice >> 4) & 7) % items.size()];
    const size_t dash = item.find('-');
    if (dash == std::string::npos) {
        return ParseVersion(item);
    }
    return ParseVersion(choice & 0x80 ? item.substr(dash + 1) : item.substr(0, dash));
}

void CheckCatalogue(uint8_t choice)
{
    TSimpleXMLParser &parser = CatalogueParser();
    const TCatalogueNames &names = CatalogueNames();
    const std::vector<const TTagItem *> entries = Children(parser.Root(), names.Device);
    CheckLookups(parser, "/" + names.Device, entries);
    CheckLookups(parser, "/*", Children(parser.Root(), "*"));
    Check(parser.CountNodes("/" + names.Device) == static_cast<int>(entries.size()),
          "the count of device entries disagrees with the plain walk");

    uint16_t type = choice;
    uint16_t version = 150;
    if (!entries.empty()) {
        const TTagItem *entry = entries[(choice & 0x0F) % entries.size()];
        type = static_cast<uint16_t>(PlainIntOrZero(Attribute(entry, names.Type)));
        version = ChosenVersion(Attribute(entry, names.Versions), choice);
    }

    // Type names: the entries' names, a later one renaming an earlier code in place.
    LoadTypeNames();
    if (!entries.empty()) {
        std::vector<TDeviceTypeName> table;
        for (const TTagItem *entry : entries) {
            int32_t code = 0;
            if (!PlainInt(Attribute(entry, names.Type), code) || code < 0 || code > 0xFFFF) {
                continue;
            }
            TDeviceTypeName pair{static_cast<uint16_t>(code), Attribute(entry, names.Name)};
            bool renamed = false;
            for (TDeviceTypeName &known : table) {
                if (known.Code == pair.Code) {
                    known.Name = pair.Name;
                    renamed = true;
                    break;
                }
            }
            if (!renamed) {
                table.push_back(pair);
            }
        }
        Check(table.size() == DeviceTypeNames.size(), "the type-name table has another size");
        for (size_t i = 0; i < table.size(); ++i) {
            Check(table[i].Code == DeviceTypeNames[i].Code &&
                      table[i].Name == DeviceTypeNames[i].Name,
                  "the type-name table disagrees with the plain walk");
        }
    }

    // The device's entry: the first of its type whose list holds the version; offered only
    // when that list is not empty, by the first such entry.
    bool offered = false;
    const TTagItem *chosen = nullptr;
    for (const TTagItem *entry : entries) {
        const std::string versions = Attribute(entry, names.Versions);
        if (!HasType(entry, type) || !VersionInList(versions, version)) {
            continue;
        }
        offered = offered || !versions.empty();
        if (!chosen) {
            chosen = entry;
        }
    }
    Check(GoDeviceParams(type, version) == offered, "GoDeviceParams disagrees with the walk");
    FormDeviceParam(type, version);
    std::vector<ParameterDescription> rows;
    for (const TTagItem *tag : Children(chosen, names.Parameter)) {
        if (!VersionInList(Attribute(tag, names.Versions), version)) {
            continue;
        }
        ParameterDescription &row = rows.emplace_back();
        row.Name = Attribute(tag, names.Name);
        row.Size = Attribute(tag, names.Type);
        row.Index = PlainIntOrZero(Attribute(tag, names.Index));
        row.Divisor = PlainIntOrZero(Attribute(tag, names.Divisor));
        row.Minimum = PlainWordOrZero(Attribute(tag, names.Minimum));
        row.Maximum = PlainWordOrZero(Attribute(tag, names.Maximum));
        row.Default = PlainWordOrZero(Attribute(tag, names.ByDefault));
    }
    Check(rows.size() == DeviceParameters.size(), "FormDeviceParam made another number of rows");
    for (size_t i = 0; i < rows.size(); ++i) {
        const ParameterDescription &a = rows[i];
        const ParameterDescription &b = DeviceParameters[i];
        Check(a.Name == b.Name && a.Size == b.Size && a.Index == b.Index &&
                  a.Divisor == b.Divisor && a.Minimum == b.Minimum && a.Maximum == b.Maximum &&
                  a.Default == b.Default && b.Value == VALUE_UNDEFINED,
              "a row of FormDeviceParam disagrees with the plain walk");
    }
    for (size_t k = 0; chosen && k < entries.size(); ++k) {
        if (entries[k] == chosen) {
            CheckLookups(parser,
                         "/" + names.Device + "[" + std::to_string(k) + "]/" + names.Parameter,
                         Children(chosen, names.Parameter));
        }
    }

    // The listing: every entry whose type is an integer, with its parameter count.
    std::vector<TDeviceEntry> listed = DeviceEntries();
    size_t at = 0;
    for (const TTagItem *entry : entries) {
        int32_t code = 0;
        if (!PlainInt(Attribute(entry, names.Type), code)) {
            continue;
        }
        Check(at < listed.size() && listed[at].Type == code &&
                  listed[at].Name == Attribute(entry, names.Name) &&
                  listed[at].Versions == Attribute(entry, names.Versions) &&
                  listed[at].Parameters ==
                      static_cast<int>(Children(entry, names.Parameter).size()),
              "DeviceEntries disagrees with the plain walk");
        ++at;
    }
    Check(at == listed.size(), "DeviceEntries lists another number of entries");

    Reach.Offered = Reach.Offered || offered;
    Reach.Rows = std::max(Reach.Rows, rows.size());
}

} // namespace

TFuzzCatalogueReach FuzzCatalogueReach()
{
    return Reach;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    const uint8_t flags = data[0];
    const uint8_t choice = data[1];
    size_t pathSize = data[2];
    data += 3;
    size -= 3;
    if (pathSize > size) {
        pathSize = size;
    }
    const std::string path(reinterpret_cast<const char *>(data), pathSize);
    const std::string document(reinterpret_cast<const char *>(data + pathSize), size - pathSize);

    TSimpleXMLParser parser;
    parser.SetSpaces((flags & 1) ? spPreserve : spStrip);
    const bool ok = parser.Parse(document);
    Check(ok == (parser.Root() != nullptr), "Parse's result and the tree disagree");
    Check(parser.Text() == document, "Text is not the text parsed");
    CheckTree(parser);
    Reach.Parsed = Reach.Parsed || ok;

    const int count = parser.CountNodes(path);
    Check(count >= 0, "a negative count");
    const bool selected = parser.SelectNode(path);
    Check(!selected || count > 0, "an element selected that was not counted");
    (void)parser.GetAttribute(path);
    for (const char *fixed : {"/*", "*", "", "/", "/a[1]/*", "a/b[0]/c", "/*[2]/*"}) {
        (void)parser.CountNodes(fixed);
        if (parser.SelectNode(fixed)) {
            (void)parser.GetAttribute("a");
        }
    }

    if (flags & 2) {
        // The same document as the process-wide catalogue.
        CatalogueParser().SetSpaces(spStrip);
        if (CatalogueParser().Parse(document)) {
            CheckCatalogue(choice);
        }
        (void)VersionInList(path, 150);
        (void)ParseVersion(path);
    }
    return 0;
}

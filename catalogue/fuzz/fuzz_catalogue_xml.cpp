// Fuzz target: any bytes as a document, then path queries and catalogue questions on it.
// Input layout: flags byte, path length byte, that many path bytes, the document.

#include "DeviceCatalogue.h"
#include "USimpleXMLParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

// Walks the whole tree without recursion and checks what every parsed tree must hold.
void CheckTree(const TSimpleXMLNavigator &nav)
{
    const TTagItem *root = nav.Root();
    if (!root) {
        Check(!nav.Current());
        return;
    }
    Check(root->Next == nullptr);
    std::vector<const TNodeItem *> pending{root};
    while (!pending.empty()) {
        const TNodeItem *node = pending.back();
        pending.pop_back();
        for (; node; node = NextNode(node)) {
            if (node->Kind == NODE_TEXT) {
                Check(!static_cast<const TTextItem *>(node)->Text.empty());
                continue;
            }
            Check(node->Kind == NODE_TAG);
            const auto *tag = static_cast<const TTagItem *>(node);
            Check(!tag->Name.empty());
            for (const TAttrItem *attr = tag->Attrs; attr; attr = attr->Next) {
                Check(!attr->Name.empty());
            }
            if (tag->Child) {
                pending.push_back(tag->Child);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const uint8_t flags = data[0];
    size_t pathSize = data[1];
    data += 2;
    size -= 2;
    if (pathSize > size) {
        pathSize = size;
    }
    const std::string path(reinterpret_cast<const char *>(data), pathSize);
    const std::string document(reinterpret_cast<const char *>(data + pathSize), size - pathSize);

    TSimpleXMLParser parser;
    parser.SetSpaces((flags & 1) ? spPreserve : spStrip);
    const bool ok = parser.Parse(document);
    Check(ok == (parser.Root() != nullptr));
    Check(parser.Text() == document);
    CheckTree(parser);

    const int count = parser.CountNodes(path);
    Check(count >= 0);
    const bool selected = parser.SelectNode(path);
    Check(!selected || count > 0);
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
            LoadTypeNames();
            const uint16_t type = flags >> 2;
            (void)GoDeviceParams(type, 150);
            FormDeviceParam(type, 150);
            (void)VersionInList(path, 150);
            (void)ParseVersion(path);
        }
    }
    return 0;
}

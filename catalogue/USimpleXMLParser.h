#pragma once
// A small non-validating XML reader of 8-bit text and the path navigator over its tree.
// The reader keeps the source text; element names, attribute names and values are views
// into it, and only element text that had to be rewritten (collapsed whitespace, decoded
// entities) gets storage of its own.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/TextPlace.h"

// Plain owner base: remembers who owns the object and carries a name and a tag.
// It does not manage the owned object's lifetime; the owner keeps the instance itself.
class TComponent
{
public:
    // Creates the object for `owner` (may be null).
    explicit TComponent(TComponent *owner = nullptr) : FOwner(owner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent &) = delete;
    TComponent &operator=(const TComponent &) = delete;

    // The owner given at construction.
    TComponent *Owner() const { return FOwner; }

    std::string Name; // the component's name, free text
    intptr_t Tag = 0; // free value for the owner's use

private:
    TComponent *FOwner;
};

// How whitespace in element text is treated.
enum TSpaces : uint8_t
{
    spPreserve = 0, // keep inner runs of whitespace
    spStrip = 1     // drop leading/trailing whitespace, reduce inner runs to one character
};

// Kind byte of a tree node.
constexpr uint8_t NODE_TAG = 0;
constexpr uint8_t NODE_TEXT = 1;

// Common head of element and text nodes: the Kind byte tells which record it is.
struct TNodeItem
{
    uint8_t Kind;
};

struct TAttrItem;

// An element.
struct TTagItem : TNodeItem
{
    std::string_view Name;      // never empty
    TNodeItem *Child = nullptr; // first child node (element or text)
    TAttrItem *Attrs = nullptr; // first attribute, in document order
    TNodeItem *Next = nullptr;  // next sibling node
};

// A run of character data between markup.
struct TTextItem : TNodeItem
{
    std::string_view Text;     // never empty
    TNodeItem *Next = nullptr; // next sibling node
};

// One attribute of an element.
struct TAttrItem
{
    std::string_view Name;     // never empty
    std::string_view Value;    // verbatim, may be empty
    TAttrItem *Next = nullptr; // next attribute of the same element
};

// Next sibling of any node, whatever its kind.
inline TNodeItem *NextNode(const TNodeItem *node)
{
    return node->Kind == NODE_TAG ? static_cast<const TTagItem *>(node)->Next
                                  : static_cast<const TTextItem *>(node)->Next;
}

// Holds a document tree and answers path questions about it.
class TSimpleXMLNavigator : public TComponent
{
public:
    // Creates an empty navigator: no document.
    explicit TSimpleXMLNavigator(TComponent *owner = nullptr);
    ~TSimpleXMLNavigator() override;

    // Top-level element, or null when there is no document.
    TTagItem *Root() const { return FRoot; }
    // Current element, or null exactly when there is no document.
    TTagItem *Current() const { return FCurrent; }

    // Resolves a path to an element (or null); also tells the last step's name and whether
    // it carried a bracketed index. Never throws.
    TTagItem *FindNode(std::string_view path, std::string_view *lastName = nullptr,
                       bool *hadIndex = nullptr) const;
    // Number of elements the path's last step matches among their siblings; 0 if none.
    int CountNodes(std::string_view path) const;
    // Makes the element at the path current; false (and Current unchanged) if none.
    bool SelectNode(std::string_view path);
    // Value of the current element's first attribute of that name, or "".
    std::string GetAttribute(std::string_view name) const;

    // Releases the whole tree; Root and Current become empty.
    void FreeTree();

protected:
    // Node storage for the parser: nodes live until FreeTree.
    TTagItem *NewTag();
    TTextItem *NewText();
    TAttrItem *NewAttr();
    // Keeps a rewritten text alive until FreeTree and returns a view of it.
    std::string_view KeepText(std::string &&text);

    TTagItem *FRoot = nullptr;
    TTagItem *FCurrent = nullptr;

private:
    void *Allocate(size_t size);

    // Nodes are carved from large blocks: a catalogue has many small nodes, and releasing
    // blocks instead of nodes keeps FreeTree free of recursion and cheap at any depth.
    std::vector<std::unique_ptr<std::byte[]>> Blocks;
    std::byte *BlockPos = nullptr;
    size_t BlockLeft = 0;
    std::deque<std::string> Texts;

    // What the last lookups at each path depth learnt about one parent's children of one
    // name. The catalogue asks for element 0, 1, 2, ... of the same parent in turn, and keeps
    // asking past the last one; resuming after the previous answer, and knowing how many
    // there are once a walk has reached the end of the chain, keeps that walk linear instead
    // of quadratic, whether lookups find something or not. Cleared with the tree, whose
    // nodes it points into.
    struct TStepMemo
    {
        const TTagItem *Parent = nullptr;
        std::string Name;
        int32_t Index = 0;         // index of Found among the matches
        TTagItem *Found = nullptr; // last element found, or null
        int32_t Total = -1;        // number of matches, once a walk has counted them all
    };
    static constexpr size_t MemoDepth = 4;
    mutable TStepMemo Memo[MemoDepth];
};

// The reader: turns one whole document into the navigator's tree.
class TCustomXMLParser : public TSimpleXMLNavigator
{
public:
    // Creates a parser with no document and Spaces = spStrip.
    explicit TCustomXMLParser(TComponent *owner = nullptr);
    ~TCustomXMLParser() override;

    // Discards the previous tree and builds a new one from `text`; false on any malformed
    // input, leaving no tree. The text is kept and returned by Text() either way.
    virtual bool Parse(std::string text);
    // Releases the tree and forgets the source text.
    void Clear();

    // Source text last given to Parse.
    const std::string &Text() const { return FText; }
    // Where the last Parse stopped: just past the document, or where a malformed one stopped
    // making sense.
    TTextPlace StopPlace() const { return TextPlaceAt(FText, Pos); }
    // Whitespace treatment of element text.
    TSpaces Spaces() const { return FSpaces; }
    // Sets the whitespace treatment for later parses.
    void SetSpaces(TSpaces spaces) { FSpaces = spaces; }

protected:
    std::string FText;
    size_t Pos = 0; // index of the next character to read (0-based)
    TSpaces FSpaces = spStrip;
};

// The parser component the program uses.
class TSimpleXMLParser : public TCustomXMLParser
{
public:
    // Creates a parser with no document and Spaces = spStrip.
    explicit TSimpleXMLParser(TComponent *owner = nullptr) : TCustomXMLParser(owner) {}
};

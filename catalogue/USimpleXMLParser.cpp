// The XML reader: one forward pass over the source text, one character at a time.

#include "catalogue/USimpleXMLParser.h"

#include <cstring>
#include <utility>

namespace {

inline bool IsSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

enum class TToken : uint8_t
{
    None,     // end of text, or an unexpected character (then the error flag is set)
    Open,     // "<"
    OpenEnd,  // "</"
    Close,    // ">"
    EmptyEnd, // "/>"
    Slash,    // "/" not followed by ">"
    Equals    // "="
};

struct TEntity
{
    const char *Text;
    size_t Size;
    char Value;
};

// Tried in this order; each only when enough text remains for the whole name.
constexpr TEntity Entities[] = {
    {"&quot;", 6, '"'}, {"&amp;", 5, '&'}, {"&apos;", 6, '\''},
    {"&gt;", 4, '>'},   {"&lt;", 4, '<'},  {"&slash;", 7, '/'},
};

// Working state of one parse.
class TReader
{
public:
    TReader(const char *begin, const char *end, TSpaces spaces)
        : Cursor(begin), End(end), Spaces(spaces)
    {
    }

    const char *Cursor;
    const char *End;
    TSpaces Spaces;
    bool Failed = false;
    std::string Scratch;

    void SkipSpaces()
    {
        while (Cursor < End && IsSpace(*Cursor)) {
            ++Cursor;
        }
    }

    // Moves past the character at the cursor and the blanks after it, then past `second` where
    // it follows: true for a two-character token ("</", "/>"), blanks allowed between.
    bool TakePair(char second)
    {
        ++Cursor;
        SkipSpaces();
        if (Cursor < End && *Cursor == second) {
            ++Cursor;
            return true;
        }
        return false;
    }

    TToken ReadToken()
    {
        SkipSpaces();
        if (Cursor >= End) {
            return TToken::None;
        }
        switch (*Cursor) {
        case '<':
            return TakePair('/') ? TToken::OpenEnd : TToken::Open;
        case '>':
            ++Cursor;
            SkipSpaces();
            return TToken::Close;
        case '/':
            return TakePair('>') ? TToken::EmptyEnd : TToken::Slash;
        case '=':
            ++Cursor;
            return TToken::Equals;
        default:
            Failed = true;
            return TToken::None;
        }
    }

    // Moves past a bare word (a tag name or an unquoted value), which ends at a blank, '/'
    // or '>'; false (with the error flag set) at the end of the text or on a quote, '<'
    // or '='.
    bool SkipBareWord()
    {
        while (true) {
            if (Cursor >= End) {
                Failed = true;
                return false;
            }
            const char c = *Cursor;
            if (IsSpace(c) || c == '/' || c == '>') {
                return true;
            }
            if (c == '"' || c == '\'' || c == '<' || c == '=') {
                Failed = true;
                return false;
            }
            ++Cursor;
        }
    }

    // Name of a start or end tag; empty (with the error flag set) on a bad character.
    std::string_view ReadElementName()
    {
        SkipSpaces();
        const char *start = Cursor;
        if (!SkipBareWord()) {
            return {};
        }
        return {start, static_cast<size_t>(Cursor - start)};
    }

    // Attribute name; empty without error when the tag's attribute list ends here.
    std::string_view ReadAttrName()
    {
        SkipSpaces();
        const char *start = Cursor;
        while (true) {
            if (Cursor >= End) {
                Failed = true;
                return {};
            }
            const char c = *Cursor;
            if (IsSpace(c) || c == '=') {
                break;
            }
            if (c == '/' || c == '>') {
                if (Cursor != start) {
                    Failed = true;
                }
                return {};
            }
            if (c == '"' || c == '\'' || c == '<') {
                Failed = true;
                return {};
            }
            ++Cursor;
        }
        return {start, static_cast<size_t>(Cursor - start)};
    }

    // Attribute value, quoted or not, taken verbatim (no entities).
    std::string_view ReadAttrValue()
    {
        SkipSpaces();
        if (Cursor >= End) {
            Failed = true;
            return {};
        }
        const char quote = *Cursor;
        if (quote == '"' || quote == '\'') {
            const char *start = Cursor + 1;
            const void *close = std::memchr(start, quote, static_cast<size_t>(End - start));
            if (!close) {
                Failed = true;
                return {};
            }
            Cursor = static_cast<const char *>(close) + 1;
            return {start, static_cast<size_t>(Cursor - 1 - start)};
        }
        const char *start = Cursor;
        if (!SkipBareWord()) {
            return {};
        }
        if (Cursor == start) {
            Failed = true;
            return {};
        }
        return {start, static_cast<size_t>(Cursor - start)};
    }

    // Decodes the entity at Cursor (an ampersand) and moves past it; sets the error flag when
    // it is not one of ours.
    char ReadEntity()
    {
        const size_t left = static_cast<size_t>(End - Cursor);
        for (const TEntity &entity : Entities) {
            if (entity.Size <= left && std::memcmp(Cursor, entity.Text, entity.Size) == 0) {
                Cursor += entity.Size;
                return entity.Value;
            }
        }
        Failed = true;
        return 0;
    }

    // Element text up to the next less-than sign. The text is a view of the source while it
    // is a plain slice of it; the first rewrite (a dropped blank, a decoded entity) moves it
    // to Scratch, and `copied` says so.
    std::string_view ReadText(bool &copied)
    {
        copied = false;
        if (Spaces == spStrip) {
            SkipSpaces();
        }
        const char *start = Cursor;
        // Switches from a source slice to Scratch before the first rewrite.
        auto detach = [&] {
            if (!copied) {
                Scratch.assign(start, Cursor);
                copied = true;
            }
        };
        auto append = [&](char c) {
            if (copied) {
                Scratch.push_back(c);
            }
        };
        auto lastIsSpace = [&] {
            if (copied) {
                return !Scratch.empty() && IsSpace(Scratch.back());
            }
            return Cursor > start && IsSpace(Cursor[-1]);
        };
        while (Cursor < End && !Failed) {
            const char c = *Cursor;
            if (c == '<') {
                if (lastIsSpace()) {
                    if (copied) {
                        Scratch.pop_back();
                    } else {
                        return {start, static_cast<size_t>(Cursor - 1 - start)};
                    }
                }
                break;
            }
            if (IsSpace(c) && Spaces == spStrip) {
                if (lastIsSpace()) {
                    detach();
                } else {
                    append(c);
                }
                ++Cursor;
                continue;
            }
            if (c == '"' || c == '\'') {
                // A quoted run is copied verbatim up to its closing quote, except entities.
                append(c);
                ++Cursor;
                while (true) {
                    if (Cursor >= End) {
                        Failed = true;
                        break;
                    }
                    const char q = *Cursor;
                    if (q == '&') {
                        detach();
                        const char value = ReadEntity();
                        if (Failed) {
                            break;
                        }
                        Scratch.push_back(value);
                        continue;
                    }
                    append(q);
                    ++Cursor;
                    if (q == c) {
                        break;
                    }
                }
                continue;
            }
            if (c == '>') {
                Failed = true;
                break;
            }
            if (c == '&') {
                detach();
                const char value = ReadEntity();
                if (!Failed) {
                    Scratch.push_back(value);
                }
                continue;
            }
            append(c);
            ++Cursor;
        }
        if (copied) {
            return Scratch;
        }
        return {start, static_cast<size_t>(Cursor - start)};
    }
};

enum class TState : uint8_t
{
    ElementStart,
    Attributes,
    Content,
    EndTag
};

} // namespace

TCustomXMLParser::TCustomXMLParser(TComponent *owner) : TSimpleXMLNavigator(owner) {}

TCustomXMLParser::~TCustomXMLParser() = default;

void TCustomXMLParser::Clear()
{
    FreeTree();
    FText.clear();
    Pos = 0;
}

bool TCustomXMLParser::Parse(std::string text)
{
    FreeTree();
    FText = std::move(text);
    Pos = 0;

    const char *begin = FText.data();
    TReader r(begin, begin + FText.size(), FSpaces);
    std::vector<TTagItem *> stack; // open elements, innermost last
    TNodeItem *last = nullptr;     // the next node is linked after this one
    TAttrItem *lastAttr = nullptr; // tail of the current element's attribute chain

    auto fail = [&] {
        Pos = static_cast<size_t>(r.Cursor - begin);
        FreeTree();
        return false;
    };
    auto succeed = [&] {
        Pos = static_cast<size_t>(r.Cursor - begin);
        FCurrent = FRoot;
        return true;
    };
    auto link = [&](TNodeItem *node) {
        if (last) {
            if (last->Kind == NODE_TAG) {
                static_cast<TTagItem *>(last)->Next = node;
            } else {
                static_cast<TTextItem *>(last)->Next = node;
            }
        } else if (!stack.empty()) {
            stack.back()->Child = node;
        }
        last = node;
    };

    r.SkipSpaces();
    // An XML declaration: skipped up to the first "?>" in the whole text.
    if (r.End - r.Cursor >= 2 && r.Cursor[0] == '<' && r.Cursor[1] == '?') {
        const size_t close = FText.find("?>");
        if (close != std::string::npos) {
            r.Cursor = begin + close + 2;
            r.SkipSpaces();
        }
    }
    // One comment or document type declaration before the root, ending at its first ">".
    if (r.End - r.Cursor >= 2 && r.Cursor[0] == '<' && r.Cursor[1] == '!') {
        const void *close = std::memchr(r.Cursor, '>', static_cast<size_t>(r.End - r.Cursor));
        if (close) {
            r.Cursor = static_cast<const char *>(close) + 1;
            r.SkipSpaces();
        }
    }
    if (r.Cursor >= r.End || *r.Cursor != '<') {
        return fail();
    }
    ++r.Cursor;

    TState state = TState::ElementStart;
    while (true) {
        switch (state) {
        case TState::ElementStart: {
            const std::string_view name = r.ReadElementName();
            if (name.empty()) {
                return fail();
            }
            TTagItem *tag = NewTag();
            tag->Name = name;
            if (!FRoot) {
                FRoot = tag;
                FCurrent = tag;
            }
            link(tag);
            lastAttr = nullptr;
            state = TState::Attributes;
            break;
        }
        case TState::Attributes: {
            const std::string_view name = r.ReadAttrName();
            if (r.Failed) {
                return fail();
            }
            auto *tag = static_cast<TTagItem *>(last);
            if (!name.empty()) {
                if (r.ReadToken() != TToken::Equals) {
                    return fail();
                }
                const std::string_view value = r.ReadAttrValue();
                if (r.Failed) {
                    return fail();
                }
                TAttrItem *attr = NewAttr();
                attr->Name = name;
                attr->Value = value;
                if (lastAttr) {
                    lastAttr->Next = attr;
                } else {
                    tag->Attrs = attr;
                }
                lastAttr = attr;
                break;
            }
            const TToken token = r.ReadToken();
            if (token == TToken::Close) {
                stack.push_back(tag);
                last = nullptr;
                state = TState::Content;
            } else if (token == TToken::EmptyEnd) {
                if (stack.empty()) {
                    return succeed();
                }
                state = TState::Content;
            } else {
                return fail();
            }
            break;
        }
        case TState::Content: {
            bool copied = false;
            const std::string_view text = r.ReadText(copied);
            if (r.Failed) {
                return fail();
            }
            if (!text.empty()) {
                TTextItem *item = NewText();
                item->Text = copied ? KeepText(std::move(r.Scratch)) : text;
                r.Scratch.clear();
                link(item);
            }
            const TToken token = r.ReadToken();
            if (token == TToken::Open) {
                state = TState::ElementStart;
            } else if (token == TToken::OpenEnd) {
                state = TState::EndTag;
            } else {
                return fail();
            }
            break;
        }
        case TState::EndTag: {
            const std::string_view name = r.ReadElementName();
            if (name.empty() || stack.empty() || stack.back()->Name != name) {
                // A mismatched end tag is told at its name, not past it.
                if (!name.empty()) {
                    r.Cursor = name.data();
                }
                return fail();
            }
            if (r.ReadToken() != TToken::Close) {
                return fail();
            }
            last = stack.back();
            stack.pop_back();
            if (stack.empty()) {
                return succeed();
            }
            state = TState::Content;
            break;
        }
        }
    }
}

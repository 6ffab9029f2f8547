// The XML reader: one forward pass over the source text, one character at a time.

#include "USimpleXMLParser.h"

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
    const char *text;
    size_t size;
    char value;
};

// Tried in this order; each only when enough text remains for the whole name.
constexpr TEntity ENTITIES[] = {
    {"&quot;", 6, '"'}, {"&amp;", 5, '&'}, {"&apos;", 6, '\''},
    {"&gt;", 4, '>'},   {"&lt;", 4, '<'},  {"&slash;", 7, '/'},
};

// Working state of one parse.
class TReader
{
public:
    TReader(const char *begin, const char *end, TSpaces spaces)
        : p_(begin), end_(end), spaces_(spaces)
    {
    }

    const char *p_;
    const char *end_;
    TSpaces spaces_;
    bool error_ = false;
    std::string scratch_;

    void SkipSpaces()
    {
        while (p_ < end_ && IsSpace(*p_)) {
            ++p_;
        }
    }

    TToken ReadToken()
    {
        SkipSpaces();
        if (p_ >= end_) {
            return TToken::None;
        }
        switch (*p_) {
        case '<':
            ++p_;
            SkipSpaces();
            if (p_ < end_ && *p_ == '/') {
                ++p_;
                return TToken::OpenEnd;
            }
            return TToken::Open;
        case '>':
            ++p_;
            SkipSpaces();
            return TToken::Close;
        case '/':
            ++p_;
            SkipSpaces();
            if (p_ < end_ && *p_ == '>') {
                ++p_;
                return TToken::EmptyEnd;
            }
            return TToken::Slash;
        case '=':
            ++p_;
            return TToken::Equals;
        default:
            error_ = true;
            return TToken::None;
        }
    }

    // Moves past a bare word (a tag name or an unquoted value), which ends at a blank, '/'
    // or '>'; false (with the error flag set) at the end of the text or on a quote, '<'
    // or '='.
    bool SkipBareWord()
    {
        while (true) {
            if (p_ >= end_) {
                error_ = true;
                return false;
            }
            const char c = *p_;
            if (IsSpace(c) || c == '/' || c == '>') {
                return true;
            }
            if (c == '"' || c == '\'' || c == '<' || c == '=') {
                error_ = true;
                return false;
            }
            ++p_;
        }
    }

    // Name of a start or end tag; empty (with the error flag set) on a bad character.
    std::string_view ReadElementName()
    {
        SkipSpaces();
        const char *start = p_;
        if (!SkipBareWord()) {
            return {};
        }
        return {start, static_cast<size_t>(p_ - start)};
    }

    // Attribute name; empty without error when the tag's attribute list ends here.
    std::string_view ReadAttrName()
    {
        SkipSpaces();
        const char *start = p_;
        while (true) {
            if (p_ >= end_) {
                error_ = true;
                return {};
            }
            const char c = *p_;
            if (IsSpace(c) || c == '=') {
                break;
            }
            if (c == '/' || c == '>') {
                if (p_ != start) {
                    error_ = true;
                }
                return {};
            }
            if (c == '"' || c == '\'' || c == '<') {
                error_ = true;
                return {};
            }
            ++p_;
        }
        return {start, static_cast<size_t>(p_ - start)};
    }

    // Attribute value, quoted or not, taken verbatim (no entities).
    std::string_view ReadAttrValue()
    {
        SkipSpaces();
        if (p_ >= end_) {
            error_ = true;
            return {};
        }
        const char quote = *p_;
        if (quote == '"' || quote == '\'') {
            const char *start = p_ + 1;
            const void *close = std::memchr(start, quote, static_cast<size_t>(end_ - start));
            if (!close) {
                error_ = true;
                return {};
            }
            p_ = static_cast<const char *>(close) + 1;
            return {start, static_cast<size_t>(p_ - 1 - start)};
        }
        const char *start = p_;
        if (!SkipBareWord()) {
            return {};
        }
        if (p_ == start) {
            error_ = true;
            return {};
        }
        return {start, static_cast<size_t>(p_ - start)};
    }

    // Decodes the entity at p_ (an ampersand) and moves past it; sets the error flag when
    // it is not one of ours.
    char ReadEntity()
    {
        const size_t left = static_cast<size_t>(end_ - p_);
        for (const TEntity &entity : ENTITIES) {
            if (entity.size <= left && std::memcmp(p_, entity.text, entity.size) == 0) {
                p_ += entity.size;
                return entity.value;
            }
        }
        error_ = true;
        return 0;
    }

    // Element text up to the next less-than sign. The text is a view of the source while it
    // is a plain slice of it; the first rewrite (a dropped blank, a decoded entity) moves it
    // to scratch_, and `copied` says so.
    std::string_view ReadText(bool &copied)
    {
        copied = false;
        if (spaces_ == spStrip) {
            SkipSpaces();
        }
        const char *start = p_;
        // Switches from a source slice to scratch_ before the first rewrite.
        auto detach = [&] {
            if (!copied) {
                scratch_.assign(start, p_);
                copied = true;
            }
        };
        auto append = [&](char c) {
            if (copied) {
                scratch_.push_back(c);
            }
        };
        auto lastIsSpace = [&] {
            if (copied) {
                return !scratch_.empty() && IsSpace(scratch_.back());
            }
            return p_ > start && IsSpace(p_[-1]);
        };
        while (p_ < end_ && !error_) {
            const char c = *p_;
            if (c == '<') {
                if (lastIsSpace()) {
                    if (copied) {
                        scratch_.pop_back();
                    } else {
                        return {start, static_cast<size_t>(p_ - 1 - start)};
                    }
                }
                break;
            }
            if (IsSpace(c) && spaces_ == spStrip) {
                if (lastIsSpace()) {
                    detach();
                } else {
                    append(c);
                }
                ++p_;
                continue;
            }
            if (c == '"' || c == '\'') {
                // A quoted run is copied verbatim up to its closing quote, except entities.
                append(c);
                ++p_;
                while (true) {
                    if (p_ >= end_) {
                        error_ = true;
                        break;
                    }
                    const char q = *p_;
                    if (q == '&') {
                        detach();
                        const char value = ReadEntity();
                        if (error_) {
                            break;
                        }
                        scratch_.push_back(value);
                        continue;
                    }
                    append(q);
                    ++p_;
                    if (q == c) {
                        break;
                    }
                }
                continue;
            }
            if (c == '>') {
                error_ = true;
                break;
            }
            if (c == '&') {
                detach();
                const char value = ReadEntity();
                if (!error_) {
                    scratch_.push_back(value);
                }
                continue;
            }
            append(c);
            ++p_;
        }
        if (copied) {
            return scratch_;
        }
        return {start, static_cast<size_t>(p_ - start)};
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
    text_.clear();
    pos_ = 0;
}

bool TCustomXMLParser::Parse(std::string text)
{
    FreeTree();
    text_ = std::move(text);
    pos_ = 0;

    const char *begin = text_.data();
    TReader r(begin, begin + text_.size(), spaces_);
    std::vector<TTagItem *> stack; // open elements, innermost last
    TNodeItem *last = nullptr;     // the next node is linked after this one
    TAttrItem *lastAttr = nullptr; // tail of the current element's attribute chain

    auto fail = [&] {
        pos_ = static_cast<size_t>(r.p_ - begin);
        FreeTree();
        return false;
    };
    auto succeed = [&] {
        pos_ = static_cast<size_t>(r.p_ - begin);
        current_ = root_;
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
    if (r.end_ - r.p_ >= 2 && r.p_[0] == '<' && r.p_[1] == '?') {
        const size_t close = text_.find("?>");
        if (close != std::string::npos) {
            r.p_ = begin + close + 2;
            r.SkipSpaces();
        }
    }
    // One comment or document type declaration before the root, ending at its first ">".
    if (r.end_ - r.p_ >= 2 && r.p_[0] == '<' && r.p_[1] == '!') {
        const void *close = std::memchr(r.p_, '>', static_cast<size_t>(r.end_ - r.p_));
        if (close) {
            r.p_ = static_cast<const char *>(close) + 1;
            r.SkipSpaces();
        }
    }
    if (r.p_ >= r.end_ || *r.p_ != '<') {
        return fail();
    }
    ++r.p_;

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
            if (!root_) {
                root_ = tag;
                current_ = tag;
            }
            link(tag);
            lastAttr = nullptr;
            state = TState::Attributes;
            break;
        }
        case TState::Attributes: {
            const std::string_view name = r.ReadAttrName();
            if (r.error_) {
                return fail();
            }
            auto *tag = static_cast<TTagItem *>(last);
            if (!name.empty()) {
                if (r.ReadToken() != TToken::Equals) {
                    return fail();
                }
                const std::string_view value = r.ReadAttrValue();
                if (r.error_) {
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
            if (r.error_) {
                return fail();
            }
            if (!text.empty()) {
                TTextItem *item = NewText();
                item->Text = copied ? KeepText(std::move(r.scratch_)) : text;
                r.scratch_.clear();
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

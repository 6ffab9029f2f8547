// Path navigator over the parsed tree, and the tree's node storage.

#include "USimpleXMLParser.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>

namespace {

constexpr size_t BlockSize = 64 * 1024;

bool IsTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsTrimmed(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsTrimmed(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads a bracketed index: a decimal number with optional blanks around it, a sign, a
// fraction and an exponent, truncated toward zero. False when it is no such number or does
// not fit 32 bits. The decimal separator is always the point, whatever the process locale.
bool ReadIndex(std::string_view s, int32_t &index)
{
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Check the shape first: from_chars also takes "inf", "nan" and other forms we refuse.
    size_t i = 0;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            return false;
        }
    }
    if (i != s.size()) {
        return false;
    }
    double value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small to tell from zero still truncates to 0; too large never fits.
        const size_t e = s.find_first_of("eE");
        if (e == std::string_view::npos || e + 1 >= s.size() || s[e + 1] != '-') {
            return false;
        }
        value = 0;
    } else if (result.ec != std::errc() || result.ptr != s.data() + s.size()) {
        return false;
    }
    value = std::trunc(negative ? -value : value);
    if (!(value >= std::numeric_limits<int32_t>::min() &&
          value <= std::numeric_limits<int32_t>::max())) {
        return false;
    }
    index = static_cast<int32_t>(value);
    return true;
}

// One step of a path: a name and an optional bracketed index.
struct TStep
{
    std::string_view Name;
    int32_t Index = 0;
    bool HasIndex = false;
};

bool ReadStep(std::string_view text, TStep &step)
{
    const size_t bracket = text.find('[');
    if (bracket == std::string_view::npos) {
        step.Name = text;
        step.Index = 0;
        step.HasIndex = false;
        return true;
    }
    if (text.back() != ']' || text.size() - 1 < bracket + 1) {
        return false;
    }
    step.Name = text.substr(0, bracket);
    step.HasIndex = true;
    return ReadIndex(text.substr(bracket + 1, text.size() - 1 - (bracket + 1)), step.Index);
}

bool Matches(const TTagItem *tag, std::string_view name)
{
    return name == "*" || tag->Name == name;
}

} // namespace

TSimpleXMLNavigator::TSimpleXMLNavigator(TComponent *owner) : TComponent(owner) {}

TSimpleXMLNavigator::~TSimpleXMLNavigator()
{
    FreeTree();
}

void TSimpleXMLNavigator::FreeTree()
{
    FRoot = nullptr;
    FCurrent = nullptr;
    Blocks.clear();
    BlockPos = nullptr;
    BlockLeft = 0;
    Texts.clear();
    for (TStepMemo &memo : Memo) {
        memo.Parent = nullptr;
        memo.Found = nullptr;
    }
}

void *TSimpleXMLNavigator::Allocate(size_t size)
{
    size = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    if (size > BlockLeft) {
        Blocks.push_back(std::make_unique<std::byte[]>(BlockSize));
        BlockPos = Blocks.back().get();
        BlockLeft = BlockSize;
    }
    void *p = BlockPos;
    BlockPos += size;
    BlockLeft -= size;
    return p;
}

TTagItem *TSimpleXMLNavigator::NewTag()
{
    auto *tag = new (Allocate(sizeof(TTagItem))) TTagItem;
    tag->Kind = NODE_TAG;
    return tag;
}

TTextItem *TSimpleXMLNavigator::NewText()
{
    auto *text = new (Allocate(sizeof(TTextItem))) TTextItem;
    text->Kind = NODE_TEXT;
    return text;
}

TAttrItem *TSimpleXMLNavigator::NewAttr()
{
    return new (Allocate(sizeof(TAttrItem))) TAttrItem;
}

std::string_view TSimpleXMLNavigator::KeepText(std::string &&text)
{
    Texts.push_back(std::move(text));
    return Texts.back();
}

TTagItem *TSimpleXMLNavigator::FindNode(std::string_view path, std::string_view *lastName,
                                        bool *hadIndex) const
{
    if (lastName) {
        *lastName = {};
    }
    if (hadIndex) {
        *hadIndex = false;
    }
    if (!FRoot) {
        return nullptr;
    }
    path = Trim(path);
    TTagItem *node = FCurrent;
    if (!path.empty() && path.front() == '/') {
        node = FRoot;
        path.remove_prefix(1);
    }
    TStep step;
    size_t depth = 0;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view text = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (!ReadStep(text, step) || step.Index < 0) {
            return nullptr;
        }
        TStepMemo *memo = depth < MemoDepth ? &Memo[depth] : nullptr;
        ++depth;
        int32_t left = step.Index;
        TNodeItem *child = node->Child;
        if (memo && memo->Parent == node && memo->Found && memo->Index <= step.Index &&
            memo->Name == step.Name) {
            // Resume after the element this lookup found last time.
            if (memo->Index == step.Index) {
                child = nullptr;
                left = -1;
            } else {
                child = memo->Found->Next;
                left = step.Index - memo->Index - 1;
            }
        }
        TTagItem *found = left < 0 ? memo->Found : nullptr;
        for (; child && !found; child = NextNode(child)) {
            if (child->Kind != NODE_TAG) {
                continue;
            }
            auto *tag = static_cast<TTagItem *>(child);
            if (!Matches(tag, step.Name)) {
                continue;
            }
            if (left == 0) {
                found = tag;
                break;
            }
            --left;
        }
        if (!found) {
            return nullptr;
        }
        if (memo) {
            memo->Parent = node;
            memo->Name.assign(step.Name);
            memo->Index = step.Index;
            memo->Found = found;
        }
        node = found;
        if (lastName) {
            *lastName = step.Name;
        }
        if (hadIndex) {
            *hadIndex = step.HasIndex;
        }
    }
    return node;
}

int TSimpleXMLNavigator::CountNodes(std::string_view path) const
{
    std::string_view name;
    bool hadIndex = false;
    TTagItem *found = FindNode(path, &name, &hadIndex);
    if (!found) {
        return 0;
    }
    // A path without steps names its starting element, which exists: one node.
    if (found == FRoot || hadIndex || name.empty()) {
        return 1;
    }
    int count = 0;
    for (TNodeItem *node = found; node; node = NextNode(node)) {
        if (node->Kind == NODE_TAG && Matches(static_cast<TTagItem *>(node), name)) {
            ++count;
        }
    }
    return count;
}

bool TSimpleXMLNavigator::SelectNode(std::string_view path)
{
    TTagItem *found = FindNode(path);
    if (!found) {
        return false;
    }
    FCurrent = found;
    return true;
}

std::string TSimpleXMLNavigator::GetAttribute(std::string_view name) const
{
    if (!FCurrent) {
        return {};
    }
    for (const TAttrItem *attr = FCurrent->Attrs; attr; attr = attr->Next) {
        if (attr->Name == name) {
            return std::string(attr->Value);
        }
    }
    return {};
}

// Path navigator over the parsed tree, and the tree's node storage.

#include "catalogue/USimpleXMLParser.h"

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

// Blanks around a bracketed index; other control bytes belong to the index and spoil it.
std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// Reads a bracketed index: a decimal number with optional blanks around it, a sign, a
// fraction and an exponent, truncated toward zero. False when it is no such number or does
// not fit 32 bits. The decimal separator is always the point, whatever the process locale.
// The digits are read exactly rather than through a floating-point number, so however many
// digits or however large an exponent the text has, the value decides: 1e-400 is 0, and 1
// followed by 400 zeros is too large even with a negative exponent that is smaller.
bool ReadIndex(std::string_view s, int32_t &index)
{
    s = TrimBlanks(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    size_t i = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
    }
    const std::string_view whole = s.substr(0, i);
    std::string_view fraction;
    if (i < s.size() && s[i] == '.') {
        const size_t from = ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
        }
        fraction = s.substr(from, i - from);
    }
    if (whole.empty() && fraction.empty()) {
        return false;
    }
    // Beyond this an exponent changes nothing: the value is 0 or far too large either way.
    constexpr int64_t ExponentLimit = 1'000'000;
    int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            negativeExponent = s[i] == '-';
            ++i;
        }
        const size_t from = i;
        while (i < s.size() && IsDigit(s[i])) {
            if (exponent < ExponentLimit) {
                exponent = exponent * 10 + (s[i] - '0');
            }
            ++i;
        }
        if (i == from) {
            return false;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    if (i != s.size()) {
        return false;
    }
    // The digits without the point, leading zeros dropped; `integerDigits` of them stand
    // before the point once the exponent is applied.
    std::string digits(whole);
    digits.append(fraction);
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        index = 0;
        return true;
    }
    const int64_t integerDigits =
        static_cast<int64_t>(whole.size()) - static_cast<int64_t>(first) + exponent;
    if (integerDigits > 10) {
        return false; // 2^31 has ten digits
    }
    int64_t value = 0;
    for (int64_t k = 0; k < integerDigits; ++k) {
        const size_t at = first + static_cast<size_t>(k);
        value = value * 10 + (at < digits.size() ? digits[at] - '0' : 0);
    }
    if (negative) {
        value = -value;
    }
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
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
        const bool known = memo && memo->Parent == node && memo->Name == step.Name;
        if (!known && memo) {
            memo->Parent = node;
            memo->Name.assign(step.Name);
            memo->Found = nullptr;
            memo->Total = -1;
        }
        if (known && memo->Total >= 0 && step.Index >= memo->Total) {
            return nullptr; // an earlier walk counted fewer matches
        }
        TTagItem *found = nullptr;
        int32_t left = step.Index;
        TNodeItem *child = node->Child;
        if (known && memo->Found && memo->Index <= step.Index) {
            // Resume after the element this lookup found last time.
            if (memo->Index == step.Index) {
                found = memo->Found;
                child = nullptr;
            } else {
                child = NextNode(memo->Found);
                left = step.Index - memo->Index - 1;
            }
        }
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
            if (memo) {
                // The walk went to the end of the chain: every match is counted.
                memo->Total = step.Index - left;
            }
            return nullptr;
        }
        if (memo) {
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

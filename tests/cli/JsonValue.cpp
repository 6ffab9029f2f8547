#include "JsonValue.h"

#include <cstdlib>

namespace {

class TReader
{
public:
    explicit TReader(const std::string &text) : s_(text) {}

    bool Document(TJsonValue &value)
    {
        Space();
        if (!Value(value, 0))
            return false;
        Space();
        return p_ == s_.size();
    }

private:
    void Space()
    {
        while (p_ < s_.size() &&
               (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\n' || s_[p_] == '\r'))
            ++p_;
    }

    bool Literal(const char *word)
    {
        const std::string w = word;
        if (s_.compare(p_, w.size(), w) != 0)
            return false;
        p_ += w.size();
        return true;
    }

    bool Value(TJsonValue &value, int depth)
    {
        if (depth > 64 || p_ >= s_.size())
            return false;
        const char c = s_[p_];
        if (c == '{')
            return Object(value, depth);
        if (c == '[')
            return Array(value, depth);
        if (c == '"') {
            value.Kind = TJsonValue::TKind::String;
            return String(value.Text);
        }
        if (c == 't' || c == 'f') {
            value.Kind = TJsonValue::TKind::Bool;
            value.Boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.Kind = TJsonValue::TKind::Null;
            return Literal("null");
        }
        return Number(value);
    }

    bool Number(TJsonValue &value)
    {
        const size_t start = p_;
        if (p_ < s_.size() && s_[p_] == '-')
            ++p_;
        if (p_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[p_])))
            return false;
        if (s_[p_] == '0')
            ++p_;
        else
            while (p_ < s_.size() && isdigit(static_cast<unsigned char>(s_[p_])))
                ++p_;
        if (p_ < s_.size() && s_[p_] == '.') {
            ++p_;
            if (p_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[p_])))
                return false;
            while (p_ < s_.size() && isdigit(static_cast<unsigned char>(s_[p_])))
                ++p_;
        }
        if (p_ < s_.size() && (s_[p_] == 'e' || s_[p_] == 'E')) {
            ++p_;
            if (p_ < s_.size() && (s_[p_] == '+' || s_[p_] == '-'))
                ++p_;
            if (p_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[p_])))
                return false;
            while (p_ < s_.size() && isdigit(static_cast<unsigned char>(s_[p_])))
                ++p_;
        }
        value.Kind = TJsonValue::TKind::Number;
        value.Number = std::strtod(s_.substr(start, p_ - start).c_str(), nullptr);
        return true;
    }

    static void Utf8(std::string &out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool Hex4(unsigned &code)
    {
        if (p_ + 4 > s_.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = s_[p_++];
            code <<= 4;
            if (h >= '0' && h <= '9')
                code |= unsigned(h - '0');
            else if (h >= 'a' && h <= 'f')
                code |= unsigned(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                code |= unsigned(h - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool String(std::string &out)
    {
        ++p_; // opening quote
        out.clear();
        while (p_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[p_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false; // control characters must be escaped
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (p_ >= s_.size())
                return false;
            const char e = s_[p_++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned code = 0;
                if (!Hex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    unsigned low = 0;
                    if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    return false;
                }
                Utf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool Array(TJsonValue &value, int depth)
    {
        value.Kind = TJsonValue::TKind::Array;
        ++p_;
        Space();
        if (p_ < s_.size() && s_[p_] == ']') {
            ++p_;
            return true;
        }
        for (;;) {
            TJsonValue item;
            Space();
            if (!Value(item, depth + 1))
                return false;
            value.Items.push_back(std::move(item));
            Space();
            if (p_ < s_.size() && s_[p_] == ',') {
                ++p_;
                continue;
            }
            return p_ < s_.size() && s_[p_++] == ']';
        }
    }

    bool Object(TJsonValue &value, int depth)
    {
        value.Kind = TJsonValue::TKind::Object;
        ++p_;
        Space();
        if (p_ < s_.size() && s_[p_] == '}') {
            ++p_;
            return true;
        }
        for (;;) {
            Space();
            std::string key;
            if (p_ >= s_.size() || s_[p_] != '"' || !String(key))
                return false;
            Space();
            if (p_ >= s_.size() || s_[p_++] != ':')
                return false;
            Space();
            TJsonValue member;
            if (!Value(member, depth + 1) || value.Members.count(key))
                return false;
            value.Members.emplace(key, std::move(member));
            Space();
            if (p_ < s_.size() && s_[p_] == ',') {
                ++p_;
                continue;
            }
            return p_ < s_.size() && s_[p_++] == '}';
        }
    }

    const std::string &s_;
    size_t p_ = 0;
};

const TJsonValue nullValue;

} // namespace

const TJsonValue &TJsonValue::operator[](const std::string &key) const
{
    const auto it = Members.find(key);
    return it == Members.end() ? nullValue : it->second;
}

const TJsonValue &TJsonValue::operator[](size_t i) const
{
    return i < Items.size() ? Items[i] : nullValue;
}

bool ParseJson(const std::string &text, TJsonValue &value)
{
    value = TJsonValue{};
    return TReader(text).Document(value);
}

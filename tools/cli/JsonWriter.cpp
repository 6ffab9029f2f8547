#include "JsonWriter.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string JsonQuote(std::string_view text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
    return out;
}

void TJsonWriter::Key(std::string_view key)
{
    if (!First.empty()) {
        if (!First.back())
            Out += ',';
        First.back() = false;
    }
    if (!key.empty()) {
        Out += JsonQuote(key);
        Out += ':';
    }
}

void TJsonWriter::BeginObject(std::string_view key)
{
    Key(key);
    Out += '{';
    First.push_back(true);
}

void TJsonWriter::EndObject()
{
    Out += '}';
    First.pop_back();
}

void TJsonWriter::BeginArray(std::string_view key)
{
    Key(key);
    Out += '[';
    First.push_back(true);
}

void TJsonWriter::EndArray()
{
    Out += ']';
    First.pop_back();
}

void TJsonWriter::String(std::string_view key, std::string_view value)
{
    Key(key);
    Out += JsonQuote(value);
}

void TJsonWriter::Number(std::string_view key, int64_t value)
{
    Key(key);
    Out += std::to_string(value);
}

void TJsonWriter::RawNumber(std::string_view key, std::string_view text)
{
    Key(key);
    Out.append(text);
}

void TJsonWriter::Bool(std::string_view key, bool value)
{
    Key(key);
    Out += value ? "true" : "false";
}

void TJsonWriter::Null(std::string_view key)
{
    Key(key);
    Out += "null";
}

#pragma once
// A strict little JSON reader for checking linvar-cli's output: anything that is not valid
// JSON (RFC 8259) fails the parse, so a test also catches broken escaping.

#include <map>
#include <memory>
#include <string>
#include <vector>

// One parsed JSON value.
struct TJsonValue
{
    enum class TKind
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };
    TKind Kind = TKind::Null;
    bool Boolean = false;
    double Number = 0;
    std::string Text; // strings as UTF-8
    std::vector<TJsonValue> Items;
    std::map<std::string, TJsonValue> Members;

    // Member `key` of an object; a null value when absent.
    const TJsonValue &operator[](const std::string &key) const;
    // Item `i` of an array; a null value when absent.
    const TJsonValue &operator[](size_t i) const;
    bool IsNull() const { return Kind == TKind::Null; }
};

// Parses a whole document (surrounding whitespace allowed); false when it is not valid JSON.
bool ParseJson(const std::string &text, TJsonValue &value);

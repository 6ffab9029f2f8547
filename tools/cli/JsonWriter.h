#pragma once
// A small streaming JSON writer: objects, arrays, strings with proper escaping, numbers,
// Booleans and null. Commas and nesting are tracked here, so callers only name what they write.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds one JSON document in memory.
class TJsonWriter
{
public:
    // Opens an object (as a value, or as the value of `key` inside an object).
    void BeginObject(std::string_view key = {});
    // Closes the innermost object.
    void EndObject();
    // Opens an array (as a value, or as the value of `key`).
    void BeginArray(std::string_view key = {});
    // Closes the innermost array.
    void EndArray();
    // Writes a UTF-8 string value.
    void String(std::string_view key, std::string_view value);
    // Writes an integer value.
    void Number(std::string_view key, int64_t value);
    // Writes a number already formatted as JSON number text.
    void RawNumber(std::string_view key, std::string_view text);
    // Writes true or false.
    void Bool(std::string_view key, bool value);
    // Writes null.
    void Null(std::string_view key);
    // The document written so far.
    const std::string &Text() const { return Out; }

private:
    void Key(std::string_view key);
    std::string Out;
    std::vector<bool> First; // per open container: nothing written in it yet
};

// `text` as a quoted JSON string: quotes, backslashes and control characters escaped, bytes
// that are not valid UTF-8 replaced by U+FFFD.
std::string JsonQuote(std::string_view text);

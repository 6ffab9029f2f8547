#include "catalogue/ParameterSize.h"

const std::string SizeByte = "\xE1\xE0\xE9\xF2";     // "байт"
const std::string SizeWord = "\xF1\xEB\xEE\xE2\xEE"; // "слово"

TParameterSize ParameterSizeOf(const std::string &size)
{
    if (size == SizeByte)
        return TParameterSize::Byte;
    if (size == SizeWord)
        return TParameterSize::Word;
    return TParameterSize::Other;
}

bool IsWritable(const ParameterDescription &entry)
{
    return ParameterSizeOf(entry.Size) != TParameterSize::Other;
}

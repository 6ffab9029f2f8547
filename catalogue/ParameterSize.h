#pragma once
// The sizes a catalogue entry ("тип" of a parameter) may name, and what each allows: the
// device reads and writes bytes and words; an entry of any other size (flags the device
// shows) is read and shown, never written.

#include "catalogue/DeviceCatalogue.h"

#include <string>

// Size texts of the catalogue, Windows-1251.
extern const std::string SizeByte; // "байт"
extern const std::string SizeWord; // "слово"

// The size an entry names.
enum class TParameterSize
{
    Byte,
    Word,
    Other, // neither: not written
};

// The size a catalogue size text names.
TParameterSize ParameterSizeOf(const std::string &size);
// True when `entry` can be written: its size is a byte or a word.
bool IsWritable(const ParameterDescription &entry);

#pragma once
// Why a port did not open, as a kind for the front ends to word, and the start-up probe that
// the window and linvar-cli share: the first port of the numbers a converter usually gets that
// opens, so a fresh machine needs no choice.

#include <cstdint>

// Port numbers the probe tries, lowest first.
constexpr int FirstProbedPort = 1;
constexpr int LastProbedPort = 15;

// Why a port did not open.
enum class TPortFault
{
    None,          // it opened
    NotOpened,     // absent, held by another program, or another reason the errno tells
    AccessRefused, // this user lacks the rights to it: serial devices belong to a group that a
                   // fresh account is usually not in
};

// The outcome of one opening: its kind and the errno behind it.
struct TPortRefusal
{
    TPortFault Fault = TPortFault::None;
    int Errno = 0; // 0 when it opened
};

// What the start-up probe found.
struct TPortProbe
{
    uint8_t Number = 0;                  // the port that opened, when Fault is None
    TPortFault Fault = TPortFault::None; // NotOpened when none opened; AccessRefused when none
                                         // opened and at least one was refused for rights
};

// True when `error` (an errno) refuses a port for want of rights rather than for its absence
// or another program holding it.
bool IsAccessRefusal(int error);
// The kind of the last opening (LastOpenError).
TPortRefusal LastOpenRefusal();
// Opens the first of FirstProbedPort..LastProbedPort that opens.
TPortProbe OpenFirstFreePort();

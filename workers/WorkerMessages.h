#pragma once
// The messages by which workers report to the main window, and the posting of them.

#include <cstdint>
#include <string>

constexpr uint32_t WM_USER = 0x400;
constexpr uint32_t WM_DEVICEFOUND = WM_USER + 200; // wParam address*256+type, lParam version
constexpr uint32_t WM_PROGRESS = WM_USER + 201;    // wParam percent
constexpr uint32_t WM_SEARCHDONE = WM_USER + 204;
constexpr uint32_t WM_PLACEEDITOR = WM_USER + 205;
constexpr uint32_t WM_LOADDONE = WM_USER + 206;
constexpr uint32_t WM_SAVEDONE = WM_USER + 207;
// The search across speeds (TSpeedSearchThread): a sweep at line speed wParam begins, the
// lParam-th (from 0); the devices found until the next one answered at that speed.
constexpr uint32_t WM_SEARCHSPEED = WM_USER + 208;
// The search across speeds: the device of the wParam-th WM_DEVICEFOUND (from 0) answered
// again at line speed lParam; it is not reported twice.
constexpr uint32_t WM_DEVICEAGAIN = WM_USER + 209;
// An address where the search got bytes but no valid reply: wParam address, lParam the
// verdicts of those attempts (GarbledAddress.h). Posted before that address's WM_PROGRESS.
// A search across speeds may find a device at that address at another speed.
constexpr uint32_t WM_GARBLED = WM_USER + 210;
// A write followed the device it writes to another place (DeviceFollow.h): wParam its bus
// address now, lParam the line speed it answers at now (the one in force).
constexpr uint32_t WM_DEVICEMOVED = WM_USER + 211;

// wParam of WM_LOADDONE and WM_SAVEDONE: the device fell silent, so the worker ended early
// and the rest of the list was not asked (0: the worker ended as usual).
constexpr uint32_t DONE_DEVICE_SILENT = 1;
// wParam of WM_SAVEDONE: the device fell silent after accepting a value and was found neither
// at an address that value named nor at another line speed; the write ended there.
constexpr uint32_t DONE_DEVICE_LOST = 2;
// wParam of WM_SAVEDONE: the device took address lParam (it fell silent after accepting it,
// or answered from it), where another device answered before the write; it was not followed
// there, as the two could not be told apart, and the write ended.
constexpr uint32_t DONE_ADDRESS_HELD = 3;

// Whatever receives worker messages: posting never blocks and keeps the posting order.
class IMessageTarget
{
public:
    virtual ~IMessageTarget() = default;
    // Queues one message for the receiver's thread.
    virtual void PostMessage(uint32_t message, uint32_t wParam, uint32_t lParam) = 0;
};

// Makes `target` the main window that workers post to (nullptr: messages are dropped).
void SetMainWindowTarget(IMessageTarget *target);
// Posts one message to the main window from any thread.
void PostToMainWindow(uint32_t message, uint32_t wParam, uint32_t lParam);

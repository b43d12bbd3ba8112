// Windows messages the programs' native event filters receive, and their delivery to the running
// programs of a machine.
//
// Every program with a QCoreApplication that links WindowsStandInNetwork (defined in Network/)
// listens for messages: when its application object is made, a listener (a local socket served on
// the GUI thread) starts and announces itself in the machine directory ("listeners/<pid>").
// SendNativeMessage hands one message to every listener of the machine; each passes it as a MSG
// to the application's native event filters, event type "windows_generic_MSG", on its GUI thread,
// then answers. `winsim event` sends the machine's events this way.
#pragma once

#include "WindowsStandIn/Guid.h"
#include "WindowsStandIn/Win32.h"

#include <QByteArray>

#include <functional>

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_POWERBROADCAST = 0x0218;
constexpr WPARAM PBT_APMRESUMEAUTOMATIC = 0x0012;
constexpr WPARAM PBT_POWERSETTINGCHANGE = 0x8013;

constexpr LPARAM MAKELPARAM(WORD low, WORD high)
{
    return LPARAM(DWORD(low) | DWORD(high) << 16);
}

// The record a PBT_POWERSETTINGCHANGE broadcast points to with its lParam.
struct POWERBROADCAST_SETTING {
    GUID PowerSetting;
    DWORD DataLength;
    UCHAR Data[1];
};

// Lid switch: a DWORD of data, 0 closed, 1 open.
inline constexpr GUID GUID_LIDSWITCH_STATE_CHANGE = {
    0xBA3E0F4D, 0xB817, 0x4094, {0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3}};

namespace WinSim {

// The record of a lid-switch broadcast: the GUID, a DWORD of data, 1 open, 0 closed.
QByteArray LidSwitchRecord(bool open);

inline constexpr const char* NativeEventType = "windows_generic_MSG";

// Starts this process's listener (done for every QCoreApplication that links WindowsStandInNetwork;
// calling it again does nothing).
void StartNativeEventListener();

// Hands one message to this process's native event filters now, on the calling (GUI) thread. With a
// `record`, lParam is the address of an aligned copy of it that lives while the filters run.
void DeliverNativeMessage(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record = QByteArray());
// The same from this process's event loop, as a message Windows posts to the program.
void PostNativeMessage(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record = QByteArray());

// Delivers a message to every running program of the machine and returns how many received it.
// With a `record`, the receiver's lParam is the address of its own copy of the record (valid
// during delivery), and `lParam` is not used. Announcements of ended programs are removed.
int SendNativeMessage(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record = QByteArray());

}  // namespace WinSim

namespace WinSim::Detail {

// Runs `action` on this (the GUI) thread and calls `respond` once: when `action` returns or, when it
// runs a nested event loop (a modal dialog), from within that loop. A listener answers this way, so
// a sender is not kept waiting while the program waits for its user.
void RunThenRespond(const std::function<void()>& action, const std::function<void()>& respond);

}  // namespace WinSim::Detail

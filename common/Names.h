#pragma once
// The names the programs meet by: the driver's service, topic, item and text format, and every
// command word it executes. The driver, the client, zelctl and the tests all take them from here.

#include <cstdint>

namespace zel {

inline constexpr char DriverService[] = "ZELdrv";
inline constexpr char DriverTopic[] = "ZELdriver";
inline constexpr char DriverItem[] = "ZELDDEItem";
// The line monitor beside the driver's topic: each read or write on the serial line, as text.
inline constexpr char MonitorTopic[] = "ZELmonitor";
inline constexpr char MonitorItem[] = "ZELmonitorItem";
// 8-bit text; the only format served.
inline constexpr uint32_t TextFormat = 1;

// Command words, compared exactly.
inline constexpr char SendCommand[] = "Send";
inline constexpr char EasySendCommand[] = "EasySend";
inline constexpr char SendDumpCommand[] = "SendDump";
inline constexpr char EasySendDumpCommand[] = "EasySendDump";
inline constexpr char ReceiveCommand[] = "Receive";
inline constexpr char ReceiveDumpCommand[] = "ReceiveDump";
inline constexpr char SetDtrCommand[] = "setDTR";
inline constexpr char MoveDtrCommand[] = "moveDTR";
inline constexpr char SetRtsCommand[] = "setRTS";
inline constexpr char MoveRtsCommand[] = "moveRTS";
inline constexpr char ClearCommand[] = "Clear";
inline constexpr char MinimizeCommand[] = "Minimize";
inline constexpr char NormalSizeCommand[] = "NormalSize";
inline constexpr char HideCommand[] = "Hide";
inline constexpr char ShowCommand[] = "Show";
inline constexpr char VersionCommand[] = "Version";
inline constexpr char PortStateCommand[] = "PortState";
inline constexpr char CloseCommand[] = "Close";

}  // namespace zel

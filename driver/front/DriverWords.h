#pragma once
// The driver front end's own words: command names, outcomes in the data item, status texts.

// Commands.
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

// Outcomes and status words.
inline constexpr char DataLoadedWord[] = "data loaded";
inline constexpr char SendedWord[] = "sended";
inline constexpr char ErrorWord[] = "error";
inline constexpr char OkWord[] = "OK";
inline constexpr char FailWord[] = "Fail";
inline constexpr char BusyWord[] = "Busy";
inline constexpr char ReleaseNumber[] = "2.32";

// The program's title: its taskbar text, the main window's hint, the About box.
inline constexpr char ProgramTitle[] = "ZEL driver";

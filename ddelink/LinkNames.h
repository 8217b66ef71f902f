#pragma once
// The names and client time-outs of the driver's conversation.

constexpr const char* DriverService = "ZELdrv";
constexpr const char* DriverTopic = "ZELdriver";
constexpr const char* DriverItem = "ZELDDEItem";

constexpr int PokeTimeoutMs = 10000;
constexpr int RequestTimeoutMs = 10000;
constexpr int NoticeRequestTimeoutMs = 1000;

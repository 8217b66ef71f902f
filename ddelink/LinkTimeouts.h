#pragma once
// How long a client waits for the driver's answers.

namespace zel {

constexpr int PokeTimeoutMs = 10000;
constexpr int RequestTimeoutMs = 10000;
constexpr int NoticeRequestTimeoutMs = 1000;

}  // namespace zel

#pragma once
// Stand-ins for what the driver front reaches outside the core: status line, window, clock.

#include <string>
#include <vector>

#include "driver/front/Clock.h"
#include "driver/front/DriverWindow.h"
#include "driver/front/StatusSink.h"

namespace zel {

class RecordingStatus : public StatusSink {
 public:
  void SetStatusText(const std::string& text) override { texts.push_back(text); }
  std::string Last() const { return texts.empty() ? std::string() : texts.back(); }
  std::vector<std::string> texts;
};

class RecordingWindow : public DriverWindow {
 public:
  void Minimize() override { calls.push_back("Minimize"); }
  void NormalSize() override { calls.push_back("NormalSize"); }
  void Hide() override { calls.push_back("Hide"); }
  void Show() override { calls.push_back("Show"); }
  void Close() override { calls.push_back("Close"); }
  std::vector<std::string> calls;
};

// Time stands still unless a sleep moves it, or every look at it moves it a step.
class FakeClock : public Clock {
 public:
  int64_t NowMs() override { return (now += stepPerLook) - stepPerLook; }
  void SleepMs(int64_t ms) override { slept.push_back(ms), now += ms; }
  int64_t now = 0;
  int64_t stepPerLook = 0;
  std::vector<int64_t> slept;
};

}  // namespace zel

// The driver's front and main window over the fake port, with its settings file in a scratch
// directory, wired as the program wires them.
#pragma once

#include <QLabel>
#include <QThread>
#include <memory>
#include <string>

#include "common/qt/WriteBar.h"
#include "ddelink/LinkWire.h"
#include "driver/front/DriverFront.h"
#include "driver/front/qt/MainForm.h"
#include "driver/front/WindowRelay.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FrontFakes.h"

namespace zel::test {

// The fake port, telling how many event loops were running when the port was closed: 1 is the
// program's own, more means a modal window's loop was still on the stack.
class LoopWatchingPort : public SerialPort {
 public:
  LoopWatchingPort(std::unique_ptr<SerialPort> inner, int& loopLevelAtClose)
      : inner_(std::move(inner)), loopLevelAtClose_(loopLevelAtClose) {}
  bool Open(const std::string& name) override { return inner_->Open(name); }
  void Close() override {
    loopLevelAtClose_ = QThread::currentThread()->loopLevel();
    inner_->Close();
  }
  bool IsOpen() const override { return inner_->IsOpen(); }
  bool GetState(LineState& state) override { return inner_->GetState(state); }
  bool SetState(const LineState& state) override { return inner_->SetState(state); }
  bool SetTimeouts(const CommTimeouts& timeouts) override { return inner_->SetTimeouts(timeouts); }
  PortError LastError() const override { return inner_->LastError(); }
  const std::string& LastErrorText() const override { return inner_->LastErrorText(); }
  bool EscapeFunction(ModemLineFunction function) override {
    return inner_->EscapeFunction(function);
  }
  int32_t Read(uint8_t* buffer, int32_t capacity) override {
    return inner_->Read(buffer, capacity);
  }
  int32_t Write(const uint8_t* bytes, int32_t count) override {
    return inner_->Write(bytes, count);
  }

 private:
  std::unique_ptr<SerialPort> inner_;
  int& loopLevelAtClose_;
};

inline std::string DriverIniText(const std::string& portNumber) {
  return "PortNumber=" + portNumber +
         "\r\nTransferRate=9600 baud\r\nStopBits=1 bit\r\nParitet=None\r\n"
         "LatencyPeriod=Immediately answer\r\nDTRControl=HandShake\r\nRTSControl=HandShake\r\n"
         "WriteTimeOutMultiplier=0\r\nWriteTimeOutConstant=0\r\n";
}

struct DriverWindowParts {
  explicit DriverWindowParts(const std::string& portNumber = "COM2", bool portOpens = true) {
    directory.Write("ZELdrv.ini", DriverIniText(portNumber));
    FakePortOnLine fake = MakeFakePort();
    line = fake.line;
    line->OpenFails = !portOpens;
    form = std::make_unique<TMainForm>(
        front, std::make_unique<LoopWatchingPort>(std::move(fake.port), loopLevelAtClose),
        directory.Path(), notice, &echo);
    relay.Attach(form.get(), form.get());
  }
  ~DriverWindowParts() { relay.Detach(); }

  void Execute(const std::string& word) { front.ZELdriverExecuteMacro({word}); }
  void Poke(const std::string& text) { front.ZELdriver.Poke(DriverItem, TextFormat, text); }
  std::string Item() {
    std::string answer;
    front.ZELdriver.Request(DriverItem, TextFormat, answer);
    return answer;
  }
  std::string Indicator() const { return form->TextIndicator->text().toStdString(); }

  ScratchDirectory directory;
  std::shared_ptr<FakeLine> line;
  int loopLevelAtClose = -1;  // -1: not closed
  RecordingStatus echo;
  WindowRelay relay;
  FakeClock clock;
  DriverFront front{relay, relay, clock};
  WriteBarNotice notice;
  std::unique_ptr<TMainForm> form;
};

}  // namespace zel::test

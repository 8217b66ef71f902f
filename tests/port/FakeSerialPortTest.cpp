// The fake port keeps the port layer's promises that tests elsewhere rely on: scripted reads in
// order, echoes of what went out, reported write counts, and failure on a closed port.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/FakeSerialPort.h"

namespace zel::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFrom(SerialPort& port, int32_t capacity) {
  Bytes buffer(static_cast<size_t>(capacity) + 1, 0xEE);
  const int32_t n = port.Read(buffer.data(), capacity);
  return Bytes(buffer.begin(), buffer.begin() + n);
}

TEST(FakeSerialPort, ReadsScriptedChunksInOrderSplittingWhatDoesNotFit) {
  FakePortOnLine fake = MakeFakePort();
  fake.line->QueueRead({1, 2, 3, 4, 5});
  fake.line->QueueRead({6});
  ASSERT_TRUE(fake.port->Open("COM1"));

  EXPECT_EQ(ReadFrom(*fake.port, 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(ReadFrom(*fake.port, 256), (Bytes{4, 5}));
  EXPECT_EQ(ReadFrom(*fake.port, 256), (Bytes{6}));
  EXPECT_EQ(ReadFrom(*fake.port, 256), Bytes{});
  EXPECT_EQ(fake.line->CallsOf(FakeCallKind::Read)[1].bytes, (Bytes{4, 5}));
}

TEST(FakeSerialPort, EchoesWhatWentOut) {
  FakePortOnLine fake = MakeFakePort();
  ASSERT_TRUE(fake.port->Open("COM1"));
  const Bytes frame = {5, 2, 1, 0, 0, 8, 0};

  fake.line->Echo = EchoMode::Faithful;
  EXPECT_EQ(fake.port->Write(frame.data(), 7), 7);
  EXPECT_EQ(ReadFrom(*fake.port, 256), frame);

  fake.line->Echo = EchoMode::Corrupting;
  EXPECT_EQ(fake.port->Write(frame.data(), 7), 7);
  Bytes spoiled = frame;
  spoiled[0] = 0xFA;
  EXPECT_EQ(ReadFrom(*fake.port, 256), spoiled);

  fake.line->Echo = EchoMode::Faithful;
  fake.line->WriteResult = 3;
  EXPECT_EQ(fake.port->Write(frame.data(), 7), 3);
  EXPECT_EQ(ReadFrom(*fake.port, 256), (Bytes{5, 2, 1}));
  fake.line->WriteResult = 0;
  EXPECT_EQ(fake.port->Write(frame.data(), 7), 0);
  EXPECT_EQ(ReadFrom(*fake.port, 256), Bytes{});
  EXPECT_EQ(fake.line->CallsOf(FakeCallKind::Write).back().bytes, frame);
}

TEST(FakeSerialPort, OnWriteCanQueueAReplyAfterTheEcho) {
  FakePortOnLine fake = MakeFakePort();
  ASSERT_TRUE(fake.port->Open("COM1"));
  fake.line->Echo = EchoMode::Faithful;
  FakeLine& line = *fake.line;
  line.OnWrite = [&line](const Bytes&) { line.QueueRead({0xAA}); };
  const uint8_t byte = 0x11;

  fake.port->Write(&byte, 1);

  EXPECT_EQ(ReadFrom(*fake.port, 256), Bytes{0x11});
  EXPECT_EQ(ReadFrom(*fake.port, 256), Bytes{0xAA});
}

TEST(FakeSerialPort, EverythingFailsOnAClosedPortAndIsRecorded) {
  FakePortOnLine fake = MakeFakePort();
  fake.line->QueueRead({1});
  LineState state;
  uint32_t mask = 0;
  const uint8_t byte = 0;

  EXPECT_FALSE(fake.port->GetState(state));
  EXPECT_FALSE(fake.port->SetState(state));
  EXPECT_FALSE(fake.port->SetTimeouts({}));
  EXPECT_FALSE(fake.port->GetEventMask(mask));
  EXPECT_FALSE(fake.port->SetEventMask(1));
  EXPECT_FALSE(fake.port->EscapeFunction(ModemLineFunction::SetDTR));
  EXPECT_EQ(ReadFrom(*fake.port, 256), Bytes{});
  EXPECT_EQ(fake.port->Write(&byte, 1), 0);

  EXPECT_EQ(fake.line->Calls.size(), 8u);
  for (const FakePortCall& call : fake.line->Calls) EXPECT_FALSE(call.succeeded);
  EXPECT_EQ(fake.line->ReadChunks.size(), 1u);
}

TEST(FakeSerialPort, OpensFailPerNameOrForAll) {
  FakePortOnLine fake = MakeFakePort();
  fake.line->UnopenableNames = {"COM3"};

  EXPECT_FALSE(fake.port->Open("COM3"));
  EXPECT_TRUE(fake.port->Open("COM2"));
  EXPECT_EQ(fake.line->OpenName, "COM2");
  fake.line->OpenFails = true;
  EXPECT_FALSE(fake.port->Open("COM2"));
  EXPECT_FALSE(fake.port->IsOpen());
}

TEST(FakeSerialPort, DestructionIsNotRecorded) {
  FakePortOnLine fake = MakeFakePort();
  ASSERT_TRUE(fake.port->Open("COM1"));

  fake.port.reset();

  EXPECT_FALSE(fake.line->IsOpen);
  EXPECT_EQ(fake.line->CallKinds(), std::vector<FakeCallKind>{FakeCallKind::Open});
}

}  // namespace
}  // namespace zel::testing

// Counts heap allocations made by this test program so that frame building can be shown to need
// none.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "driver/frames/FrameBuilder.h"
#include "driver/frames/FrameStore.h"
#include "tests/frames/FrameTestSupport.h"

namespace {
std::atomic<long> allocationCount{0};
// Called through a pointer so the compiler does not pair this free with the operator new above
// and warn about a mismatch that the replacement pair does not have.
void (*volatile releaseMemory)(void*) = std::free;
}  // namespace

void* operator new(std::size_t size) {
  ++allocationCount;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { releaseMemory(memory); }
void operator delete(void* memory, std::size_t) noexcept { releaseMemory(memory); }

namespace {

class FrameBuilding : public ::testing::TestWithParam<std::string> {};

TEST_P(FrameBuilding, AllocatesNothing) {
  const std::string& text = GetParam();
  FrameStore store;
  const long before = allocationCount.load();
  store.ResetSendFrame();
  BuildSendFrame(text, store.SendFrame, store.SendLength);
  BuildDumpFrame(text, store.DumpFrame, store.DumpLength);
  const long after = allocationCount.load();
  EXPECT_EQ(after - before, 0);
  EXPECT_GT(store.SendLength, 0);  // the calls did run
}

INSTANTIATE_TEST_SUITE_P(Texts, FrameBuilding,
                         ::testing::Values("", "0205 0001 1234AB", "FFFF FFFF " + Repeat("FF", 247),
                                           "0205 0001 " + Repeat("01", 600)));

TEST(AllocationCounter, SeesAnAllocation) {
  const long before = allocationCount.load();
  auto* text = new std::string(100, 'x');
  const long after = allocationCount.load();
  delete text;
  EXPECT_GT(after - before, 0);
}

}  // namespace

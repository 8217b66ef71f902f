// How link text is cut into lines and how names are matched.

#include <gtest/gtest.h>

#include "ddelink/ServiceName.h"
#include "ddelink/TextLines.h"

namespace zel {

using Lines = std::vector<std::string>;

TEST(LinkText, SplitsAtCrLfAndCrLfWithoutAnEmptyLastLine) {
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"Send\r\n", {"Send"}},
      {"Send\n", {"Send"}},
      {"Send\r", {"Send"}},
      {"\r\n", {""}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF CR is two breaks
      {"a\r\r\nb", {"a", "", "b"}},
      {" Send ", {" Send "}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << "text: " << c.text;
}

TEST(LinkText, EndsAtTheFirstNul) {
  using namespace std::string_literals;
  EXPECT_EQ(SplitLines("Send\0Garbage"s), Lines{"Send"});
  EXPECT_EQ(SplitLines("\0Send"s), Lines{});
  EXPECT_EQ(UntilNul("ab\0cd"s), "ab");
}

TEST(LinkText, KeepsEveryOtherByteIntact) {
  std::string text;
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') text.push_back(static_cast<char>(c));
  EXPECT_EQ(SplitLines(text), Lines{text});
}

TEST(LinkText, RequestAnswerIsEveryLineFollowedByCrLf) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({""}), "\r\n");
  EXPECT_EQ(JoinLines({"sended"}), "sended\r\n");
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(ServiceNames, AreTheProgramFileNameUpToItsFirstDot) {
  EXPECT_EQ(ServiceNameFromProgramPath("/work/build/bin/ZELdrv"), "ZELdrv");
  EXPECT_EQ(ServiceNameFromProgramPath("/opt/x.y/ZELdrv2"), "ZELdrv2");
  EXPECT_EQ(ServiceNameFromProgramPath("C:\\ZEL\\ZELdrv.old.exe"), "ZELdrv");
  EXPECT_EQ(ServiceNameFromProgramPath("/bin/.hidden"), "");
}

TEST(ServiceNames, ThatCouldEscapeTheLinkDirectoryAreUnusable) {
  EXPECT_TRUE(IsUsableServiceName("ZELdrv"));
  for (const char* bad : {"", ".", "..", "a/b", "../ZELdrv", "a\\b"})
    EXPECT_FALSE(IsUsableServiceName(bad)) << bad;
  EXPECT_FALSE(IsUsableServiceName(std::string("ZEL\0drv", 7)));
}

TEST(ServiceNames, TopicsMatchRegardlessOfCase) {
  EXPECT_TRUE(SameTopic("zelDRIVER", "ZELdriver"));
  for (const char* other : {"ZELdrvX", "ZELdriver ", ""}) EXPECT_FALSE(SameTopic(other, "ZELdriver"));
}

}  // namespace zel

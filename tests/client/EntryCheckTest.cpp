// The client's entry check against its table, tests/data/client/entries.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "client/EntryCheck.h"
#include "tests/support/DataText.h"

namespace zel::test {

TEST(EntryCheck, ComposesTheFrameTextOrRefusesAsTheTableSays) {
  std::ifstream table(ZEL_TEST_DATA "/client/entries.txt");
  ASSERT_TRUE(table.is_open());
  for (std::string row; std::getline(table, row);) {
    if (row.empty() || row[0] == '#') continue;
    SCOPED_TRACE(row);
    const std::vector<std::string> words = Words(row);
    const auto arrow = std::find(words.begin(), words.end(), "->");
    const std::vector<std::string> given(words.begin() + 1, arrow), outcome(arrow + 1, words.end());
    ASSERT_GE(given.size(), 4u);
    const EntryCheckResult result =
        CheckEntry(given[0], given[1], given[2], given[3], {given.begin() + 4, given.end()});
    // "refused" alone: FrameText stays as it was; "refused" and a text: the text built so far.
    EXPECT_EQ(result.Valid, outcome.at(0) != "refused");
    const bool kept = outcome.back() == "refused";
    EXPECT_EQ(result.FrameText, kept ? std::nullopt : std::optional(outcome.back()));
  }
}

}  // namespace zel::test

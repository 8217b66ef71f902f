#pragma once
// How every operation that can fail tells its caller what happened: a code from the operation's
// own small set, whose first value None means success, and a text for people.

#include <string>
#include <utility>

namespace zel {

template <typename Code>
struct Outcome {
  Code code = Code::None;
  std::string text;  // empty after a success

  bool Ok() const { return code == Code::None; }
  static Outcome Success() { return {}; }
  static Outcome Failure(Code failed, std::string why) { return {failed, std::move(why)}; }
};

}  // namespace zel

#include "tools/zelctl/ZelctlRun.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/Names.h"
#include "ddelink/LinkTimeouts.h"
#include "ddelink/TextLines.h"

namespace zel {

namespace {

using Clock = std::chrono::steady_clock;

// Pause between two requests that found the item still empty.
constexpr auto RetryPause = std::chrono::milliseconds(10);

std::string ReadAll(std::FILE* in) {
  std::string text;
  char chunk[64 * 1024];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) text.append(chunk, got);
  return text;
}

void Write(std::FILE* out, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

class ActionRunner {
 public:
  ActionRunner(const ZelctlOptions& options, LinkClient& link, std::FILE* in, std::FILE* out,
               std::FILE* errors)
      : options_(options), link_(link), in_(in), out_(out), errors_(errors) {}

  bool Run(const ZelctlAction& action) {
    switch (action.type) {
      case ZelctlAction::Type::Poke: {
        const std::string text = action.argument == "-" ? ReadAll(in_) : action.argument;
        return link_.Poke(options_.item, text, PokeTimeoutMs) || Failed("poke");
      }
      case ZelctlAction::Type::Execute:
        return link_.Execute(action.argument) || Failed("execute");
      case ZelctlAction::Type::Request:
        return Answer(link_.Request(options_.item, RequestTimeoutMs), "request");
      case ZelctlAction::Type::Run:
        return RunCommand(action.argument);
      case ZelctlAction::Type::Watch:
        return Watch(action.count);
      case ZelctlAction::Type::Monitor:
        return Monitor(action.count);
    }
    return false;
  }

 private:
  bool Failed(const char* what) {
    std::fprintf(errors_, "zelctl: %s: %s\n", what, link_.LastError().c_str());
    return false;
  }

  bool Answer(const std::optional<std::string>& text, const char* what) {
    if (!text) return Failed(what);
    Write(out_, *text);
    return true;
  }

  bool RunCommand(const std::string& word) {
    if (!link_.Execute(word)) return Failed("run");
    const auto deadline = Clock::now() + std::chrono::milliseconds(options_.timeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      const int wait = static_cast<int>(std::clamp<long long>(left.count(), 1, RequestTimeoutMs));
      const auto text = link_.Request(options_.item, wait);
      if (text && !text->empty()) return Answer(text, "run");
      if (!link_.IsConnected()) return Failed("run");
      if (Clock::now() >= deadline) {
        std::fprintf(errors_, "zelctl: run %s: no outcome within %d ms\n", word.c_str(),
                     options_.timeoutMs);
        return false;
      }
      std::this_thread::sleep_for(RetryPause);
    }
  }

  bool Watch(long notices) {
    if (!link_.StartAdvise(options_.item, RequestTimeoutMs)) return Failed("watch");
    for (long i = 0; i < notices; ++i) {
      if (!link_.WaitForNotice(options_.timeoutMs)) return Failed("watch");
      if (!Answer(link_.Request(options_.item, NoticeRequestTimeoutMs), "watch")) return false;
    }
    return true;
  }

  // Each notice says lines are waiting; one request takes all that are, so a notice may find
  // none left. A quiet line is waited out; the driver's end ends it.
  bool Monitor(long lines) {
    if (!link_.StartAdvise(options_.item, RequestTimeoutMs)) return Failed("monitor");
    long shown = 0;
    while (lines == 0 || shown < lines) {
      if (!link_.WaitForNotice(options_.timeoutMs)) {
        if (link_.IsConnected()) continue;
        return lines == 0 || Failed("monitor");
      }
      const auto text = link_.Request(options_.item, NoticeRequestTimeoutMs);
      if (!text) return Failed("monitor");
      for (const std::string& line : SplitLines(*text)) {
        if (lines != 0 && shown == lines) break;
        Write(out_, line + "\n");
        ++shown;
      }
      // Each line as it comes, also into a pipe or a file: the user may stop us at any time.
      std::fflush(out_);
    }
    return true;
  }

  const ZelctlOptions& options_;
  LinkClient& link_;
  std::FILE* in_;
  std::FILE* out_;
  std::FILE* errors_;
};

}  // namespace

int RunZelctlActions(const ZelctlOptions& options, LinkClient& link, std::FILE* in, std::FILE* out,
                     std::FILE* errors) {
  ActionRunner runner(options, link, in, out, errors);
  for (const auto& action : options.actions)
    if (!runner.Run(action)) return 1;
  return 0;
}

}  // namespace zel

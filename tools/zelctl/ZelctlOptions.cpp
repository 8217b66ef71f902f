#include "tools/zelctl/ZelctlOptions.h"

#include "common/ParseNumber.h"

namespace zel {

const std::string ZelctlUsage =
    "usage: zelctl [--service NAME] [--topic NAME] [--item NAME] [--timeout MS] ACTION [ACTION "
    "...]\n"
    "\n"
    "Talks to a running ZEL driver over its local link; actions run in order on one conversation.\n"
    "  poke TEXT     poke TEXT into the item (\"poke -\" reads it from standard input)\n"
    "  execute WORD  execute WORD without waiting\n"
    "  request       request the item and write its text as received\n"
    "  run WORD      execute WORD, then request until the answer is not empty (bounded by "
    "--timeout)\n"
    "  watch N       open an advise link; for each of the next N notices request the item and\n"
    "                write its text\n"
    "  monitor [--count N]\n"
    "                the line monitor: write one line for each read (R) or write (W) on the\n"
    "                serial line, until N lines or the driver's end (topic " +
    std::string(MonitorTopic) + ", item " + MonitorItem +
    "); the only action\n"
    "\n"
    "Defaults: --service " +
    std::string(DriverService) + " --topic " + DriverTopic + " --item " + DriverItem +
    " --timeout " + std::to_string(DefaultZelctlTimeoutMs) +
    ".\n"
    "Exit status: 0 done; 1 a transaction was refused, failed or timed out; 2 usage error;\n"
    "3 no conversation (driver not running, or topic refused). zelctl never starts the driver.\n";

namespace {

constexpr int LongestTimeoutMs = 24 * 3600 * 1000;
constexpr long MostNotices = 1000000;

}  // namespace

std::optional<ZelctlOptions> ParseZelctlOptions(const std::vector<std::string>& arguments,
                                                std::string& error) {
  ZelctlOptions options;
  std::size_t at = 0;
  auto value = [&](const std::string& option) -> const std::string* {
    if (at + 1 >= arguments.size()) {
      error = option + " needs a value";
      return nullptr;
    }
    return &arguments[++at];
  };

  for (; at < arguments.size(); ++at) {
    const std::string& word = arguments[at];
    if (word == "--help" || word == "-h") {
      options.help = true;
      return options;
    }
    if (word.rfind("--", 0) != 0) break;
    const std::string* text = value(word);
    if (!text) return std::nullopt;
    if (word == "--service") {
      options.service = *text;
    } else if (word == "--topic") {
      options.topic = *text;
    } else if (word == "--item") {
      options.item = *text;
    } else if (word == "--timeout") {
      const auto ms = ParseNumber<int>(*text, 0, LongestTimeoutMs);
      if (!ms) {
        error = "--timeout needs a number of milliseconds, not \"" + *text + "\"";
        return std::nullopt;
      }
      options.timeoutMs = *ms;
    } else {
      error = "unknown option " + word;
      return std::nullopt;
    }
  }

  for (; at < arguments.size(); ++at) {
    const std::string& word = arguments[at];
    ZelctlAction action;
    if (word == "request") {
      action.type = ZelctlAction::Type::Request;
      options.actions.push_back(action);
      continue;
    }
    if (word == "monitor") {
      action.type = ZelctlAction::Type::Monitor;
      if (at + 1 < arguments.size() && arguments[at + 1] == "--count") {
        const std::string count = at + 2 < arguments.size() ? arguments[at + 2] : std::string();
        const auto lines = ParseNumber<long>(count, 1, MostNotices);
        if (!lines) {
          error = "monitor --count needs a positive number of lines, not \"" + count + "\"";
          return std::nullopt;
        }
        action.count = *lines;
        at += 2;
      }
      // Its own topic: a conversation serves one.
      options.topic = MonitorTopic;
      options.item = MonitorItem;
      options.actions.push_back(action);
      continue;
    }
    static const struct {
      const char* name;
      ZelctlAction::Type type;
    } withArgument[] = {{"poke", ZelctlAction::Type::Poke},
                        {"execute", ZelctlAction::Type::Execute},
                        {"run", ZelctlAction::Type::Run},
                        {"watch", ZelctlAction::Type::Watch}};
    bool known = false;
    for (const auto& entry : withArgument) {
      if (word != entry.name) continue;
      known = true;
      if (at + 1 >= arguments.size()) {
        error = word + " needs an argument";
        return std::nullopt;
      }
      action.type = entry.type;
      action.argument = arguments[++at];
      if (action.type == ZelctlAction::Type::Watch) {
        const auto count = ParseNumber<long>(action.argument, 1, MostNotices);
        if (!count) {
          error = "watch needs a positive number of notices, not \"" + action.argument + "\"";
          return std::nullopt;
        }
        action.count = *count;
      }
    }
    if (!known) {
      error = "unknown action \"" + word + "\"";
      return std::nullopt;
    }
    options.actions.push_back(action);
  }
  if (options.actions.empty()) {
    error = "no action given";
    return std::nullopt;
  }
  if (options.actions.size() > 1) {
    for (const auto& action : options.actions) {
      if (action.type == ZelctlAction::Type::Monitor) {
        error = "monitor is the only action of its conversation";
        return std::nullopt;
      }
    }
  }
  return options;
}

}  // namespace zel

#pragma once
// A data item served on the link: a list of text lines that clients poke, request and watch.

#include <functional>
#include <string>
#include <vector>

namespace zel {

class ServerItem {
 public:
  explicit ServerItem(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // The first line, or the empty text while there is no line.
  std::string Text() const;

  // Replaces all lines by this one line (the empty text gives one empty line) and notifies,
  // also when nothing changed.
  void SetText(const std::string& text);

  // Replaces all lines (a poke's lines) and notifies.
  void SetLines(std::vector<std::string> lines);

  // What a request is answered with: every line followed by CR LF.
  std::string RequestText() const;

  // Called after every setting; the link uses it for its advise links.
  void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  void Changed() const;

  std::string name_;
  std::vector<std::string> lines_;
  std::function<void()> listener_;
};

}  // namespace zel

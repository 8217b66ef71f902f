#include "ddelink/ServerItem.h"

#include "ddelink/TextLines.h"

namespace zel {

std::string ServerItem::Text() const { return lines_.empty() ? std::string() : lines_.front(); }

void ServerItem::SetText(const std::string& text) { SetLines({text}); }

void ServerItem::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Changed();
}

std::string ServerItem::RequestText() const { return JoinLines(lines_); }

void ServerItem::Changed() const {
  if (listener_) listener_();
}

}  // namespace zel

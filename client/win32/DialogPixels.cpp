#include "client/win32/DialogPixels.h"

#include <cstdint>
#include <cstring>

namespace zel::win32 {

namespace {

// Walks the words of a DLGTEMPLATEEX resource (all fields are 16-bit aligned, items 32-bit).
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, std::size_t size) : begin_(data), at_(data), end_(data + size) {}

  bool Ok() const { return ok_; }

  uint16_t Word() { return Read<uint16_t>(); }
  uint32_t DoubleWord() { return Read<uint32_t>(); }
  int16_t Short() { return Read<int16_t>(); }
  void Skip(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - at_) < bytes) ok_ = false;
    at_ = ok_ ? at_ + bytes : end_;
  }
  // A name or an ordinal: 0 (none), 0xFFFF and a number, or a NUL-terminated UTF-16 string.
  void SkipNameOrOrdinal() {
    const uint16_t first = Word();
    if (first == 0xFFFF) {
      Word();
    } else {
      for (uint16_t unit = first; ok_ && unit != 0;) unit = Word();
    }
  }
  void AlignToDoubleWord() {
    const std::size_t offset = static_cast<std::size_t>(at_ - begin_);
    Skip((4 - offset % 4) % 4);
  }

 private:
  template <typename T>
  T Read() {
    T value{};
    if (static_cast<std::size_t>(end_ - at_) < sizeof value) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }

  const BYTE* begin_;
  const BYTE* at_;
  const BYTE* end_;
  bool ok_ = true;
};

struct PixelRect {
  int x, y, width, height;
};

PixelRect ReadRect(TemplateReader& reader) {
  PixelRect rect{};
  rect.x = reader.Short();
  rect.y = reader.Short();
  rect.width = reader.Short();
  rect.height = reader.Short();
  return rect;
}

void Place(HWND window, const PixelRect& rect) {
  SetWindowPos(window, nullptr, rect.x, rect.y, rect.width, rect.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool PlaceAtTemplatePixels(HWND dialog, HINSTANCE instance, int templateId) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  HGLOBAL loaded = resource != nullptr ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  TemplateReader reader(static_cast<const BYTE*>(data), SizeofResource(instance, resource));

  const uint16_t version = reader.Word();
  const uint16_t signature = reader.Word();
  if (!reader.Ok() || version != 1 || signature != 0xFFFF) return false;
  reader.DoubleWord();  // help id
  reader.DoubleWord();  // extended style
  const uint32_t style = reader.DoubleWord();
  const uint16_t items = reader.Word();
  const PixelRect frame = ReadRect(reader);
  reader.SkipNameOrOrdinal();  // menu
  reader.SkipNameOrOrdinal();  // window class
  reader.SkipNameOrOrdinal();  // title
  if (style & (DS_SETFONT | DS_SHELLFONT)) {
    reader.Skip(2 + 2 + 1 + 1);  // point size, weight, italic, character set
    reader.SkipNameOrOrdinal();  // typeface
  }
  for (uint16_t item = 0; reader.Ok() && item < items; ++item) {
    reader.AlignToDoubleWord();
    reader.DoubleWord();  // help id
    reader.DoubleWord();  // extended style
    reader.DoubleWord();  // style
    const PixelRect rect = ReadRect(reader);
    const uint32_t id = reader.DoubleWord();
    reader.SkipNameOrOrdinal();  // class
    reader.SkipNameOrOrdinal();  // title
    reader.Skip(reader.Word());  // creation data
    if (!reader.Ok()) break;
    if (HWND control = GetDlgItem(dialog, static_cast<int>(id))) Place(control, rect);
  }
  if (!reader.Ok()) return false;
  Place(dialog, frame);
  return true;
}

}  // namespace zel::win32

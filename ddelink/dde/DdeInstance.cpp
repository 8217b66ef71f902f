#include "ddelink/dde/DdeInstance.h"

namespace zel {

unsigned DdeInstance::Open(PFNCALLBACK callback, DWORD flags) {
  Close();
  DWORD id = 0;
  const UINT result = DdeInitializeA(&id, callback, flags, 0);
  if (result == DMLERR_NO_ERROR) id_ = id;
  return result;
}

void DdeInstance::Close() {
  if (id_ == 0) return;
  for (const auto& string : strings_) DdeFreeStringHandle(id_, string.second);
  strings_.clear();
  DdeUninitialize(id_);
  id_ = 0;
}

HSZ DdeInstance::String(const std::string& text) {
  if (const auto known = strings_.find(text); known != strings_.end()) return known->second;
  if (text.find('\0') != std::string::npos) return nullptr;
  const HSZ handle = DdeCreateStringHandleA(id_, text.c_str(), CP_WINANSI);
  if (handle != nullptr) strings_.emplace(text, handle);
  return handle;
}

std::string DdeInstance::Text(HSZ handle) const {
  if (handle == nullptr) return {};
  const DWORD length = DdeQueryStringA(id_, handle, nullptr, 0, CP_WINANSI);
  std::string text(length + 1, '\0');
  const DWORD got = DdeQueryStringA(id_, handle, text.data(), length + 1, CP_WINANSI);
  text.resize(got < length ? got : length);
  return text;
}

}  // namespace zel

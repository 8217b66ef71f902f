#pragma once
// How the data files under tests/data write texts and bytes, read without the code under test:
// texts bare or in double quotes with \r \n \t \0 and \xHH escapes, "text"*N for N copies; bytes
// as two hex digits each ("05 02 FF*3" for 05 02 FF FF FF).

#include <cstdint>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace zel::test {

inline std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last + 1 - first);
}

// The pieces between the separators, trimmed.
inline std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  for (size_t at = 0, next = 0; next != std::string::npos; at = next + separator.size()) {
    next = text.find(separator, at);
    pieces.push_back(Trim(text.substr(at, next - at)));
  }
  return pieces;
}

inline std::string Repeat(const std::string& piece, int times) {
  std::string result;
  while (times-- > 0) result += piece;
  return result;
}

// The words of a row: bare words, or quoted texts with their escapes undone.
inline std::vector<std::string> Words(const std::string& row) {
  static const std::regex word(R"re("((?:[^"\\]|\\.)*)"(?:\*(\d+))?|(\S+))re");
  static const std::map<char, char> escapes = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'0', '\0'}};
  std::vector<std::string> words;
  for (std::sregex_iterator it(row.begin(), row.end(), word), end; it != end; ++it) {
    const std::string body = (*it)[1];
    std::string text;
    for (size_t at = 0; at < body.size(); ++at) {
      if (body[at] != '\\') {
        text += body[at];
      } else if (body[++at] == 'x') {
        text += static_cast<char>(std::stoi(body.substr(at + 1, 2), nullptr, 16));
        at += 2;
      } else {
        text += escapes.count(body[at]) ? escapes.at(body[at]) : body[at];
      }
    }
    words.push_back((*it)[3].str() + Repeat(text, (*it)[2].matched ? std::stoi((*it)[2]) : 1));
  }
  return words;
}

// A value as one text: quoted pieces joined, or the bare text as it stands.
inline std::string Text(const std::string& value) {
  if (value.empty() || value[0] != '"') return value;
  std::string joined;
  for (const std::string& word : Words(value)) joined += word;
  return joined;
}

// The reverse, for what a test sees: line ends and tabs written as escapes.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
  return quoted + '"';
}

inline std::vector<uint8_t> ParseBytes(const std::string& hex) {
  std::istringstream in(hex);
  std::vector<uint8_t> bytes;
  for (std::string token; in >> token;) {
    const size_t star = token.find('*');
    const int times = star == std::string::npos ? 1 : std::stoi(token.substr(star + 1));
    bytes.insert(bytes.end(), times,
                 static_cast<uint8_t>(std::stoul(token.substr(0, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::string HexOf(const uint8_t* bytes, size_t count) {
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += {"0123456789ABCDEF"[bytes[i] >> 4], "0123456789ABCDEF"[bytes[i] & 15], ' '};
  }
  return Trim(hex);
}

}  // namespace zel::test

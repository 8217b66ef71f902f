#pragma once
// The client's data files: bare words, and texts in double quotes with \t \r \n and \xHH escapes,
// "text"*N standing for N copies.

#include <regex>
#include <string>
#include <vector>

namespace zel::test {

inline std::vector<std::string> Words(const std::string& row) {
  static const std::regex word(R"re("((?:[^"\\]|\\.)*)"(?:\*(\d+))?|(\S+))re");
  std::vector<std::string> words;
  for (std::sregex_iterator it(row.begin(), row.end(), word), end; it != end; ++it) {
    const std::string body = (*it)[1];
    std::string text;
    for (size_t at = 0; at < body.size(); ++at) {
      if (body[at] != '\\')
        text += body[at];
      else if (body[++at] == 'x')  // two hex digits follow, at stops on the second
        text += static_cast<char>(std::stoi(body.substr((at += 2) - 1, 2), nullptr, 16));
      else
        text += body[at] == 't' ? '\t' : body[at] == 'r' ? '\r' : body[at] == 'n' ? '\n' : body[at];
    }
    words.push_back((*it)[3]);
    for (int copies = (*it)[2].matched ? std::stoi((*it)[2]) : 1; copies > 0; --copies)
      words.back() += text;
  }
  return words;
}

// The reverse, for what a test sees: line ends and tabs written as escapes.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
  return quoted + '"';
}

}  // namespace zel::test

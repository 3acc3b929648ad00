#include "KeyValueFile.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace elmhost {

namespace {

bool isKeyChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-';
}

void skipBlanks(const std::string& s, std::size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
}

bool atComment(const std::string& s, std::size_t i) { return i + 1 < s.size() && s[i] == '/' && s[i + 1] == '/'; }

}  // namespace

void KeyValueFile::Parse(const std::string& text, std::map<std::string, std::string>& out, const ErrorFn& onError) {
  // Editors on the users' side often save UTF-8 with a byte order mark.
  static const std::string bom = "\xEF\xBB\xBF";
  std::istringstream in(text.compare(0, bom.size(), bom) == 0 ? text.substr(bom.size()) : text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    std::size_t i = 0;
    skipBlanks(line, i);
    if (i == line.size() || atComment(line, i)) continue;
    auto fail = [&](const char* why) {
      if (onError) onError(lineNo, why);
    };
    std::size_t k = i;
    while (i < line.size() && isKeyChar(line[i])) ++i;
    if (i == k) {
      fail("expected a key");
      continue;
    }
    std::string key = line.substr(k, i - k);
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != '=') {
      fail("expected '=' after the key");
      continue;
    }
    ++i;
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != '"') {
      fail("expected a quoted text after '='");
      continue;
    }
    ++i;
    std::string value;
    bool closed = false;
    while (i < line.size()) {
      char c = line[i++];
      if (c == '"') {
        closed = true;
        break;
      }
      if (c == '\\' && i < line.size()) {
        char e = line[i++];
        switch (e) {
          case 'n': value += '\n'; break;
          case 't': value += '\t'; break;
          case 'r': value += '\r'; break;
          default: value += e; break;
        }
        continue;
      }
      value += c;
    }
    if (!closed) {
      fail("unterminated quoted text");
      continue;
    }
    skipBlanks(line, i);
    if (i >= line.size() || line[i] != ';') {
      fail("expected ';' after the text");
      continue;
    }
    ++i;
    skipBlanks(line, i);
    if (i != line.size() && !atComment(line, i)) {
      fail("unexpected text after ';'");
      continue;
    }
    out[key] = std::move(value);
  }
}

bool KeyValueFile::Read(const std::string& path, std::map<std::string, std::string>& out, const ErrorFn& onError) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  Parse(ss.str(), out, onError);
  return true;
}

std::string KeyValueFile::Quote(const std::string& value) {
  std::string r = "\"";
  for (char c : value) {
    switch (c) {
      case '"': r += "\\\""; break;
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\t': r += "\\t"; break;
      case '\r': r += "\\r"; break;
      default: r += c;
    }
  }
  return r + "\"";
}

}  // namespace elmhost

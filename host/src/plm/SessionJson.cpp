#include "SessionJson.h"

#include <algorithm>
#include <vector>

namespace elmhost {

namespace {

constexpr std::size_t kLineWidth = 100;
constexpr std::size_t kIndentedLevels = 12;

void AppendString(std::string& out, const std::string& s) {
  static const char hex[] = "0123456789abcdef";
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

std::size_t StringLength(const std::string& s, std::size_t budget) {
  std::size_t n = 2;
  for (unsigned char c : s) {
    n += c == '"' || c == '\\' || c == '\b' || c == '\f' || c == '\n' || c == '\r' || c == '\t' ? 2 : c < 0x20 ? 6 : 1;
    if (n > budget) break;
  }
  return n;
}

std::size_t ScalarLength(const SessionDocument& v, std::size_t budget) {
  if (v.is_string()) return StringLength(v.get_ref<const std::string&>(), budget);
  return v.dump().size();
}

void AppendScalar(std::string& out, const SessionDocument& v) {
  if (v.is_string())
    AppendString(out, v.get_ref<const std::string&>());
  else
    out += v.dump();
}

bool AllScalars(const SessionDocument& array) {
  for (const auto& item : array)
    if (item.is_structured()) return false;
  return true;
}

/// Whether v written on one line takes at most budget bytes. Stops as soon
/// as the budget is spent, so it costs at most about budget steps.
bool FitsOnALine(const SessionDocument& v, std::size_t budget) {
  struct Level {
    SessionDocument::const_iterator it, end;
    bool object;
  };
  std::vector<Level> levels;
  std::size_t n = 0;
  const SessionDocument* next = &v;
  for (;;) {
    if (next) {
      const SessionDocument& x = *next;
      next = nullptr;
      if (!x.is_structured())
        n += ScalarLength(x, budget);
      else if (x.empty())
        n += 2;
      else {
        n += 4;  // "{ " and " }"
        levels.push_back({x.cbegin(), x.cend(), x.is_object()});
      }
      if (n > budget) return false;
    }
    if (levels.empty()) return true;
    Level& l = levels.back();
    if (l.it == l.end) {
      levels.pop_back();
      continue;
    }
    if (l.object) n += StringLength(l.it.key(), budget) + 2;
    next = &*l.it;
    ++l.it;
    if (l.it != l.end) n += 2;  // ", "
  }
}

/// Builds the document from the parser's events. The library's own builder
/// inserts each member into its object as it comes, and a growing object
/// copies its earlier members, deeply and recursively; here an object is
/// made once its members are all known, so nothing is ever copied.
class DocumentBuilder : public nlohmann::json_sax<SessionDocument> {
public:
  bool null() override { return Add(SessionDocument(nullptr)); }
  bool boolean(bool value) override { return Add(SessionDocument(value)); }
  bool number_integer(number_integer_t value) override { return Add(SessionDocument(value)); }
  bool number_unsigned(number_unsigned_t value) override { return Add(SessionDocument(value)); }
  bool number_float(number_float_t value, const string_t&) override { return Add(SessionDocument(value)); }
  bool string(string_t& value) override { return Add(SessionDocument(std::move(value))); }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    m_frames.emplace_back();
    m_frames.back().object = true;
    return true;
  }
  bool key(string_t& key) override {
    m_frames.back().key = std::move(key);
    return true;
  }
  bool end_object() override {
    Frame f = std::move(m_frames.back());
    m_frames.pop_back();
    if (const std::string* twice = Repeated(f.members)) {
      m_where = Path();
      m_what = "the field \"" + *twice + "\" appears twice";
      return false;
    }
    SessionDocument object(SessionDocument::value_t::object);
    auto* members = object.get_ptr<SessionDocument::object_t*>();
    members->reserve(f.members.size());
    for (auto& [k, v] : f.members) members->emplace_back(std::move(k), std::move(v));
    return Add(std::move(object));
  }
  bool start_array(std::size_t) override {
    m_frames.emplace_back();
    return true;
  }
  bool end_array() override {
    Frame f = std::move(m_frames.back());
    m_frames.pop_back();
    SessionDocument array(SessionDocument::value_t::array);
    *array.get_ptr<SessionDocument::array_t*>() = std::move(f.items);
    return Add(std::move(array));
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    // The library's message starts with its own tag; the user wants the place and the reason.
    m_what = e.what();
    if (auto p = m_what.find("] "); p != std::string::npos) m_what.erase(0, p + 2);
    return false;
  }

  SessionDocument m_root;
  std::string m_where, m_what;

private:
  struct Frame {
    bool object = false;
    std::string key;
    std::vector<std::pair<std::string, SessionDocument>> members;
    std::vector<SessionDocument> items;
  };

  bool Add(SessionDocument&& value) {
    if (m_frames.empty()) {
      m_root = std::move(value);
    } else if (Frame& f = m_frames.back(); f.object) {
      f.members.emplace_back(std::move(f.key), std::move(value));
    } else {
      f.items.push_back(std::move(value));
    }
    return true;
  }

  static const std::string* Repeated(const std::vector<std::pair<std::string, SessionDocument>>& members) {
    if (members.size() < 2) return nullptr;
    std::vector<const std::string*> keys;
    keys.reserve(members.size());
    for (const auto& m : members) keys.push_back(&m.first);
    std::sort(keys.begin(), keys.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
    auto same = std::adjacent_find(keys.begin(), keys.end(),
                                   [](const std::string* a, const std::string* b) { return *a == *b; });
    return same == keys.end() ? nullptr : *same;
  }

  /// The place of the object being closed.
  std::string Path() const {
    std::string out;
    for (const Frame& f : m_frames) out += "/" + (f.object ? f.key : std::to_string(f.items.size()));
    return out;
  }

  std::vector<Frame> m_frames;
};

class Writer {
public:
  explicit Writer(std::string& out) : m_out(out) {}

  void Write(const SessionDocument& root) {
    Open(root, 0, false);
    while (!m_frames.empty()) {
      Frame& f = m_frames.back();
      if (f.it == f.end) {
        if (f.oneLine) {
          m_out += f.object ? " }" : " ]";
        } else {
          m_out += '\n';
          Indent(f.depth);
          m_out += f.object ? '}' : ']';
        }
        m_frames.pop_back();
        continue;
      }
      if (!f.first) m_out += f.oneLine ? ", " : ",\n";
      f.first = false;
      if (!f.oneLine) Indent(f.depth + 1);
      if (f.object) {
        AppendString(m_out, f.it.key());
        m_out += ": ";
      }
      const SessionDocument& child = *f.it;
      ++f.it;
      Open(child, f.depth + 1, f.oneLine);  // may add a frame: f is not used after this
    }
    m_out += '\n';
  }

private:
  struct Frame {
    SessionDocument::const_iterator it, end;
    std::size_t depth;
    bool object, oneLine, first;
  };

  void Open(const SessionDocument& v, std::size_t depth, bool onParentsLine) {
    if (!v.is_structured()) {
      AppendScalar(m_out, v);
      return;
    }
    if (v.empty()) {
      m_out += v.is_object() ? "{}" : "[]";
      return;
    }
    bool oneLine = onParentsLine || depth >= kIndentedLevels || (v.is_array() && AllScalars(v)) ||
                   FitsOnALine(v, kLineWidth);
    m_out += v.is_object() ? '{' : '[';
    m_out += oneLine ? ' ' : '\n';
    m_frames.push_back({v.cbegin(), v.cend(), depth, v.is_object(), oneLine, true});
  }

  void Indent(std::size_t depth) { m_out.append(2 * depth, ' '); }

  std::string& m_out;
  std::vector<Frame> m_frames;
};

}  // namespace

bool CheckNesting(const std::string& text, std::size_t maxDepth, std::size_t& line, std::size_t& column) {
  std::size_t depth = 0;
  std::size_t lineStart = 0;
  line = 1;
  bool inString = false, escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
      continue;
    }
    switch (c) {
      case '"': inString = true; break;
      case '\n':
        ++line;
        lineStart = i + 1;
        break;
      case '[':
      case '{':
        if (++depth > maxDepth) {
          column = i - lineStart + 1;
          return false;
        }
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      default: break;
    }
  }
  return true;
}

bool ParseSessionText(const std::string& text, SessionDocument& doc, std::string& where, std::string& what) {
  DocumentBuilder builder;
  if (!SessionDocument::sax_parse(text, &builder)) {
    where = std::move(builder.m_where);
    what = std::move(builder.m_what);
    return false;
  }
  doc = std::move(builder.m_root);
  return true;
}

std::string WriteSessionText(const SessionDocument& doc) {
  std::string out;
  Writer(out).Write(doc);
  return out;
}

}  // namespace elmhost

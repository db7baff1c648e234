#include "json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tvsim {
namespace {

void DumpString(std::string& out, const std::string& s) {
  out.push_back('"');
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

void NewLine(std::string& out, int indent, int depth) {
  if (indent <= 0) return;
  out.push_back('\n');
  out.append(static_cast<std::size_t>(indent * depth), ' ');
}

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::optional<Json> Document(std::string* error) {
    std::optional<Json> v = Value(0);
    if (v) {
      SkipBlanks();
      if (pos_ != s_.size()) Fail("unexpected text after the value");
    }
    if (!error_.empty()) {
      if (error) *error = error_ + " at byte " + std::to_string(failPos_);
      return std::nullopt;
    }
    return v;
  }

 private:
  static constexpr int kMaxDepth = 200;

  void Fail(const char* what) {
    if (error_.empty()) {
      error_ = what;
      failPos_ = pos_;
    }
  }
  void SkipBlanks() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<Json> Value(int depth) {
    if (depth > kMaxDepth) {
      Fail("nested too deeply");
      return std::nullopt;
    }
    SkipBlanks();
    if (pos_ >= s_.size()) {
      Fail("unexpected end");
      return std::nullopt;
    }
    const char c = s_[pos_];
    if (c == '{') return ObjectValue(depth);
    if (c == '[') return ArrayValue(depth);
    if (c == '"') {
      std::string str;
      if (!String(str)) return std::nullopt;
      return Json(std::move(str));
    }
    if (Literal("true")) return Json(true);
    if (Literal("false")) return Json(false);
    if (Literal("null")) return Json(nullptr);
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    Fail("unexpected character");
    return std::nullopt;
  }

  std::optional<Json> Number() {
    const std::size_t start = pos_;
    if (s_[pos_] == '-') ++pos_;
    auto digits = [&] {
      const std::size_t from = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
      return pos_ > from;
    };
    if (!digits()) {
      Fail("bad number");
      return std::nullopt;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!digits()) {
        Fail("bad number");
        return std::nullopt;
      }
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digits()) {
        Fail("bad number");
        return std::nullopt;
      }
    }
    const std::string text(s_.substr(start, pos_ - start));
    return Json(std::strtod(text.c_str(), nullptr));
  }

  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
      out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
  }

  bool Hex4(uint32_t& value) {
    if (pos_ + 4 > s_.size()) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[pos_++];
      value <<= 4;
      if (h >= '0' && h <= '9')
        value |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f')
        value |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        value |= static_cast<uint32_t>(h - 'A' + 10);
      else
        return false;
    }
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // opening quote
    while (pos_ < s_.size()) {
      const char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) {
        Fail("control character in string");
        return false;
      }
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= s_.size()) break;
      const char e = s_[pos_++];
      switch (e) {
        case '"':
          out.push_back('"');
          break;
        case '\\':
          out.push_back('\\');
          break;
        case '/':
          out.push_back('/');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) {
            Fail("bad \\u escape");
            return false;
          }
          if (cp >= 0xd800 && cp < 0xdc00 && s_.substr(pos_, 2) == "\\u") {
            pos_ += 2;
            uint32_t low = 0;
            if (!Hex4(low) || low < 0xdc00 || low >= 0xe000) {
              Fail("bad surrogate pair");
              return false;
            }
            cp = 0x10000 + ((cp - 0xd800) << 10) + (low - 0xdc00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          Fail("bad escape");
          return false;
      }
    }
    Fail("unterminated string");
    return false;
  }

  std::optional<Json> ArrayValue(int depth) {
    ++pos_;
    Json arr = Json::Array();
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return arr;
    }
    for (;;) {
      std::optional<Json> item = Value(depth + 1);
      if (!item) return std::nullopt;
      arr.Push(std::move(*item));
      SkipBlanks();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == ']') {
        ++pos_;
        return arr;
      }
      Fail("expected , or ]");
      return std::nullopt;
    }
  }

  std::optional<Json> ObjectValue(int depth) {
    ++pos_;
    Json obj = Json::Object();
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return obj;
    }
    for (;;) {
      SkipBlanks();
      if (pos_ >= s_.size() || s_[pos_] != '"') {
        Fail("expected a member name");
        return std::nullopt;
      }
      std::string key;
      if (!String(key)) return std::nullopt;
      SkipBlanks();
      if (pos_ >= s_.size() || s_[pos_] != ':') {
        Fail("expected :");
        return std::nullopt;
      }
      ++pos_;
      std::optional<Json> value = Value(depth + 1);
      if (!value) return std::nullopt;
      obj.Set(key, std::move(*value));
      SkipBlanks();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == '}') {
        ++pos_;
        return obj;
      }
      Fail("expected , or }");
      return std::nullopt;
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::string error_;
  std::size_t failPos_ = 0;
};

}  // namespace

Json& Json::Set(const std::string& key, Json value) {
  for (auto& m : members_)
    if (m.first == key) {
      m.second = std::move(value);
      return m.second;
    }
  members_.emplace_back(key, std::move(value));
  return members_.back().second;
}

const Json* Json::Find(std::string_view key) const {
  for (const auto& m : members_)
    if (m.first == key) return &m.second;
  return nullptr;
}

std::string Json::Dump(int indent, int flatFrom) const {
  std::string out;
  DumpTo(out, indent, 0, flatFrom);
  if (indent > 0) out.push_back('\n');
  return out;
}

void Json::DumpTo(std::string& out, int indent, int depth, int flatFrom) const {
  if (flatFrom >= 0 && depth >= flatFrom) indent = 0;
  switch (type_) {
    case Type::Null:
      out += "null";
      break;
    case Type::Bool:
      out += bool_ ? "true" : "false";
      break;
    case Type::Number: {
      char buf[32];
      if (std::isfinite(number_) && number_ == std::floor(number_) && std::fabs(number_) < 1e15)
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(number_));
      else if (std::isfinite(number_))
        std::snprintf(buf, sizeof buf, "%.17g", number_);
      else
        std::snprintf(buf, sizeof buf, "null");
      out += buf;
      break;
    }
    case Type::String:
      DumpString(out, string_);
      break;
    case Type::Array:
      out.push_back('[');
      for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i) out += indent > 0 ? "," : ", ";
        NewLine(out, indent, depth + 1);
        items_[i].DumpTo(out, indent, depth + 1, flatFrom);
      }
      if (!items_.empty()) NewLine(out, indent, depth);
      out.push_back(']');
      break;
    case Type::Object:
      out.push_back('{');
      for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i) out += indent > 0 ? "," : ", ";
        NewLine(out, indent, depth + 1);
        DumpString(out, members_[i].first);
        out += ": ";
        members_[i].second.DumpTo(out, indent, depth + 1, flatFrom);
      }
      if (!members_.empty()) NewLine(out, indent, depth);
      out.push_back('}');
      break;
  }
}

std::optional<Json> Json::Parse(std::string_view text, std::string* error) {
  return Parser(text).Document(error);
}

}  // namespace tvsim

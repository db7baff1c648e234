#include "xml/xml_document.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"

namespace quenlo::xml {
namespace {

// GBK: a byte of 0x81 or above starts a two-byte character, and the byte
// after it belongs to that character whatever its value. A lead byte that is
// the last byte of the text stands alone, so no scan reads past the end.
inline size_t NextChar(std::string_view s, size_t p) {
  return static_cast<unsigned char>(s[p]) >= 0x81 && p + 1 < s.size() ? p + 2 : p + 1;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Position of the first occurrence of `what` in s[from, end) that starts on a
// character boundary; npos when there is none.
size_t FindOnBoundary(std::string_view s, size_t from, std::string_view what) {
  for (size_t p = from; p < s.size(); p = NextChar(s, p))
    if (s.compare(p, what.size(), what) == 0) return p;
  return std::string_view::npos;
}

size_t FindCharOnBoundary(std::string_view s, size_t from, char what) {
  for (size_t p = from; p < s.size(); p = NextChar(s, p))
    if (s[p] == what) return p;
  return std::string_view::npos;
}

// `s` without leading and trailing blanks, TABs, CR and LF. The end is found
// by walking forward so that the second byte of a two-byte character is
// never taken for white space.
std::string_view TrimBlanks(std::string_view s) {
  size_t begin = 0;
  while (begin < s.size() && IsBlank(s[begin])) ++begin;
  size_t end = begin;
  for (size_t p = begin; p < s.size();) {
    size_t next = NextChar(s, p);
    if (!IsBlank(s[p])) end = next;
    p = next;
  }
  return s.substr(begin, end - begin);
}

bool IsAllBlank(std::string_view s) {
  for (char c : s)
    if (!IsBlank(c)) return false;
  return true;
}

// The N of a segment or attribute name "@N" (N decimal digits, value at
// least 1); 0 when `s` has another form. Values too large for any list are
// held at SIZE_MAX, which then matches nothing.
size_t PositionalIndex(std::string_view s) {
  if (s.size() < 2 || s[0] != '@') return 0;
  size_t value = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return 0;
    unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (SIZE_MAX - digit) / 10)
      value = SIZE_MAX;
    else
      value = value * 10 + digit;
  }
  return value;
}

// Destroys a tree without recursion: each element's children are moved out
// to a work list before the element itself goes, so no destructor ever sees
// a child. A tree nested a hundred thousand levels deep is freed in a loop.
void DestroyTree(std::unique_ptr<XmlElement> root) {
  if (!root) return;
  std::vector<std::unique_ptr<XmlElement>> pending;
  pending.push_back(std::move(root));
  while (!pending.empty()) {
    std::unique_ptr<XmlElement> e = std::move(pending.back());
    pending.pop_back();
    for (auto& child : e->children) pending.push_back(std::move(child));
    e->children.clear();
  }
}

const XmlElement* Resolve(const XmlElement* root, std::string_view path) {
  if (root == nullptr || path.empty()) return nullptr;

  // Cut at every '/' that is not the second byte of a two-byte character.
  std::vector<std::string_view> segments;
  size_t start = 0;
  for (size_t p = 0; p < path.size(); p = NextChar(path, p)) {
    if (path[p] == '/') {
      segments.push_back(path.substr(start, p - start));
      start = p + 1;
    }
  }
  segments.push_back(path.substr(start));
  // A trailing '/' names the element before it.
  if (segments.size() > 1 && segments.back().empty()) segments.pop_back();

  const std::string_view first = segments.front();
  if (first.empty() || (first != root->name && first != "@1")) return nullptr;

  const XmlElement* e = root;
  for (size_t i = 1; i < segments.size(); ++i) {
    const std::string_view seg = segments[i];
    if (seg.empty()) return nullptr;
    const XmlElement* next = nullptr;
    if (size_t n = PositionalIndex(seg); n != 0) {
      if (n <= e->children.size()) next = e->children[n - 1].get();
    } else {
      for (const auto& child : e->children)
        if (child->name == seg) {
          next = child.get();
          break;
        }
    }
    if (next == nullptr) return nullptr;
    e = next;
  }
  return e;
}

// ---------------------------------------------------------------------------
// Reading.

// The input with every comment "<!-- ... -->" cut out. Comments go before
// anything else is looked at, so one inside a text, a value or a CDATA
// section disappears as well, and the text around it joins up. An unclosed
// comment runs to the end of the input. Returns `in` itself when there is no
// comment, otherwise a view of `buffer`.
std::string_view RemoveComments(std::string_view in, std::string& buffer) {
  size_t open = FindOnBoundary(in, 0, "<!--");
  if (open == std::string_view::npos) return in;
  buffer.reserve(in.size());
  size_t copied = 0;
  while (open != std::string_view::npos) {
    buffer.append(in.substr(copied, open - copied));
    size_t close = FindOnBoundary(in, open + 4, "-->");
    if (close == std::string_view::npos) {
      copied = in.size();
      break;
    }
    copied = close + 3;
    open = FindOnBoundary(in, copied, "<!--");
  }
  buffer.append(in.substr(copied));
  return buffer;
}

// One pass over the bytes with an explicit stack of open elements, so the
// depth of the input never reaches the call stack.
class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}
  // Also reached when an allocation fails midway: a partly built tree is
  // freed without recursion like any other.
  ~Parser() { DestroyTree(std::move(root_)); }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // The parsed root, or nullptr when the bytes do not form a document.
  std::unique_ptr<XmlElement> Run() {
    if (!Parse()) {
      DestroyTree(std::move(root_));
      return nullptr;
    }
    return std::move(root_);
  }

 private:
  struct Open {
    XmlElement* element;
    bool textTaken;  // a text, a CDATA section or a child has been seen
  };

  static constexpr std::string_view kCdataOpen = "<![CDATA[";

  bool At(size_t p, std::string_view what) const { return s_.compare(p, what.size(), what) == 0; }

  bool Parse() {
    size_t p = 0;
    const size_t n = s_.size();
    while (p < n) {
      if (s_[p] != '<') {
        size_t lt = FindCharOnBoundary(s_, p, '<');
        if (lt == std::string_view::npos) lt = n;
        if (!CharacterData(s_.substr(p, lt - p))) return false;
        p = lt;
      } else if (At(p, kCdataOpen)) {
        size_t end = FindOnBoundary(s_, p + kCdataOpen.size(), "]]>");
        if (end == std::string_view::npos || open_.empty()) return false;
        Open& top = open_.back();
        if (!top.textTaken) {
          top.element->text.assign(s_.substr(p + kCdataOpen.size(), end - p - kCdataOpen.size()));
          top.element->cdata = true;
          top.textTaken = true;
        }
        p = end + 3;
      } else if (At(p, "<?")) {
        size_t end = FindOnBoundary(s_, p + 2, "?>");
        if (end == std::string_view::npos) return false;
        p = end + 2;
      } else if (At(p, "<!")) {
        if (!SkipDeclaration(p)) return false;
      } else if (At(p, "</")) {
        if (!EndTag(p)) return false;
      } else {
        if (!StartTag(p)) return false;
      }
    }
    return root_ != nullptr && open_.empty();
  }

  // Character data between markup: the text of the open element when it is
  // the first non-blank data after its start tag; outside the root only
  // white space may stand.
  bool CharacterData(std::string_view data) {
    if (open_.empty()) return IsAllBlank(data);
    Open& top = open_.back();
    if (top.textTaken) return true;
    std::string_view trimmed = TrimBlanks(data);
    if (trimmed.empty()) return true;
    top.element->text.assign(trimmed);
    top.textTaken = true;
    return true;
  }

  // "<!DOCTYPE ...>" and other "<!" markup: skipped up to its '>', passing
  // over an internal subset in square brackets.
  bool SkipDeclaration(size_t& p) {
    int brackets = 0;
    for (size_t q = p + 2; q < s_.size(); q = NextChar(s_, q)) {
      char c = s_[q];
      if (c == '[') {
        ++brackets;
      } else if (c == ']') {
        if (brackets > 0) --brackets;
      } else if (c == '>' && brackets == 0) {
        p = q + 1;
        return true;
      }
    }
    return false;
  }

  bool EndTag(size_t& p) {
    size_t gt = FindCharOnBoundary(s_, p + 2, '>');
    if (gt == std::string_view::npos || open_.empty()) return false;
    std::string_view name = TrimBlanks(s_.substr(p + 2, gt - p - 2));
    if (name != open_.back().element->name) return false;
    open_.pop_back();
    p = gt + 1;
    return true;
  }

  // Name bytes run up to white space, '>' or "/>"; `stopAtEquals` also ends
  // an attribute name at '='. Everything else, '/' included, may be part of a
  // name, since element names in this program's files are free text.
  size_t NameEnd(size_t p, bool stopAtEquals) const {
    const size_t n = s_.size();
    while (p < n) {
      char c = s_[p];
      if (IsBlank(c) || c == '>' || (c == '/' && p + 1 < n && s_[p + 1] == '>') ||
          (stopAtEquals && c == '='))
        break;
      p = NextChar(s_, p);
    }
    return p;
  }

  void SkipBlanks(size_t& p) const {
    while (p < s_.size() && IsBlank(s_[p])) ++p;
  }

  bool StartTag(size_t& p) {
    const size_t n = s_.size();
    if (root_ != nullptr && open_.empty()) return false;  // a second root element
    size_t nameEnd = NameEnd(p + 1, false);
    if (nameEnd == p + 1 || nameEnd >= n) return false;

    auto element = std::make_unique<XmlElement>();
    element->name.assign(s_.substr(p + 1, nameEnd - p - 1));

    // Attribute names of this tag, to refuse a repeated one: views into the
    // input, compared one by one while there are few, through a hash set
    // once there are many, so that a tag with a huge number of attributes
    // still costs linear time.
    std::vector<std::string_view> names;
    std::unordered_set<std::string_view> manyNames;
    auto isRepeated = [&](std::string_view name) {
      if (!manyNames.empty()) return !manyNames.insert(name).second;
      for (std::string_view seen : names)
        if (seen == name) return true;
      names.push_back(name);
      if (names.size() == 16) manyNames.insert(names.begin(), names.end());
      return false;
    };
    size_t q = nameEnd;
    bool selfClosing = false;
    for (;;) {
      SkipBlanks(q);
      if (q >= n) return false;
      if (s_[q] == '>') {
        ++q;
        break;
      }
      if (s_[q] == '/' && q + 1 < n && s_[q + 1] == '>') {
        q += 2;
        selfClosing = true;
        break;
      }
      size_t attrEnd = NameEnd(q, true);
      if (attrEnd == q) return false;  // '=' with no name before it
      std::string_view attrName = s_.substr(q, attrEnd - q);
      if (isRepeated(attrName)) return false;
      q = attrEnd;
      SkipBlanks(q);
      std::string value;
      if (q < n && s_[q] == '=') {
        ++q;
        SkipBlanks(q);
        if (!QuotedValue(q, value)) return false;
      } else {
        value = "1";  // an attribute written without a value
      }
      element->attributes.emplace_back(std::string(attrName), std::move(value));
    }

    XmlElement* raw = element.get();
    if (open_.empty()) {
      root_ = std::move(element);
    } else {
      Open& parent = open_.back();
      parent.textTaken = true;
      parent.element->children.push_back(std::move(element));
    }
    if (!selfClosing) open_.push_back({raw, false});
    p = q;
    return true;
  }

  // A value in double quotes, kept as written. Single quotes are accepted
  // too; a double quote inside such a value is stored as "&quot;" so the
  // value can be written back between double quotes.
  bool QuotedValue(size_t& q, std::string& value) {
    if (q >= s_.size() || (s_[q] != '"' && s_[q] != '\'')) return false;
    const char quote = s_[q];
    size_t close = FindCharOnBoundary(s_, q + 1, quote);
    if (close == std::string_view::npos) return false;
    std::string_view raw = s_.substr(q + 1, close - q - 1);
    if (quote == '"') {
      value.assign(raw);
    } else {
      value.reserve(raw.size());
      for (size_t i = 0; i < raw.size();) {
        size_t next = NextChar(raw, i);
        if (raw[i] == '"')
          value += "&quot;";
        else
          value.append(raw.substr(i, next - i));
        i = next;
      }
    }
    q = close + 1;
    return true;
  }

  std::string_view s_;
  std::unique_ptr<XmlElement> root_;
  std::vector<Open> open_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Escaping.

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t p = 0; p < text.size();) {
    size_t next = NextChar(text, p);
    switch (next == p + 1 ? text[p] : '\0') {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out.append(text.substr(p, next - p));
    }
    p = next;
  }
  return out;
}

std::string XmlDecode(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&lt;", '<'},    {"&gt;", '>'},    {"&amp;", '&'},
      {"&apos;", '\''}, {"&quot;", '"'},  {"&quote;", '"'},
  };
  std::string out;
  out.reserve(text.size());
  size_t p = 0;
  while (p < text.size()) {
    if (text[p] != '&') {
      size_t next = NextChar(text, p);
      out.append(text.substr(p, next - p));
      p = next;
      continue;
    }
    // From the ampersand to the next semicolon: a known entity becomes its
    // character, anything else stays exactly as written.
    size_t semi = FindCharOnBoundary(text, p + 1, ';');
    if (semi == std::string_view::npos) {
      out.append(text.substr(p));
      break;
    }
    std::string_view entity = text.substr(p, semi + 1 - p);
    bool known = false;
    for (const auto& [name, c] : kEntities)
      if (entity == name) {
        out += c;
        known = true;
        break;
      }
    if (!known) out.append(entity);
    p = semi + 1;
  }
  return out;
}

// ---------------------------------------------------------------------------
// XmlDocument.

XmlDocument::~XmlDocument() { DestroyTree(std::move(root_)); }

XmlDocument::XmlDocument(XmlDocument&& other) noexcept : root_(std::move(other.root_)) {}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
  if (this != &other) {
    DestroyTree(std::move(root_));
    root_ = std::move(other.root_);
  }
  return *this;
}

bool XmlDocument::NewDocument(const std::string& rootName) {
  if (rootName.empty()) return false;
  DestroyTree(std::move(root_));
  root_ = std::make_unique<XmlElement>();
  root_->name = rootName;
  return true;
}

bool XmlDocument::LoadDocument(std::string_view bytes) {
  if (bytes.empty()) return false;
  DestroyTree(std::move(root_));
  try {
    std::string withoutComments;
    root_ = Parser(RemoveComments(bytes, withoutComments)).Run();
  } catch (const std::bad_alloc&) {
    // Whatever was built has been freed while unwinding; a document too
    // large for memory simply does not load.
    root_.reset();
  }
  return root_ != nullptr;
}

std::string XmlDocument::Serialize(const std::string& encoding, const std::string& lineEnd,
                                   const std::string& indent) const {
  std::string out = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>";
  if (!root_) return out;

  // Depth-first with an explicit stack: each entry is an element whose start
  // tag and text are written and whose children are written up to `next`.
  struct Frame {
    const XmlElement* element;
    size_t next;
  };
  std::vector<Frame> stack;
  // The line end followed by one indent per level of the element being
  // written; grown and shrunk by one indent as the walk goes down and up.
  std::string margin = lineEnd;

  // Writes the start tag and text; false when the element was written whole
  // as an empty-element tag.
  auto startElement = [&](const XmlElement* e) {
    out += margin;
    out += '<';
    out += e->name;
    for (const auto& [name, value] : e->attributes) {
      out += ' ';
      out += name;
      out += "=\"";
      out += value;
      out += '"';
    }
    if (e->text.empty() && e->children.empty()) {
      out += "/>";
      return false;
    }
    out += '>';
    if (e->cdata) {
      out += "<![CDATA[";
      out += e->text;
      out += "]]>";
    } else {
      out += e->text;
    }
    return true;
  };
  auto endElement = [&](const XmlElement* e) {
    if (!e->children.empty()) out += margin;
    out += "</";
    out += e->name;
    out += '>';
  };

  if (!startElement(root_.get())) return out;
  stack.push_back({root_.get(), 0});
  margin += indent;
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.element->children.size()) {
      const XmlElement* child = top.element->children[top.next++].get();
      if (startElement(child)) {
        stack.push_back({child, 0});
        margin += indent;
      }
    } else {
      const XmlElement* e = top.element;
      stack.pop_back();
      margin.resize(margin.size() - indent.size());
      endElement(e);
    }
  }
  return out;
}

bool XmlDocument::SaveToFile(const std::string& gbkFileName, const std::string& encoding,
                             const std::string& lineEnd, const std::string& indent) const {
  if (!root_ || gbkFileName.empty()) return false;
  try {
    return platform::WriteFileAtomically(gbkFileName, Serialize(encoding, lineEnd, indent));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool XmlDocument::ClearDocument() {
  if (!root_) return false;
  DestroyTree(std::move(root_));
  return true;
}

std::string XmlDocument::RootName() const { return root_ ? root_->name : std::string(); }

const XmlElement* XmlDocument::Find(const std::string& path) const { return Resolve(root_.get(), path); }

XmlElement* XmlDocument::Find(const std::string& path) {
  return const_cast<XmlElement*>(Resolve(root_.get(), path));
}

int XmlDocument::ChildCount(const std::string& path) const {
  const XmlElement* e = Find(path);
  return e ? static_cast<int>(e->children.size()) : 0;
}

std::string XmlDocument::NodeName(const std::string& path) const {
  const XmlElement* e = Find(path);
  return e ? e->name : std::string();
}

std::string XmlDocument::NodeText(const std::string& path) const {
  const XmlElement* e = Find(path);
  if (!e) return {};
  return e->cdata ? e->text : XmlDecode(e->text);
}

std::string XmlDocument::AttributeText(const std::string& path, const std::string& name) const {
  const XmlElement* e = Find(path);
  if (!e || name.empty()) return {};
  if (size_t n = PositionalIndex(name); n != 0)
    return n <= e->attributes.size() ? XmlDecode(e->attributes[n - 1].second) : std::string();
  for (const auto& [attrName, value] : e->attributes)
    if (attrName == name) return XmlDecode(value);
  return {};
}

bool XmlDocument::AppendChild(const std::string& parentPath, const std::string& name,
                              const std::string& text) {
  XmlElement* parent = Find(parentPath);
  if (!parent || name.empty()) return false;
  auto child = std::make_unique<XmlElement>();
  child->name = name;
  child->text = XmlEscape(text);
  parent->children.push_back(std::move(child));
  return true;
}

bool XmlDocument::AddAttribute(const std::string& path, const std::string& name, const std::string& value) {
  XmlElement* e = Find(path);
  if (!e || name.empty()) return false;
  for (const auto& attribute : e->attributes)
    if (attribute.first == name) return false;
  e->attributes.emplace_back(name, XmlEscape(value));
  return true;
}

}  // namespace quenlo::xml

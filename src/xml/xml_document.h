#pragma once
// The program's own small XML facility: one element tree in memory,
// addressed by element paths, read from bytes and written in the program's
// fixed byte layout. Texts are GBK bytes and are never converted.
//
// Element paths: segments separated by '/'. The first names the root (its
// exact name, or @1); each further one chooses a child: @N the N-th child
// element (from 1), any other text the first child of that exact name. A
// trailing '/' resolves to the element before it; any other empty segment,
// and an empty path, resolve to nothing.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenlo::xml {

struct XmlElement {
  std::string name;
  std::string text;  // held escaped (raw for CDATA)
  bool cdata = false;
  std::vector<std::pair<std::string, std::string>> attributes;  // values held escaped
  std::vector<std::unique_ptr<XmlElement>> children;
};

// Escaping of texts stored in the tree, and decoding of texts handed out.
std::string XmlEscape(std::string_view text);
std::string XmlDecode(std::string_view text);

class XmlDocument {
 public:
  XmlDocument() = default;
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;

  bool NewDocument(const std::string& rootName);
  bool LoadDocument(std::string_view bytes);
  // Writes the tree; "gb18030", CRLF and one TAB by default. The file is
  // replaced only when written completely (a temporary file beside it is
  // renamed over it); a failed save leaves the previous file as it was.
  bool SaveToFile(const std::string& gbkFileName, const std::string& encoding = "gb18030",
                  const std::string& lineEnd = "\r\n", const std::string& indent = "\t") const;
  // The bytes SaveToFile writes.
  std::string Serialize(const std::string& encoding = "gb18030", const std::string& lineEnd = "\r\n",
                        const std::string& indent = "\t") const;
  bool ClearDocument();

  std::string RootName() const;
  int ChildCount(const std::string& path) const;
  std::string NodeName(const std::string& path) const;
  std::string NodeText(const std::string& path) const;
  std::string AttributeText(const std::string& path, const std::string& name) const;
  bool AppendChild(const std::string& parentPath, const std::string& name, const std::string& text);
  bool AddAttribute(const std::string& path, const std::string& name, const std::string& value);

  bool Empty() const { return root_ == nullptr; }
  // The element at `path`, or nullptr.
  const XmlElement* Find(const std::string& path) const;
  XmlElement* Find(const std::string& path);
  const XmlElement* Root() const { return root_.get(); }

 private:
  std::unique_ptr<XmlElement> root_;
};

}  // namespace quenlo::xml

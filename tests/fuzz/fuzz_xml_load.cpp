// libFuzzer target: loads arbitrary bytes as a document. Whatever loads is
// walked, addressed by position, written out and loaded again; the second
// load must succeed and write the very same bytes. Any crash, sanitizer
// report or broken round trip stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/xml_document.h"

using quenlo::xml::XmlDecode;
using quenlo::xml::XmlDocument;
using quenlo::xml::XmlElement;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every element reached through its positional path "@1/@i/@j..." must be
// that element; texts and values are decoded on the way.
void WalkByPosition(const XmlDocument& doc) {
  struct Item {
    const XmlElement* element;
    std::string path;
  };
  std::vector<Item> pending{{doc.Root(), "@1"}};
  size_t visited = 0;
  while (!pending.empty() && visited++ < 2000) {
    Item item = std::move(pending.back());
    pending.pop_back();
    Check(doc.Find(item.path) == item.element);
    Check(doc.NodeName(item.path) == item.element->name);
    if (!item.element->cdata) XmlDecode(item.element->text);
    for (const auto& attribute : item.element->attributes) XmlDecode(attribute.second);
    if (!item.element->attributes.empty())
      Check(doc.AttributeText(item.path, "@1") == XmlDecode(item.element->attributes[0].second));
    for (size_t i = 0; i < item.element->children.size(); ++i)
      pending.push_back({item.element->children[i].get(), item.path + "/@" + std::to_string(i + 1)});
  }
}

void CheckRoundTrip(const XmlDocument& doc, const std::string& lineEnd, const std::string& indent) {
  const std::string first = doc.Serialize("gb18030", lineEnd, indent);
  XmlDocument again;
  Check(again.LoadDocument(first));
  Check(again.Serialize("gb18030", lineEnd, indent) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  XmlDocument doc;
  if (!doc.LoadDocument(bytes)) {
    Check(doc.Empty());
    return 0;
  }
  Check(!doc.Empty());
  WalkByPosition(doc);
  // A path made of the input itself must resolve or not, never misbehave.
  doc.NodeText(std::string(bytes.substr(0, 256)));
  CheckRoundTrip(doc, "\r\n", "\t");
  CheckRoundTrip(doc, "", "");
  return 0;
}

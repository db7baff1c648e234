#include "config/configuration.h"

#include <limits>

#include "platform/text.h"
#include "xml/xml_document.h"

namespace quenlo::config {
namespace {

constexpr const char* kHeadTips =
    "Quenlo 只在它的项目主页发布;从其他地方得到的副本,使用之前请先检查.";
constexpr const char* kExplainTips = "这里存放的是包名的备注,Pack=包名,Tips=说明,rgb=十进制rgb颜色值";
constexpr const char* kPropTips =
    "这里是显示在组合框里的项目,name=显示在组合框中的名字,command=执行的命令,菜单对应这里选中的项目";

}  // namespace

std::int32_t IntegerValue(std::string_view text) {
  // Full-width forms first: in GBK they are 0xA3 followed by 0xB0..0xB9 for
  // the digits, 0xAB for '+' and 0xAD for '-'.
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = platform::GbkCharLength(text, i);
    if (len == 2 && static_cast<unsigned char>(text[i]) == 0xA3) {
      unsigned char second = static_cast<unsigned char>(text[i + 1]);
      if (second >= 0xB0 && second <= 0xB9) {
        plain.push_back(static_cast<char>('0' + (second - 0xB0)));
        i += 2;
        continue;
      }
      if (second == 0xAB || second == 0xAD) {
        plain.push_back(second == 0xAB ? '+' : '-');
        i += 2;
        continue;
      }
    }
    // Any other character of more than one byte is simply not a digit.
    plain.push_back(len == 1 ? text[i] : '\x01');
    i += len;
  }
  std::size_t i = 0;
  while (i < plain.size() && (plain[i] == ' ' || plain[i] == '\t')) ++i;
  bool negative = false;
  if (i < plain.size() && (plain[i] == '+' || plain[i] == '-')) negative = plain[i++] == '-';
  // Values beyond the 32-bit range stop at its ends.
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(std::numeric_limits<std::int32_t>::min())
                                   : std::numeric_limits<std::int32_t>::max();
  for (; i < plain.size() && plain[i] >= '0' && plain[i] <= '9'; ++i) {
    value = value * 10 + (plain[i] - '0');
    if (value > limit) value = limit;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::vector<ViewCommand> ReadViewCommands(const xml::XmlDocument& doc) {
  std::vector<ViewCommand> list;
  const int n = doc.ChildCount("head/prop");
  for (int i = 1; i <= n; ++i) {
    const std::string p = "head/prop/@" + std::to_string(i);
    ViewCommand vc;
    vc.name = doc.AttributeText(p, "name");
    if (vc.name.empty()) vc.name = doc.NodeText(p);
    vc.command = doc.AttributeText(p, "command");
    list.push_back(std::move(vc));
  }
  if (n == 0) {
    list.push_back({"查看进程", "adb shell ps"});
    list.push_back({"查看包名", "adb shell pm list packages"});
  }
  return list;
}

std::vector<PackageNote> ReadPackageNotes(const xml::XmlDocument& doc) {
  std::vector<PackageNote> list;
  const int m = doc.ChildCount("head/Explain");
  for (int j = 1; j <= m; ++j) {
    const std::string q = "head/Explain/@" + std::to_string(j);
    PackageNote note;
    note.Tips = doc.AttributeText(q, "Tips");
    note.Pack = doc.AttributeText(q, "Pack");
    note.rgb = IntegerValue(doc.AttributeText(q, "rgb"));
    list.push_back(std::move(note));
  }
  return list;
}

std::string ReadIpAddress(const xml::XmlDocument& doc) {
  std::string ip = doc.AttributeText("head", "ip");
  if (ip.empty()) ip = doc.NodeText("head/ip");
  return ip;
}

WindowRect ReadWindowRect(const xml::XmlDocument& doc, int screenWidth, int screenHeight) {
  WindowRect r;
  r.left = IntegerValue(doc.AttributeText("head/windowPos", "left"));
  r.top = IntegerValue(doc.AttributeText("head/windowPos", "top"));
  r.width = IntegerValue(doc.AttributeText("head/windowPos", "width"));
  r.height = IntegerValue(doc.AttributeText("head/windowPos", "height"));
  if (r.width < 400) r.width = 838;
  if (r.left < -100) r.left = static_cast<int>((static_cast<long long>(screenWidth) - r.width) / 2);
  if (r.height < 200) r.height = 500;
  if (r.top < -100) r.top = static_cast<int>((static_cast<long long>(screenHeight) - r.height) / 2);
  return r;
}

void BuildConfigurationDocument(xml::XmlDocument& doc, const LiveConfiguration& live) {
  doc.NewDocument("head");
  doc.AddAttribute("head", "ip", live.ip);
  doc.AddAttribute("head", "tips", kHeadTips);

  doc.AppendChild("head", "windowPos", "");
  doc.AddAttribute("head/windowPos", "left", std::to_string(live.window.left));
  doc.AddAttribute("head/windowPos", "top", std::to_string(live.window.top));
  doc.AddAttribute("head/windowPos", "width", std::to_string(live.window.width));
  doc.AddAttribute("head/windowPos", "height", std::to_string(live.window.height));

  doc.AppendChild("head", "Explain", "");
  doc.AddAttribute("head/Explain", "tips", kExplainTips);
  if (live.notes) {
    int k = 0;
    for (const PackageNote& note : *live.notes) {
      doc.AppendChild("head/Explain", "data", "");
      const std::string q = "head/Explain/@" + std::to_string(++k);
      doc.AddAttribute(q, "Pack", note.Pack);
      doc.AddAttribute(q, "Tips", note.Tips);
      doc.AddAttribute(q, "rgb", std::to_string(note.rgb));
    }
  }

  doc.AppendChild("head", "prop", "");
  doc.AddAttribute("head/prop", "tips", kPropTips);
  if (live.viewCommands) {
    int k = 0;
    for (const ViewCommand& vc : *live.viewCommands) {
      doc.AppendChild("head/prop", "comboBox", "");
      const std::string q = "head/prop/@" + std::to_string(++k);
      doc.AddAttribute(q, "name", vc.name);
      doc.AddAttribute(q, "command", vc.command);
    }
  }

  static const std::vector<PopupMenu> kNoMenus;
  SaveMenus(doc, live.menus ? *live.menus : kNoMenus);
}

}  // namespace quenlo::config

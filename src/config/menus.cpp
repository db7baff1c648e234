#include "config/menus.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "xml/xml_document.h"

namespace quenlo::config {
namespace {

// Identifiers start well above anything a widget could report, so no other
// source of commands ever resolves to a menu command.
constexpr int kFirstMenuCommandId = 0x10000;

struct Registry {
  std::mutex mu;
  int next = kFirstMenuCommandId;
  std::map<int, std::string> commands;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Submenus nested deeper than this are left out, so a hostile file cannot
// exhaust the stack; real menus are a few levels deep.
constexpr int kMaxMenuDepth = 64;

void Fill(PopupMenu& menu, const xml::XmlDocument& doc, const std::string& path, int depth) {
  const int count = doc.ChildCount(path);
  for (int k = 1; k <= count; ++k) {
    const std::string q = path + "/@" + std::to_string(k);
    MenuItem item;
    item.text = doc.AttributeText(q, "name");
    if (item.text == "-") {
      item.kind = MenuItem::Kind::Separator;
      item.text.clear();
      menu.items.push_back(std::move(item));
      continue;
    }
    const std::string command = doc.AttributeText(q, "command");
    if (Lower(command) != "popupmenu") {
      item.kind = MenuItem::Kind::Command;
      item.commandId = RegisterMenuCommand(command);
      menu.items.push_back(std::move(item));
      continue;
    }
    // A submenu without items is left out.
    if (doc.ChildCount(q) < 1 || depth >= kMaxMenuDepth) continue;
    item.kind = MenuItem::Kind::Submenu;
    item.submenu = std::make_shared<PopupMenu>();
    Fill(*item.submenu, doc, q, depth + 1);
    menu.items.push_back(std::move(item));
  }
}

std::string MenuTips(int n) {
  return "name=显示的名字,command=执行的命令,command=popupMenu时是弹出式菜单,左边组合框选择第" +
         std::to_string(n) + "个时弹出这个菜单";
}

void WriteItems(xml::XmlDocument& doc, const PopupMenu& menu, const std::string& path, int depth) {
  const std::string element = depth == 1 ? "item" : "item" + std::to_string(depth);
  int k = 0;
  for (const MenuItem& item : menu.items) {
    ++k;
    doc.AppendChild(path, element, "");
    const std::string q = path + "/@" + std::to_string(k);
    std::string name = item.kind == MenuItem::Kind::Separator ? std::string("-") : item.text;
    if (name.size() > 254) name.resize(254);
    doc.AddAttribute(q, "name", name);
    if (item.kind == MenuItem::Kind::Submenu) {
      doc.AddAttribute(q, "command", "popupMenu");
      if (item.submenu && !item.submenu->items.empty()) WriteItems(doc, *item.submenu, q, depth + 1);
    } else {
      doc.AddAttribute(q, "command",
                       item.kind == MenuItem::Kind::Command ? ResolveMenuCommand(item.commandId)
                                                            : std::string());
    }
  }
}

}  // namespace

int RegisterMenuCommand(const std::string& command) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mu);
  int id = r.next++;
  r.commands.emplace(id, command);
  return id;
}

std::string ResolveMenuCommand(int id) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mu);
  auto it = r.commands.find(id);
  return it == r.commands.end() ? std::string() : it->second;
}

std::vector<PopupMenu> BuildMenuSet(const xml::XmlDocument& doc, bool* noMenus) {
  const int n = doc.ChildCount("head/menu");
  if (noMenus) *noMenus = n == 0;
  std::vector<PopupMenu> menus(static_cast<std::size_t>(std::max(n, 0)));
  for (int i = 1; i <= n; ++i) Fill(menus[static_cast<std::size_t>(i - 1)], doc, "head/menu/@" + std::to_string(i), 1);
  return menus;
}

PopupMenu BuildListMenu() {
  PopupMenu menu;
  for (const char* text : {kImportDataSetCommand, kBatchRunCommand}) {
    MenuItem item;
    item.text = text;
    item.commandId = RegisterMenuCommand(text);
    menu.items.push_back(std::move(item));
  }
  return menu;
}

void SaveMenus(xml::XmlDocument& doc, const std::vector<PopupMenu>& menus) {
  doc.AppendChild("head", "menu", "");
  doc.AddAttribute("head/menu",
                   "tips",
                   "command说明:SetColor(),调用设置颜色函数,delete()调用删除说明函数,属性里的参数 "
                   "(pack)=包名,(pid)=进程ID,(ppid)父进程ID,不区分大小写");
  int i = 0;
  for (const PopupMenu& menu : menus) {
    ++i;
    doc.AppendChild("head/menu", "menu" + std::to_string(i), "");
    const std::string p = "head/menu/@" + std::to_string(i);
    doc.AddAttribute(p, "tips", MenuTips(i));
    WriteItems(doc, menu, p, 1);
  }
}

}  // namespace quenlo::config

#pragma once
// The right-click menus as the configuration defines them, the registry that
// ties each command item to its command text, and their writing back.
#include <memory>
#include <string>
#include <vector>

namespace quenlo::xml {
class XmlDocument;
}

namespace quenlo::config {

struct PopupMenu;

struct MenuItem {
  enum class Kind { Separator, Command, Submenu };
  Kind kind = Kind::Command;
  std::string text;                   // with its '&' access key, as written
  int commandId = 0;                  // Command items only
  std::shared_ptr<PopupMenu> submenu;  // Submenu items only
};

struct PopupMenu {
  std::vector<MenuItem> items;
};

// Registers a command text and returns the identifier of its new record.
// Every call makes a new record, also for a text registered before.
// Identifiers are unique for the process and never 0 or -1.
int RegisterMenuCommand(const std::string& command);
// The command text of an identifier; empty when it is not registered.
std::string ResolveMenuCommand(int id);

// The menus under head/menu, taken by position, whatever the element names.
// `noMenus` is set when there is none.
std::vector<PopupMenu> BuildMenuSet(const xml::XmlDocument& doc, bool* noMenus = nullptr);

// The fixed two-item menu of the data-set list.
PopupMenu BuildListMenu();

// Writes the menus as head/menu with menu1, menu2, … into `doc`.
void SaveMenus(xml::XmlDocument& doc, const std::vector<PopupMenu>& menus);

inline constexpr const char* kNoMenusMessage =
    "没有菜单数据,是否忘记添加菜单了?还是菜单xml数据出错了? 请检查";
inline constexpr const char* kImportDataSetCommand = "导入去广告XML";
inline constexpr const char* kBatchRunCommand = "批量执行这个列表的命令";

}  // namespace quenlo::config

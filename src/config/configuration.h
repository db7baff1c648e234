#pragma once
// config.xml: what it holds, how it is read and how it is written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/menus.h"

namespace quenlo::xml {
class XmlDocument;
}

namespace quenlo::config {

// One entry of the command chooser.
struct ViewCommand {
  std::string name;
  std::string command;
};

// The remark and display colour of one package. `rgb` is a Windows COLORREF
// (red in the low byte); exactly 255 marks a package to be handled with care.
struct PackageNote {
  std::string Pack;
  std::string Tips;
  std::int32_t rgb = 0;
};

struct WindowRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const WindowRect&) const = default;
};

// The configuration used when config.xml is missing or does not parse, as
// the bytes the writer produces.
std::string_view DefaultConfiguration();

inline constexpr const char* kImportFailedMessage = "导入失败,本次导入无效,将使用默认的xml配置";

// The integer value of a text: full-width digits and signs count as their
// ASCII forms; leading blanks are skipped, an optional sign is taken, and
// digits are read up to the first other character. No digits give 0.
std::int32_t IntegerValue(std::string_view text);

// The chooser entries under head/prop (the two built-in ones when there are
// none) and the package notes under head/Explain, taken by position.
std::vector<ViewCommand> ReadViewCommands(const xml::XmlDocument& doc);
std::vector<PackageNote> ReadPackageNotes(const xml::XmlDocument& doc);

// The IP address: the ip attribute of head, else the text of head/ip.
std::string ReadIpAddress(const xml::XmlDocument& doc);

// The window rectangle of head/windowPos with the rules for values a
// minimised or missing window leaves behind.
WindowRect ReadWindowRect(const xml::XmlDocument& doc, int screenWidth, int screenHeight);

// What the writer needs of the live state.
struct LiveConfiguration {
  std::string ip;
  WindowRect window;
  const std::vector<PackageNote>* notes = nullptr;
  const std::vector<ViewCommand>* viewCommands = nullptr;
  const std::vector<PopupMenu>* menus = nullptr;
};

// Builds the document the writer saves.
void BuildConfigurationDocument(xml::XmlDocument& doc, const LiveConfiguration& live);

}  // namespace quenlo::config

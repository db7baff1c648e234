#include "device/menu_command.h"

#include <cstddef>

namespace quenlo::device {

namespace {

constexpr std::int32_t kSensitiveColour = 255;  // pure red

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Byte offset of the first occurrence of `needle` at or after `from`, ASCII
// letter case ignored; npos when there is none.
std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view needle,
                                  std::size_t from = 0) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (EqualsIgnoringAsciiCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view needle) {
  return FindIgnoringAsciiCase(text, needle) != std::string_view::npos;
}

// One pass: every occurrence of `placeholder` is replaced by `value`; the
// search goes on behind the inserted value.
std::string ReplaceAllIgnoringAsciiCase(std::string_view text, std::string_view placeholder,
                                        std::string_view value) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t pos = FindIgnoringAsciiCase(text, placeholder, start);
    if (pos == std::string_view::npos) break;
    out.append(text.substr(start, pos - start));
    out.append(value);
    start = pos + placeholder.size();
  }
  out.append(text.substr(start));
  return out;
}

bool IsSafeChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '.':
    case '_':
    case ':':
    case '/':
    case '@':
    case '+':
    case '-':
      return true;
    default:
      return false;
  }
}


constexpr const char* kSensitiveTail = "\r\n\r\n该包名设置为敏感操作,请确认您知道自己在操作什么,否则请点击取消";

}  // namespace

MenuAction ClassifyMenuCommand(std::string_view command) {
  if (command == "导入去广告XML") return MenuAction::ImportDataSet;
  if (command == "批量执行这个列表的命令") return MenuAction::BatchRun;
  if (EqualsIgnoringAsciiCase(command, "delete()")) return MenuAction::DeleteRemark;
  if (EqualsIgnoringAsciiCase(command, "setcolor()")) return MenuAction::SetColour;
  return MenuAction::Template;
}

std::string FillPlaceholders(std::string_view text, std::string_view pack, std::string_view pid,
                             std::string_view ppid) {
  std::string filled = ReplaceAllIgnoringAsciiCase(text, "(pack)", pack);
  filled = ReplaceAllIgnoringAsciiCase(filled, "(pid)", pid);
  return ReplaceAllIgnoringAsciiCase(filled, "(ppid)", ppid);
}

bool IsSafeValue(std::string_view value) {
  for (char c : value) {
    if (!IsSafeChar(c)) return false;
  }
  return true;
}

TemplatePlan PlanTemplate(std::string_view command, const ListingTable& table, int row,
                          const std::vector<config::PackageNote>& notes) {
  TemplatePlan plan;
  if (row < 1 || row > table.RowCount()) return plan;

  std::string pack, pid, ppid;
  switch (table.viewMode) {
    case kProcessListing:
      pack = RowPackage(table, row);
      pid = table.Cell(row, 3);
      ppid = table.Cell(row, 4);
      break;
    case kPackageListing:
      pack = table.Cell(row, 2);
      break;
    default:
      return plan;
  }

  // These values come from whatever the television printed and end up on a
  // shell command line: each one the command puts in must be harmless.
  const auto unsafe = [&](std::string_view placeholder, std::string_view value) {
    return ContainsIgnoringAsciiCase(command, placeholder) && !IsSafeValue(value);
  };
  if (unsafe("(pack)", pack) || unsafe("(pid)", pid) || unsafe("(ppid)", ppid)) {
    plan.refusal = kUnsafeValueMessage;
    return plan;
  }

  const std::string filled = FillPlaceholders(command, pack, pid, ppid);
  const int note = FindPackageNote(notes, pack);
  const std::int32_t colour = note >= 1 ? notes[static_cast<std::size_t>(note - 1)].rgb : 0;
  const bool sensitive = colour == kSensitiveColour;

  if (sensitive && ContainsIgnoringAsciiCase(filled, "adb shell pm clear")) {
    plan.question = Question{
        "清除此进程的数据可能会对您的电视有影响,如果您不确定您在操作什么,请点击取消", "注意:",
        ui::Icon::Question, ui::Buttons::OkCancel};
  } else if (ContainsIgnoringAsciiCase(filled, "uninstall")) {
    if (sensitive) {
      plan.question = Question{"您将要卸载包名为 " + pack + "的程序" + kSensitiveTail, "",
                               ui::Icon::Question, ui::Buttons::OkCancel};
    } else {
      plan.question = Question{"您将要卸载包名为:" + pack + ", 的程序,是否卸载?", "",
                               ui::Icon::Question, ui::Buttons::YesNo};
    }
  } else if (sensitive) {
    plan.question = Question{"您将要调用 " + filled + " 命令来操作包名为 " + pack + kSensitiveTail,
                             "", ui::Icon::Information, ui::Buttons::OkCancel};
  }

  plan.run = true;
  plan.command = filled;
  return plan;
}

std::optional<std::int32_t> ParseColour(std::string_view text) {
  if (text.find(',') == std::string_view::npos) return config::IntegerValue(text);
  const std::vector<std::string_view> parts = SplitAt(text, ',');
  if (parts.size() < 3) return std::nullopt;
  const std::int32_t r = config::IntegerValue(parts[0]) & 0xFF;
  const std::int32_t g = config::IntegerValue(parts[1]) & 0xFF;
  const std::int32_t b = config::IntegerValue(parts[2]) & 0xFF;
  return r + 256 * g + 65536 * b;
}

}  // namespace quenlo::device

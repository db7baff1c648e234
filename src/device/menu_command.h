#pragma once
// What a chosen menu command text means, decided without any window: the
// built-in commands, the filling of a command template from a listing row,
// the confirmation it needs, and the colour typed for a package.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"
#include "device/listing.h"
#include "ui/dialogs.h"

namespace quenlo::device {

enum class MenuAction { ImportDataSet, BatchRun, DeleteRemark, SetColour, Template };

// "导入去广告XML" and "批量执行这个列表的命令" exactly; "delete()" and
// "setcolor()" in any ASCII letter case, nothing trimmed; anything else is a
// template.
MenuAction ClassifyMenuCommand(std::string_view command);

// Replaces every "(pack)", then every "(pid)", then every "(ppid)" (ASCII
// letter case ignored), each pass over the whole text without rescanning
// what it inserted.
std::string FillPlaceholders(std::string_view text, std::string_view pack, std::string_view pid,
                             std::string_view ppid);

// True when a value taken from the television may be put into a command
// line: letters, digits and . _ : / @ + - only (an empty value too).
bool IsSafeValue(std::string_view value);

inline constexpr const char* kUnsafeValueMessage =
    "包名中含有不安全的字符,为了安全,这条命令没有执行";

struct Question {
  std::string text;
  std::string title;  // empty: the box has no title of its own
  ui::Icon icon = ui::Icon::Question;
  ui::Buttons buttons = ui::Buttons::OkCancel;
};

// What choosing a template on a row leads to.
struct TemplatePlan {
  bool run = false;                  // false: nothing happens at all
  std::string command;               // the finished command line
  std::optional<Question> question;  // asked first; the command runs on OK or Yes
  std::string refusal;               // non-empty: shown instead, nothing runs
};

// `row` counts from 1. Nothing runs when there is no listing (or the row is
// not in the table).
TemplatePlan PlanTemplate(std::string_view command, const ListingTable& table, int row,
                          const std::vector<config::PackageNote>& notes);

inline constexpr const char* kColourPrompt =
    "请输入需要设置的颜色,值为rgb,支持 xxx,xxx,xxx 或者直接输入10进制颜色值";
inline constexpr const char* kColourTitle = "输入颜色值";
inline constexpr const char* kColourFormatError = "颜色输入错误,请输入 xxx,xxx,xxx 格式的颜色值";

// The colour of a typed text: its integer value, or for "r,g,b" the low 8
// bits of each part as r + 256 g + 65536 b. Nothing for a comma form with
// fewer than three parts.
std::optional<std::int32_t> ParseColour(std::string_view text);

}  // namespace quenlo::device

#include "device/listing.h"

#include <cstddef>

#include "pattern/pattern_matcher.h"

namespace quenlo::device {

namespace {

constexpr std::string_view kLineBreak = "\r\n";

// The state letter, one blank and the process name, up to the first
// whitespace after the name (which the match includes).
constexpr const char* kProcessPattern = R"([A-Z] ((\w+|\/).*?)\s)";

struct Line {
  std::string_view text;
  bool endedByBreak = false;  // false only for the text after the last CRLF
};

// Splits at every CRLF. Always yields at least one line (possibly empty);
// a text ending in CRLF yields an empty last line.
std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t pos = text.find(kLineBreak, start);
    if (pos == std::string_view::npos) {
      lines.push_back({text.substr(start), false});
      return lines;
    }
    lines.push_back({text.substr(start, pos - start), true});
    start = pos + kLineBreak.size();
  }
}


std::string WithoutLineBreakChars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') out.push_back(c);
  }
  return out;
}

// Every run of blanks becomes one blank: the same result as replacing "  "
// by " " until no two blanks follow each other, in one pass.
std::string ReduceBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out.push_back(c);
  }
  return out;
}

std::string RowNumber(const ListingTable& table) { return std::to_string(table.rows.size() + 1); }

}  // namespace

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t pos = text.find(separator, start);
    if (pos == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

const std::string& ListingTable::Cell(int row, int column) const {
  static const std::string kEmpty;
  if (row < 1 || row > RowCount()) return kEmpty;
  const auto& cells = rows[static_cast<std::size_t>(row - 1)];
  if (column < 1 || column > static_cast<int>(cells.size())) return kEmpty;
  return cells[static_cast<std::size_t>(column - 1)];
}

std::string TextAfterLast(std::string_view text, std::string_view separator) {
  const std::size_t pos = text.rfind(separator);
  if (pos == std::string_view::npos) return {};
  return std::string(text.substr(pos + separator.size()));
}

int ListingKindOf(std::string_view command) {
  if (command.starts_with("adb shell pm list packages")) return kPackageListing;
  if (command.starts_with("adb shell ps")) return kProcessListing;
  return kNoListing;
}

ListingTable ParsePackageListing(std::string_view reply, int reportListWidth) {
  ListingTable table;
  table.viewMode = kPackageListing;
  table.columns = {{"序号", 50}, {"app包名", 300}, {"说明", reportListWidth - 380}};
  for (const Line& line : SplitLines(reply)) {
    const std::string name = TextAfterLast(line.text, "package:");
    if (name.empty()) continue;
    table.rows.push_back({RowNumber(table), WithoutLineBreakChars(name), ""});
  }
  return table;
}

ListingTable ParseProcessListing(std::string_view reply) {
  ListingTable table;
  table.viewMode = kProcessListing;
  table.columns = {{"序号", 50},     {"用户", 80},     {"进程ID", 70},
                   {"父进程ID", 75}, {"内存大小", 75}, {"驻留内存", 75},
                   {"内核地址", 90}, {"包名", 200},    {"说明", 200}};

  const std::string reduced = ReduceBlanks(reply);
  const std::vector<Line> lines = SplitLines(reduced);

  // One matcher for the whole reply: it keeps the compiled pattern.
  PatternMatcher matcher;
  std::string subject;
  for (std::size_t i = 1; i < lines.size(); ++i) {  // line 0 is the header
    const Line& line = lines[i];
    const std::vector<std::string_view> fields = SplitAt(line.text, ' ');
    if (fields.size() < 7) continue;

    // The pattern wants whitespace after the name; the line break that ended
    // the line is part of the subject so a name at the end of its line is
    // found too.
    subject.assign(line.text);
    if (line.endedByBreak) subject.append(kLineBreak);
    std::string name;
    if (matcher.Execute(kProcessPattern, subject, /*caseSensitive=*/true)) {
      name = WithoutLineBreakChars(matcher.MatchText(1));
    }

    std::vector<std::string> row;
    row.reserve(table.columns.size());
    row.push_back(RowNumber(table));
    for (std::size_t f = 0; f < 6; ++f) row.emplace_back(fields[f]);
    row.push_back(std::move(name));
    row.emplace_back();
    table.rows.push_back(std::move(row));
  }
  return table;
}

std::string RowPackage(const ListingTable& table, int row) {
  switch (table.viewMode) {
    case kProcessListing:
      return TextAfterLast(table.Cell(row, 8), " ");
    case kPackageListing:
      return table.Cell(row, 2);
    default:
      return {};
  }
}

int FindPackageNote(const std::vector<config::PackageNote>& notes, std::string_view package) {
  if (package.empty()) return -1;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (notes[i].Pack.find(package) != std::string::npos) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace quenlo::device

#pragma once
// The table behind the report list, filled from the replies of the two
// listing commands, and the lookups on it that the menus and the painting
// share. Rows and columns handed around here count from 1.
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"

namespace quenlo::device {

enum ViewMode { kNoListing = 0, kProcessListing = 1, kPackageListing = 2 };

struct Column {
  std::string title;
  int width = 0;
};

struct ListingTable {
  int viewMode = kNoListing;
  std::vector<Column> columns;
  std::vector<std::vector<std::string>> rows;  // every row has one cell per column

  // Cell (row, column), both from 1; empty outside the table.
  const std::string& Cell(int row, int column) const;
  int RowCount() const { return static_cast<int>(rows.size()); }
};

// The pieces of `text` between the separators (one more than there are
// separators; empty pieces included).
std::vector<std::string_view> SplitAt(std::string_view text, char separator);

// The text after the last occurrence of `separator`; empty when it does not occur.
std::string TextAfterLast(std::string_view text, std::string_view separator);

// Which listing a command line asks for: a command beginning with "adb shell
// pm list packages" is a package listing, else one beginning with "adb shell
// ps" a process listing (byte-exact prefixes), else none.
int ListingKindOf(std::string_view command);

// "序号", "app包名" (300), "说明" (reportListWidth - 380); one row per line
// that holds "package:", with the text after its last "package:".
ListingTable ParsePackageListing(std::string_view reply, int reportListWidth);

// The nine process columns; blanks runs reduced, the first line dropped,
// lines with fewer than 7 fields skipped. The "包名" cell is the first match
// of "[A-Z] ((\w+|\/).*?)\s" (case-sensitive) over the line together with the
// line break that ended it, without CR and LF.
ListingTable ParseProcessListing(std::string_view reply);

// The package of a row (from 1): the text after the last blank of "包名"
// for processes, the "app包名" cell for packages, empty otherwise.
std::string RowPackage(const ListingTable& table, int row);

// -1 for an empty name; else the index (from 1) of the first note whose
// Pack contains `package`; 0 when none does.
int FindPackageNote(const std::vector<config::PackageNote>& notes, std::string_view package);

}  // namespace quenlo::device

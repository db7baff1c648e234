#pragma once
// The list that shows process and package listings, over the output area.
#include <QTableView>

namespace quenlo::ui {

class ReportList {
 public:
  ReportList() = default;
  ReportList(const ReportList&) = delete;
  ReportList& operator=(const ReportList&) = delete;

  // Creates the list view as a child of `parent`: report style, several rows
  // selectable, whole rows selected, grid lines.
  QTableView* Create(QWidget* parent, int left, int top, int width, int height);
  QTableView* Handle() const { return view_; }

 private:
  QTableView* view_ = nullptr;
};

}  // namespace quenlo::ui

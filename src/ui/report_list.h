#pragma once
// The list that shows process and package listings, over the output area.
// It holds no texts: it knows its columns, how many rows it shows and which
// are selected, and asks for the texts of the rows it paints (only those on
// screen), so even 100,000 rows cost nothing until they are scrolled to.
#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quenlo::ui {

// The texts of a row (one per column, GBK) and its text colour as a
// Windows COLORREF (red in the low byte). False when there is nothing to
// draw for the row.
using RowSource = std::function<bool(int row, std::vector<std::string>& texts, std::int32_t& colour)>;

class ReportView;

class ReportList {
 public:
  ReportList() = default;
  ReportList(const ReportList&) = delete;
  ReportList& operator=(const ReportList&) = delete;

  // Creates the list view as a child of `parent`: report style, several rows
  // selectable, whole rows selected, grid lines.
  QTableView* Create(QWidget* parent, int left, int top, int width, int height);
  QTableView* Handle() const;

  void SetRowSource(RowSource source);

  // Position in the parent; a missing value keeps that edge (without a
  // width the right edge stays, so moving the left edge changes the width).
  bool SetPosition(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                   std::optional<int> height, std::optional<bool> redraw = std::nullopt);
  int Left() const;
  int Width() const;

  int ColumnCount() const;
  // Appends (position absent or -1) or inserts a column; alignment 0 left,
  // 1 centred, 2 right. The new column's index, or -1.
  int InsertColumn(const std::string& title, int width = 50, int position = -1, int alignment = 0);
  bool DeleteColumn(int column);
  int ColumnWidth(int column) const;
  bool SetColumnWidth(int column, int width);

  void SetItemCount(int count);
  int ItemCount() const;
  // With a row: selects it (as Select). Without: the first selected row or -1.
  int SelectedIndex() const;
  bool SelectedIndex(int row) { return Select(row); }
  // Selects a row; rows selected before stay selected.
  bool Select(int row);
  bool EnsureVisible(int row);
  // Repaints the rows; false once the list is gone.
  bool Redraw();

 private:
  QPointer<ReportView> view_;
};

// The view itself: paints every row from the row source.
class ReportView : public QTableView {
  Q_OBJECT

 public:
  explicit ReportView(QWidget* parent);
  void SetRowSource(RowSource source) { source_ = std::move(source); }
  QAbstractTableModel* Model() const;
  int HotRow() const { return hotRow_; }
  // What the row source gives for a row (for checks of what is painted).
  bool RowTexts(int row, std::vector<std::string>& texts, std::int32_t& colour) const {
    return source_ && source_(row, texts, colour);
  }

  // Widths as given, also below zero (drawn as zero).
  void SetWidth(int column, int width);
  int Width(int column) const;
  void SetItemCount(int count);
  int ItemCount() const;
  int InsertColumn(const QString& title, int width, int position, int alignment);
  bool DeleteColumn(int column);
  int ColumnCount() const;

 signals:
  // A right click, a click and a double click on a row (row and column from
  // 0; row -1 beside the rows), and a key pressed in the list.
  void rightClicked(int row, int column);
  void clicked(int row, int column);
  void doubleClicked(int row, int column);
  void keyPressed(int key);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  class ShapeModel;
  ShapeModel* model_ = nullptr;
  RowSource source_;
  int hotRow_ = -1;
};

}  // namespace quenlo::ui

// The report list's own operations, on a bare parent window.
#include <gtest/gtest.h>

#include <QTableView>
#include <QWidget>
#include <memory>

#include "ui/report_list.h"

using quenlo::ui::ReportList;

TEST(ReportList, Operations) {
  auto parent = std::make_unique<QWidget>();
  parent->resize(800, 400);
  ReportList list;
  EXPECT_FALSE(list.Redraw());
  ASSERT_NE(list.Create(parent.get(), 264, 0, 568, 272), nullptr);
  EXPECT_EQ(list.Left(), 264);
  EXPECT_EQ(list.Width(), 568);

  // Columns: appended without a position or with -1; 50 pixels by default.
  EXPECT_EQ(list.InsertColumn("a"), 0);
  EXPECT_EQ(list.InsertColumn("c", 120, -1), 1);
  EXPECT_EQ(list.InsertColumn("b", 70, 1), 1);
  EXPECT_EQ(list.ColumnCount(), 3);
  EXPECT_EQ(list.ColumnWidth(0), 50);
  EXPECT_EQ(list.ColumnWidth(1), 70);
  EXPECT_EQ(list.ColumnWidth(2), 120);
  EXPECT_EQ(list.ColumnWidth(7), 0);
  EXPECT_TRUE(list.SetColumnWidth(2, 90));
  EXPECT_EQ(list.ColumnWidth(2), 90);
  EXPECT_FALSE(list.SetColumnWidth(5, 90));
  EXPECT_TRUE(list.DeleteColumn(0));
  EXPECT_FALSE(list.DeleteColumn(9));
  EXPECT_EQ(list.ColumnCount(), 2);

  // Rows: selecting a second row keeps the first; the first selected is the lower.
  list.SetItemCount(100000);
  EXPECT_EQ(list.ItemCount(), 100000);
  EXPECT_EQ(list.SelectedIndex(), -1);
  EXPECT_TRUE(list.Select(7));
  EXPECT_TRUE(list.SelectedIndex(3));
  EXPECT_EQ(list.SelectedIndex(), 3);
  EXPECT_FALSE(list.Select(100000));
  EXPECT_TRUE(list.EnsureVisible(99999));
  EXPECT_FALSE(list.EnsureVisible(-1));

  // Moving only the left edge keeps the right edge.
  EXPECT_TRUE(list.SetPosition(300, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(list.Left(), 300);
  EXPECT_EQ(list.Width(), 532);
  EXPECT_TRUE(list.SetPosition(std::nullopt, std::nullopt, 400, 100));
  EXPECT_EQ(list.Handle()->geometry(), QRect(300, 0, 400, 100));

  EXPECT_TRUE(list.Redraw());
  parent.reset();
  EXPECT_FALSE(list.Redraw());
  EXPECT_EQ(list.ColumnCount(), 0);
}

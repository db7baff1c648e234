#include "ui/report_list.h"

#include <QHeaderView>

namespace quenlo::ui {

QTableView* ReportList::Create(QWidget* parent, int left, int top, int width, int height) {
  view_ = new QTableView(parent);
  view_->setObjectName(QStringLiteral("ReportList"));
  view_->setGeometry(left, top, width, height);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setShowGrid(true);
  view_->verticalHeader()->hide();
  view_->setFrameShape(QFrame::Box);
  view_->show();
  return view_;
}

}  // namespace quenlo::ui

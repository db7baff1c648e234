#include "ui/report_list.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "platform/qt_text.h"

namespace quenlo::ui {

// Only the shape of the list: column titles and the row count. Texts come
// from the row source when a row is painted.
class ReportView::ShapeModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  struct ColumnInfo {
    QString title;
    int alignment = 0;
    int width = 50;  // as given; the header cannot hold widths below zero
  };

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows; }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
  }
  QVariant data(const QModelIndex&, int) const override { return {}; }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns.size())) return {};
    const ColumnInfo& c = columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return c.title;
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::AlignVCenter | (c.alignment == 1   ? Qt::AlignHCenter
                                                     : c.alignment == 2 ? Qt::AlignRight
                                                                        : Qt::AlignLeft));
    return {};
  }

  void SetRows(int count) {
    count = std::max(0, count);
    if (count == rows) return;
    if (count > rows) {
      beginInsertRows({}, rows, count - 1);
      rows = count;
      endInsertRows();
    } else {
      beginRemoveRows({}, count, rows - 1);
      rows = count;
      endRemoveRows();
    }
  }
  void InsertColumn(int position, ColumnInfo info) {
    beginInsertColumns({}, position, position);
    columns.insert(columns.begin() + position, std::move(info));
    endInsertColumns();
  }
  void RemoveColumn(int position) {
    beginRemoveColumns({}, position, position);
    columns.erase(columns.begin() + position);
    endRemoveColumns();
  }

  int rows = 0;
  std::vector<ColumnInfo> columns;
};

ReportView::ReportView(QWidget* parent) : QTableView(parent), model_(new ShapeModel(this)) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setShowGrid(true);
  setFrameShape(QFrame::Box);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  verticalHeader()->hide();
  // Every row has the same height: the view then needs no per-row work.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  viewport()->setMouseTracking(true);
}

QAbstractTableModel* ReportView::Model() const { return model_; }

void ReportView::SetWidth(int column, int width) {
  model_->columns[static_cast<std::size_t>(column)].width = width;
  horizontalHeader()->resizeSection(column, std::max(0, width));
}

int ReportView::Width(int column) const {
  const auto& info = model_->columns[static_cast<std::size_t>(column)];
  // A width below zero stays as it was given until the user drags the column.
  int shown = horizontalHeader()->sectionSize(column);
  return info.width < 0 && shown == 0 ? info.width : shown;
}

void ReportView::SetItemCount(int count) { model_->SetRows(count); }
int ReportView::ItemCount() const { return model_->rows; }
int ReportView::ColumnCount() const { return static_cast<int>(model_->columns.size()); }

int ReportView::InsertColumn(const QString& title, int width, int position, int alignment) {
  const int count = ColumnCount();
  if (position < 0 || position > count) position = count;
  model_->InsertColumn(position, {title, alignment, width});
  horizontalHeader()->resizeSection(position, std::max(0, width));
  return position;
}

bool ReportView::DeleteColumn(int column) {
  if (column < 0 || column >= ColumnCount()) return false;
  model_->RemoveColumn(column);
  return true;
}

void ReportView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int rows = model_->rows;
  const int columns = ColumnCount();
  const QRect area = viewport()->rect();
  p.fillRect(area, palette().base());
  if (rows == 0) return;
  int first = rowAt(0);
  if (first < 0) return;
  int last = rowAt(area.height() - 1);
  if (last < 0) last = rows - 1;

  const QColor gridColour = palette().color(QPalette::Mid);
  std::vector<std::string> texts;
  const QFontMetrics fm = fontMetrics();
  for (int r = first; r <= last; ++r) {
    const QRect rowRect(0, rowViewportPosition(r), area.width(), rowHeight(r));
    texts.clear();
    std::int32_t colour = 0;
    if (source_ && source_(r, texts, colour)) {
      // Background: grey for a selected row across the whole width, nothing
      // for the row under the mouse or with the focus, white otherwise.
      if (selectionModel()->isRowSelected(r, QModelIndex()))
        p.fillRect(rowRect, QColor(128, 128, 128));
      else if (r != hotRow_ && r != currentIndex().row())
        p.fillRect(rowRect, Qt::white);
      p.setPen(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
      int left = -horizontalOffset();
      for (int k = 0; k < columns; ++k) {
        const int width = columnWidth(k);
        const QRect textRect(left + 5, rowRect.top(), std::max(0, width - 5), rowRect.height());
        const QString text = k < static_cast<int>(texts.size()) ? ToQ(texts[static_cast<std::size_t>(k)]) : QString();
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fm.elidedText(text, Qt::ElideRight, textRect.width()));
        left += width;
      }
    }
    // Grid lines: under the row and at the right of every column.
    p.setPen(gridColour);
    p.drawLine(rowRect.left(), rowRect.bottom(), rowRect.right(), rowRect.bottom());
    int x = -horizontalOffset();
    for (int k = 0; k < columns; ++k) {
      x += columnWidth(k);
      p.drawLine(x - 1, rowRect.top(), x - 1, rowRect.bottom());
    }
  }
}

void ReportView::contextMenuEvent(QContextMenuEvent* e) {
  const int row = rowAt(e->pos().y());
  const int column = columnAt(e->pos().x());
  e->accept();
  emit rightClicked(row, column);
}

void ReportView::mousePressEvent(QMouseEvent* e) {
  QTableView::mousePressEvent(e);
  if (e->button() == Qt::LeftButton) {
    const QPoint pos = e->position().toPoint();
    emit clicked(rowAt(pos.y()), columnAt(pos.x()));
  }
}

void ReportView::mouseDoubleClickEvent(QMouseEvent* e) {
  QTableView::mouseDoubleClickEvent(e);
  const QPoint pos = e->position().toPoint();
  emit doubleClicked(rowAt(pos.y()), columnAt(pos.x()));
}

void ReportView::mouseMoveEvent(QMouseEvent* e) {
  QTableView::mouseMoveEvent(e);
  const int row = rowAt(e->position().toPoint().y());
  if (row != hotRow_) {
    hotRow_ = row;
    viewport()->update();
  }
}

void ReportView::leaveEvent(QEvent* e) {
  QTableView::leaveEvent(e);
  if (hotRow_ != -1) {
    hotRow_ = -1;
    viewport()->update();
  }
}

void ReportView::keyPressEvent(QKeyEvent* e) {
  emit keyPressed(e->key());
  QTableView::keyPressEvent(e);
}

QTableView* ReportList::Create(QWidget* parent, int left, int top, int width, int height) {
  view_ = new ReportView(parent);
  view_->setObjectName(QStringLiteral("ReportList"));
  view_->setGeometry(left, top, width, height);
  view_->show();
  return view_;
}

QTableView* ReportList::Handle() const { return view_; }

void ReportList::SetRowSource(RowSource source) {
  if (view_) view_->SetRowSource(std::move(source));
}

bool ReportList::SetPosition(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                             std::optional<int> height, std::optional<bool> redraw) {
  if (!view_) return false;
  QRect r = view_->geometry();
  int l = r.left(), t = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
  if (left) l = *left;
  if (top) t = *top;
  if (width) right = l + *width;
  if (height) bottom = t + *height;
  if (redraw && !*redraw) view_->setUpdatesEnabled(false);
  view_->setGeometry(l, t, std::max(0, right - l), std::max(0, bottom - t));
  if (redraw && !*redraw) view_->setUpdatesEnabled(true);
  return true;
}

int ReportList::Left() const { return view_ ? view_->geometry().left() : 0; }
int ReportList::Width() const { return view_ ? view_->geometry().width() : 0; }

int ReportList::ColumnCount() const { return view_ ? view_->ColumnCount() : 0; }

int ReportList::InsertColumn(const std::string& title, int width, int position, int alignment) {
  return view_ ? view_->InsertColumn(ToQ(title), width, position, alignment) : -1;
}

bool ReportList::DeleteColumn(int column) { return view_ && view_->DeleteColumn(column); }

int ReportList::ColumnWidth(int column) const {
  if (!view_ || column < 0 || column >= view_->ColumnCount()) return 0;
  return view_->Width(column);
}

bool ReportList::SetColumnWidth(int column, int width) {
  if (!view_ || column < 0 || column >= view_->ColumnCount()) return false;
  view_->SetWidth(column, width);
  return true;
}

void ReportList::SetItemCount(int count) {
  if (view_) view_->SetItemCount(count);
}

int ReportList::ItemCount() const { return view_ ? view_->ItemCount() : 0; }

int ReportList::SelectedIndex() const {
  if (!view_) return -1;
  int first = -1;
  for (const QModelIndex& i : view_->selectionModel()->selectedRows())
    if (first < 0 || i.row() < first) first = i.row();
  return first;
}

bool ReportList::Select(int row) {
  if (!view_ || row < 0 || row >= view_->ItemCount()) return false;
  view_->selectionModel()->select(view_->Model()->index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  return true;
}

bool ReportList::EnsureVisible(int row) {
  if (!view_ || row < 0 || row >= view_->ItemCount()) return false;
  view_->scrollTo(view_->Model()->index(row, 0));
  return true;
}

bool ReportList::Redraw() {
  if (!view_) return false;
  view_->viewport()->update();
  return true;
}

}  // namespace quenlo::ui

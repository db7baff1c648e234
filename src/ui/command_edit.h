#pragma once
// The command box: a multi-line edit box onto which files can be dropped;
// each dropped file's full path is appended to its text.
#include <QPlainTextEdit>
#include <functional>

namespace quenlo::ui {

class CommandEdit : public QPlainTextEdit {
 public:
  explicit CommandEdit(QWidget* parent = nullptr);

  // Appends `path` at the end of the text (as a drop does).
  void AppendPath(const QString& path);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace quenlo::ui

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

  // Called for Enter, which is then swallowed: no line break is inserted.
  void SetOnEnter(std::function<void()> onEnter) { onEnter_ = std::move(onEnter); }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::function<void()> onEnter_;
};

}  // namespace quenlo::ui

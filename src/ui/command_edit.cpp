#include "ui/command_edit.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QUrl>

namespace quenlo::ui {
namespace {

QStringList LocalFiles(const QMimeData* mime) {
  QStringList files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) files << QDir::toNativeSeparators(url.toLocalFile());
  return files;
}

}  // namespace

CommandEdit::CommandEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setAcceptDrops(true);
}

void CommandEdit::AppendPath(const QString& path) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(path);
  setTextCursor(cursor);
}

void CommandEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dragEnterEvent(event);
}

void CommandEdit::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dragMoveEvent(event);
}

void CommandEdit::dropEvent(QDropEvent* event) {
  QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty()) {
    QPlainTextEdit::dropEvent(event);
    return;
  }
  // Several files at once are appended one after another, separated by a
  // blank, so every dropped path arrives.
  AppendPath(files.join(QLatin1Char(' ')));
  event->acceptProposedAction();
}

void CommandEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    if (onEnter_) onEnter_();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace quenlo::ui

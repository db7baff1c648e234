#include "ui/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "platform/qt_text.h"

namespace quenlo::ui {

namespace {

void SetUp(QMessageBox& box, const std::string& text, const std::string& title, Icon icon,
           Buttons buttons) {
  box.setWindowTitle(ToQ(title.empty() ? std::string(kDefaultCaption) : title));
  box.setText(ToQ(text));
  switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::None: break;
  }
  switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
}

Answer ToAnswer(int result, Buttons buttons) {
  switch (result) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Ok: return Answer::Ok;
    default:
      // Closed without a button: the answer of escape.
      return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
  }
}

}  // namespace

Answer QtDialogs::Message(const std::string& text, const std::string& title, Icon icon,
                          Buttons buttons) {
  QMessageBox box(owner_);
  SetUp(box, text, title, icon, buttons);
  return ToAnswer(box.exec(), buttons);
}

void QtDialogs::MessageAsync(const std::string& text, const std::string& title, Icon icon,
                             Buttons buttons, std::function<void(Answer)> done) {
  auto* box = new QMessageBox(owner_);
  SetUp(*box, text, title, icon, buttons);
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  auto answered = std::make_shared<bool>(false);
  QObject::connect(box, &QDialog::finished, box, [done, buttons, answered](int result) {
    *answered = true;
    done(ToAnswer(result, buttons));
  });
  QObject::connect(box, &QObject::destroyed, [done, answered] {
    if (!*answered) done(Answer::Ok);
  });
  box->show();
}

std::optional<std::string> QtDialogs::Input(const std::string& prompt, const std::string& title,
                                            const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(
      owner_, ToQ(title.empty() ? std::string(kDefaultCaption) : title), ToQ(prompt),
      QLineEdit::Normal, ToQ(initial), &ok);
  if (!ok) return std::nullopt;
  return FromQ(text);
}

std::string QtDialogs::ChooseFileToOpen(const std::string& title, const std::string& initialDir) {
  QFileDialog dialog(owner_, ToQ(title), ToQ(initialDir));
  dialog.setNameFilters({ToQ("xml文件(*.xml)"), ToQ("所有文件(*.*)")});
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(QStringLiteral("xml"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return FromQ(dialog.selectedFiles().first());
}

void ScriptedDialogs::QueueFile(std::string gbkPath) {
  std::lock_guard lock(mu_);
  files_.push_back(std::move(gbkPath));
}

std::string ScriptedDialogs::ChooseFileToOpen(const std::string& title, const std::string& initialDir) {
  std::lock_guard lock(mu_);
  asked_.push_back({"file", {}, title, initialDir, Icon::None, Buttons::OkCancel});
  if (files_.empty()) return {};
  std::string path = files_.front();
  files_.pop_front();
  return path;
}

void ScriptedDialogs::QueueAnswer(Answer a) {
  std::lock_guard lock(mu_);
  answers_.push_back(a);
}

void ScriptedDialogs::QueueInput(std::optional<std::string> text) {
  std::lock_guard lock(mu_);
  inputs_.push_back(std::move(text));
}

Answer ScriptedDialogs::Message(const std::string& text, const std::string& title, Icon icon,
                                Buttons buttons) {
  std::lock_guard lock(mu_);
  asked_.push_back({"message", text, title, {}, icon, buttons});
  if (answers_.empty()) return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok
                                                                                      : Answer::No;
  Answer a = answers_.front();
  answers_.pop_front();
  return a;
}

std::optional<std::string> ScriptedDialogs::Input(const std::string& prompt,
                                                  const std::string& title,
                                                  const std::string& initial) {
  std::lock_guard lock(mu_);
  asked_.push_back({"input", prompt, title, initial, Icon::None, Buttons::OkCancel});
  if (inputs_.empty()) return std::nullopt;
  auto v = inputs_.front();
  inputs_.pop_front();
  return v;
}

std::vector<ScriptedDialogs::Asked> ScriptedDialogs::Asks() const {
  std::lock_guard lock(mu_);
  return asked_;
}

}  // namespace quenlo::ui

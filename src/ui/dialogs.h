#pragma once
// Every message box and input box of the program goes through Dialogs, so
// tests can answer them from a script and see what was asked.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace quenlo::ui {

enum class Icon { None, Information, Warning, Question, Error };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A message box owned by the main window; a box without a title of its
  // own is captioned "信息：". Texts are GBK.
  virtual Answer Message(const std::string& text, const std::string& title, Icon icon,
                         Buttons buttons) = 0;
  // A one-line input box; nothing when the user cancels.
  virtual std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                           const std::string& initial) = 0;
  // An open-file dialog starting in `initialDir` with the filter of xml
  // files and all files. The chosen full path (GBK), or empty when the user
  // cancels. A name typed for a file that does not exist is accepted.
  virtual std::string ChooseFileToOpen(const std::string& title, const std::string& initialDir) = 0;

  // A message box that leaves the rest of the window usable; `done` is
  // called once with the answer when it is dismissed (also when its owner
  // goes away first). The base shows it like Message.
  virtual void MessageAsync(const std::string& text, const std::string& title, Icon icon,
                            Buttons buttons, std::function<void(Answer)> done) {
    done(Message(text, title, icon, buttons));
  }
};

// The real dialogs, owned by `owner`. Must be called on the window's thread.
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* owner) : owner_(owner) {}
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override;
  std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                   const std::string& initial) override;
  std::string ChooseFileToOpen(const std::string& title, const std::string& initialDir) override;
  void MessageAsync(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                    std::function<void(Answer)> done) override;

 private:
  QWidget* owner_;
};

// Answers from a queue and records every question, for tests.
class ScriptedDialogs : public Dialogs {
 public:
  struct Asked {
    std::string kind;  // "message", "input" or "file"
    std::string text, title, initial;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
  };
  void QueueAnswer(Answer a);
  void QueueInput(std::optional<std::string> text);
  void QueueFile(std::string gbkPath);
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override;
  std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                   const std::string& initial) override;
  std::string ChooseFileToOpen(const std::string& title, const std::string& initialDir) override;
  std::vector<Asked> Asks() const;

 private:
  std::deque<std::string> files_;
  mutable std::mutex mu_;
  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> inputs_;
  std::vector<Asked> asked_;
};

// The caption of a box that has no title of its own.
inline constexpr const char* kDefaultCaption = "信息：";

}  // namespace quenlo::ui

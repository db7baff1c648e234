#include "ui/menu_builder.h"

#include <QAction>
#include <QMenu>

#include "platform/qt_text.h"

namespace quenlo::ui {

QMenu* BuildQMenu(const config::PopupMenu& menu, QWidget* parent) {
  auto* qmenu = new QMenu(parent);
  for (const config::MenuItem& item : menu.items) {
    switch (item.kind) {
      case config::MenuItem::Kind::Separator:
        qmenu->addSeparator();
        break;
      case config::MenuItem::Kind::Command: {
        QAction* action = qmenu->addAction(ToQ(item.text));
        action->setData(item.commandId);
        break;
      }
      case config::MenuItem::Kind::Submenu: {
        QMenu* sub = BuildQMenu(*item.submenu, qmenu);
        sub->setTitle(ToQ(item.text));
        qmenu->addMenu(sub);
        break;
      }
    }
  }
  return qmenu;
}

int MenuCommandId(const QAction* action) {
  if (!action || action->menu()) return 0;
  bool ok = false;
  int id = action->data().toInt(&ok);
  return ok ? id : 0;
}

}  // namespace quenlo::ui

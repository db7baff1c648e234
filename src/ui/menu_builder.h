#pragma once
// Qt menus for the configured popup menus. Each command item carries its
// command identifier as the action's data; texts keep their '&' access key.
#include "config/menus.h"

class QMenu;
class QWidget;
class QAction;

namespace quenlo::ui {

QMenu* BuildQMenu(const config::PopupMenu& menu, QWidget* parent);

// The command identifier an action carries; 0 for none.
int MenuCommandId(const QAction* action);

}  // namespace quenlo::ui

#include "gui/skin/skin_menu.h"

#include <QIcon>

#include "gui/skin/skin_image.h"

namespace orv {

QMenu* NewSkinMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setStyleSheet(
      "QMenu { background-color: rgb(213, 224, 240); border: 1px solid rgb(110, 138, 182); "
      "padding: 2px; }"
      "QMenu::item { padding: 3px 18px 3px 26px; color: black; }"
      "QMenu::item:selected { background-color: rgb(168, 196, 236); }"
      "QMenu::item:disabled { color: rgb(130, 140, 160); }"
      "QMenu::icon { padding-left: 4px; }"
      "QMenu::separator { height: 1px; background: rgb(160, 180, 212); margin: 3px 4px; }");
  return menu;
}

QAction* AddSkinEntry(QMenu* menu, const QString& text, int commandId, const QString& icon) {
  QAction* action = menu->addAction(text);
  action->setData(commandId);
  action->setObjectName(QString("command%1").arg(commandId));
  if (!icon.isEmpty()) action->setIcon(QIcon(SkinIconPath(icon)));
  return action;
}

}  // namespace orv

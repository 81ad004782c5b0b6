// Popup menus in the dialog colours with small icons.
#pragma once

#include <QMenu>
#include <QString>

namespace orv {

// A menu styled like the rest of the skin.
QMenu* NewSkinMenu(QWidget* parent);

// Adds an entry that carries its command id; icon names a res/icon_<name>.png.
QAction* AddSkinEntry(QMenu* menu, const QString& text, int commandId, const QString& icon = {});

inline int CommandIdOf(const QAction* action) { return action->data().toInt(); }

}  // namespace orv

#include "gui/skin/skin_combo.h"

namespace orv {

QComboBox* NewSkinComboBox(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  // The skin gives the combo box a thin row; keep its text inside it.
  combo->setStyleSheet(
      "QComboBox { font-size: 11px; padding: 0px 4px; border: 1px solid rgb(112, 140, 186); "
      "background: white; }"
      "QComboBox::drop-down { width: 15px; border-left: 1px solid rgb(112, 140, 186); "
      "background: rgb(226, 234, 247); }"
      "QComboBox::down-arrow { image: url(:/res/icon_down.png); }"
      // The entry under the pointer in the skin's blue, its text white. The
      // drop-down draws its entries as the combo box's own items, so they take
      // their colours from these rules; the view's selection colours alone
      // leave that entry in the box's white once the program's colours are set.
      "QComboBox QAbstractItemView { background: white; color: black; "
      "selection-background-color: rgb(72, 124, 200); selection-color: white; }"
      "QComboBox::item { background: white; color: black; }"
      "QComboBox::item:selected { background: rgb(72, 124, 200); color: white; }");
  return combo;
}

}  // namespace orv

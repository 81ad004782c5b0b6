// Drop-down lists in the skin's colours, sized for its thin rows.
#pragma once

#include <QComboBox>

namespace orv {

QComboBox* NewSkinComboBox(QWidget* parent);

}  // namespace orv

// The skin's images, embedded from res/ and named by resource id.
#pragma once

#include <QPixmap>
#include <QString>

namespace orv {

// A null pixmap for id 0 or an image the skin lacks.
QPixmap SkinImage(int id);
QString SkinImagePath(int id);
// The small menu icon res/icon_<name>.png.
QString SkinIconPath(const QString& name);

}  // namespace orv

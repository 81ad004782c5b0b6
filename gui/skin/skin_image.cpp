#include "gui/skin/skin_image.h"

// The images live in a static library, where nothing else would pull their
// resources into the program.
static void InitSkinResources() { Q_INIT_RESOURCE(resources); }

namespace orv {
namespace {

void EnsureResources() {
  static const bool done = (InitSkinResources(), true);
  (void)done;
}

}  // namespace

QString SkinImagePath(int id) {
  EnsureResources();
  return QString(":/res/%1.png").arg(id);
}

QPixmap SkinImage(int id) { return id == 0 ? QPixmap() : QPixmap(SkinImagePath(id)); }

QString SkinIconPath(const QString& name) {
  EnsureResources();
  return QString(":/res/icon_%1.png").arg(name);
}

}  // namespace orv

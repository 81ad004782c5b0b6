// Helpers the widget tests share.
#pragma once

#include <QTest>

#include "gui/main_window.h"

namespace orv::test {

// Added files are read on a thread of their own: waits until the last one
// has its row (or was left out).
inline bool WaitUntilRead(const MainWindow& window, int timeoutMs = 30000) {
  return QTest::qWaitFor([&] { return !window.Reading(); }, timeoutMs);
}

}  // namespace orv::test

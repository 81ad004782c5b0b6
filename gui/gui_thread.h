// Calls from the conversion thread into widgets: run on the GUI thread and
// wait for the answer.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <type_traits>

namespace orv {

// Runs fn on the application's (GUI) thread and waits for it; runs it at once
// when called there.
template <typename Fn>
auto OnGuiThread(Fn fn) {
  using R = decltype(fn());
  if (QThread::currentThread() == qApp->thread()) return fn();
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(qApp, fn, Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(qApp, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

}  // namespace orv

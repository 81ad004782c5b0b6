// Private D-Bus buses for tests, and stand-ins for logind and the
// notification service on them. The stand-ins answer on a thread of their
// own, so a test may call them with blocking calls from its main thread.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <mutex>
#include <vector>

#include "tests/support/test_support.h"

namespace orv::test {

// A dbus-daemon of our own with nothing on it; it ends with the object.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  bool Running() const { return !address_.isEmpty(); }
  const QString& address() const { return address_; }

 private:
  TempDir dir_;
  QProcess daemon_;
  QString address_;
};

// logind's Manager: Inhibit hands out a pipe's write end; the test keeps the
// read end, which sees the end of the pipe once every copy is closed.
class FakeLogin : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
 public:
  ~FakeLogin() override;
  int Count();
  QStringList Arguments(int i);
  // The inhibitor i is still held by someone.
  bool Held(int i);

 public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode);

 private:
  std::mutex mutex_;
  std::vector<QStringList> calls_;
  std::vector<int> readEnds_;
};

struct RecordedNotice {
  QString app, icon, summary, body;
  QStringList actions;
  uint id = 0;
};

class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  std::vector<RecordedNotice> Notices();

 public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout);

 private:
  std::mutex mutex_;
  std::vector<RecordedNotice> notices_;
};

// Both stand-ins, each on the bus given (an empty address: not started).
class FakeDesktopServices {
 public:
  FakeDesktopServices(const QString& systemAddress, const QString& sessionAddress);
  ~FakeDesktopServices();
  // The user picked the action of notice id.
  void InvokeAction(uint id, const QString& action);

  FakeLogin* login = nullptr;
  FakeNotifications* notices = nullptr;

 private:
  QThread thread_;
  QString systemName_, sessionName_;
};

}  // namespace orv::test

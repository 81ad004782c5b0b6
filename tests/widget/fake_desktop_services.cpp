#include "tests/widget/fake_desktop_services.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>

namespace orv::test {
namespace {

// Everything allowed, nothing started on demand: only what a test puts on
// the bus is there.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateBus::PrivateBus() {
  const QString config = QString::fromStdString(dir_ / "bus.conf");
  WriteText(config.toStdString(),
            QString(kBusConfig).arg(QString::fromStdString(dir_.path())).toStdString());
  daemon_.start("dbus-daemon", {"--config-file=" + config, "--print-address", "--nofork"});
  if (!daemon_.waitForStarted(5000)) return;
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
  if (daemon_.state() == QProcess::NotRunning) return;
  daemon_.terminate();
  if (!daemon_.waitForFinished(5000)) {
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }
}

FakeLogin::~FakeLogin() {
  for (int fd : readEnds_) ::close(fd);
}

QDBusUnixFileDescriptor FakeLogin::Inhibit(const QString& what, const QString& who,
                                           const QString& why, const QString& mode) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  const QDBusUnixFileDescriptor handed(ends[1]);  // a copy of its own
  ::close(ends[1]);
  std::lock_guard lock(mutex_);
  calls_.push_back({what, who, why, mode});
  readEnds_.push_back(ends[0]);
  return handed;
}

int FakeLogin::Count() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(calls_.size());
}

QStringList FakeLogin::Arguments(int i) {
  std::lock_guard lock(mutex_);
  return calls_.at(static_cast<std::size_t>(i));
}

bool FakeLogin::Held(int i) {
  std::lock_guard lock(mutex_);
  pollfd p{readEnds_.at(static_cast<std::size_t>(i)), POLLIN, 0};
  return ::poll(&p, 1, 0) == 0;
}

uint FakeNotifications::Notify(const QString& app, uint, const QString& icon,
                               const QString& summary, const QString& body,
                               const QStringList& actions, const QVariantMap&, int) {
  std::lock_guard lock(mutex_);
  const uint id = static_cast<uint>(notices_.size()) + 41;
  notices_.push_back({app, icon, summary, body, actions, id});
  return id;
}

std::vector<RecordedNotice> FakeNotifications::Notices() {
  std::lock_guard lock(mutex_);
  return notices_;
}

FakeDesktopServices::FakeDesktopServices(const QString& systemAddress,
                                         const QString& sessionAddress)
    : login(new FakeLogin),
      notices(new FakeNotifications),
      systemName_(QString("fake-system-%1").arg(reinterpret_cast<quintptr>(this))),
      sessionName_(QString("fake-session-%1").arg(reinterpret_cast<quintptr>(this))) {
  login->moveToThread(&thread_);
  notices->moveToThread(&thread_);
  QObject::connect(&thread_, &QThread::finished, login, &QObject::deleteLater);
  QObject::connect(&thread_, &QThread::finished, notices, &QObject::deleteLater);
  thread_.start();
  if (!systemAddress.isEmpty()) {
    QDBusConnection bus = QDBusConnection::connectToBus(systemAddress, systemName_);
    bus.registerObject("/org/freedesktop/login1", login, QDBusConnection::ExportAllSlots);
    bus.registerService("org.freedesktop.login1");
  }
  if (!sessionAddress.isEmpty()) {
    QDBusConnection bus = QDBusConnection::connectToBus(sessionAddress, sessionName_);
    bus.registerObject("/org/freedesktop/Notifications", notices, QDBusConnection::ExportAllSlots);
    bus.registerService("org.freedesktop.Notifications");
  }
}

FakeDesktopServices::~FakeDesktopServices() {
  QDBusConnection::disconnectFromBus(systemName_);
  QDBusConnection::disconnectFromBus(sessionName_);
  thread_.quit();
  thread_.wait();
}

void FakeDesktopServices::InvokeAction(uint id, const QString& action) {
  QDBusMessage signal = QDBusMessage::createSignal(
      "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
  signal << id << action;
  QDBusConnection(sessionName_).send(signal);
}

}  // namespace orv::test

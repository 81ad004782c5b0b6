#include "gui/desktop_bus.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QUrl>
#include <QVariantMap>

#include "gui/strings.h"

namespace orv {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";
constexpr const char* kNotices = "org.freedesktop.Notifications";
constexpr const char* kNoticesPath = "/org/freedesktop/Notifications";
constexpr const char* kAppName = "Orvantic";
constexpr const char* kOpenFolderLabel = "Open output folder";
// logind answers at once; a bus that hangs must not hold the run for long.
constexpr int kCallTimeoutMs = 5000;

// logind keeps its inhibitor while any copy of the descriptor is open.
class LogindBlock : public SleepBlock {
 public:
  explicit LogindBlock(int fd) : fd_(fd) {}
  ~LogindBlock() override { ::close(fd_); }
  LogindBlock(const LogindBlock&) = delete;
  LogindBlock& operator=(const LogindBlock&) = delete;

 private:
  int fd_;
};

QDBusConnection Connect(QDBusConnection::BusType type, const QString& address,
                        const QString& name) {
  if (address.isEmpty())
    return type == QDBusConnection::SystemBus ? QDBusConnection::systemBus()
                                              : QDBusConnection::sessionBus();
  // A second call with the same name gets the first connection back.
  return QDBusConnection::connectToBus(address, name);
}

}  // namespace

DesktopBus::DesktopBus(std::function<void(const std::string&)> openFolder, BusAddresses addresses,
                       QObject* parent)
    : QObject(parent),
      openFolder_(std::move(openFolder)),
      addresses_(std::move(addresses)),
      systemName_(QString("orvantic-system-%1").arg(reinterpret_cast<quintptr>(this))),
      sessionName_(QString("orvantic-session-%1").arg(reinterpret_cast<quintptr>(this))) {}

DesktopBus::~DesktopBus() {
  if (listening_) {
    QDBusConnection bus = SessionBus();
    bus.disconnect(kNotices, kNoticesPath, kNotices, "ActionInvoked", this,
                   SLOT(OnActionInvoked(uint, QString)));
    bus.disconnect(kNotices, kNoticesPath, kNotices, "NotificationClosed", this,
                   SLOT(OnNotificationClosed(uint, uint)));
  }
  if (!addresses_.system.isEmpty()) QDBusConnection::disconnectFromBus(systemName_);
  if (!addresses_.session.isEmpty()) QDBusConnection::disconnectFromBus(sessionName_);
}

QDBusConnection DesktopBus::SystemBus() {
  std::lock_guard lock(systemMutex_);
  return Connect(QDBusConnection::SystemBus, addresses_.system, systemName_);
}

QDBusConnection DesktopBus::SessionBus() {
  return Connect(QDBusConnection::SessionBus, addresses_.session, sessionName_);
}

std::unique_ptr<SleepBlock> DesktopBus::BlockSleep(const std::string& why) {
  QDBusConnection bus = SystemBus();
  if (!bus.isConnected()) return nullptr;
  QDBusMessage call = QDBusMessage::createMethodCall(kLogin, kLoginPath, kLoginManager, "Inhibit");
  call << QString("sleep") << QString(kAppName) << QString::fromStdString(why)
       << QString("block");
  const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid() || !reply.value().isValid()) return nullptr;
  // Our own copy, closed on exec: an engine started during the run must not
  // inherit it and keep the machine awake after the run.
  const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  return std::make_unique<LogindBlock>(fd);
}

bool DesktopBus::ListenToNotices(QDBusConnection& bus) {
  if (listening_) return true;
  listening_ = bus.connect(kNotices, kNoticesPath, kNotices, "ActionInvoked", this,
                           SLOT(OnActionInvoked(uint, QString))) &&
               bus.connect(kNotices, kNoticesPath, kNotices, "NotificationClosed", this,
                           SLOT(OnNotificationClosed(uint, uint)));
  return listening_;
}

void DesktopBus::NoticeRunEnd(const std::string& text, const std::string& folder) {
  QDBusConnection bus = SessionBus();
  if (!bus.isConnected() || !ListenToNotices(bus)) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kNotices, kNoticesPath, kNotices, "Notify");
  const QVariantMap hints{{"desktop-entry", QString("orvantic")}};
  call << QString(kAppName) << 0u << QString("orvantic")
       << QString::fromStdString(ResourceString(kStrAppTitle)) << QString::fromStdString(text)
       << QStringList{kOpenFolderAction, kOpenFolderLabel} << hints << -1;
  // Not waited for: a slow or missing service must not hold the window.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, folder] {
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isValid()) noticeFolders_[reply.value()] = folder;
  });
}

void DesktopBus::OnActionInvoked(uint id, const QString& action) {
  const auto notice = noticeFolders_.find(id);
  if (notice == noticeFolders_.end() || action != kOpenFolderAction) return;
  const std::string folder = notice->second;
  noticeFolders_.erase(notice);
  if (openFolder_)
    openFolder_(QUrl::fromLocalFile(QString::fromStdString(folder)).toString().toStdString());
}

void DesktopBus::OnNotificationClosed(uint id, uint) { noticeFolders_.erase(id); }

}  // namespace orv

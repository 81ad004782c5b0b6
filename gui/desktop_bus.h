// Desktop over D-Bus: a logind inhibitor holds sleep off during a run, and
// the notification service shows how it ended. Missing buses or services
// make each call a quiet no-op.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "platform/desktop.h"

class QDBusConnection;

namespace orv {

// Where the two buses are; an empty address means the session's own bus.
struct BusAddresses {
  QString system;
  QString session;
};

class DesktopBus : public QObject, public Desktop {
  Q_OBJECT
 public:
  // openFolder gets a file URL when the user picks a notice's action.
  explicit DesktopBus(std::function<void(const std::string& url)> openFolder,
                      BusAddresses addresses = {}, QObject* parent = nullptr);
  ~DesktopBus() override;

  std::unique_ptr<SleepBlock> BlockSleep(const std::string& why) override;
  void NoticeRunEnd(const std::string& text, const std::string& folder) override;

 private slots:
  void OnActionInvoked(uint id, const QString& action);
  void OnNotificationClosed(uint id, uint reason);

 private:
  QDBusConnection SystemBus();
  QDBusConnection SessionBus();
  // The session connection, listening to the notices' signals once.
  bool ListenToNotices(QDBusConnection& bus);

  std::function<void(const std::string&)> openFolder_;
  BusAddresses addresses_;
  QString systemName_, sessionName_;  // our own connections to given addresses
  std::mutex systemMutex_;            // BlockSleep runs on the conversion thread
  bool listening_ = false;
  std::map<uint, std::string> noticeFolders_;  // open notices: id, output folder
};

}  // namespace orv

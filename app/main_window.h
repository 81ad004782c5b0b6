// The main window of the converter.
#pragma once

#include <QDialog>

#include "app/shell.h"
#include "platform/installation.h"
#include "settings/app_settings.h"

namespace orv {

class MainWindow : public QDialog {
  Q_OBJECT
 public:
  MainWindow(const Installation& installation, AppSettings& settings, Shell& shell,
             QWidget* parent = nullptr);

 private:
  Installation installation_;
  AppSettings& settings_;
  Shell& shell_;
};

}  // namespace orv

#include "app/main_window.h"

namespace orv {

MainWindow::MainWindow(const Installation& installation, AppSettings& settings, Shell& shell,
                       QWidget* parent)
    : QDialog(parent), installation_(installation), settings_(settings), shell_(shell) {
  setWindowTitle("Orvantic DVD Converter");
  setFixedSize(720, 540);
}

}  // namespace orv

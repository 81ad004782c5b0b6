#include "gui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

#include "gui/file_reading.h"
#include "gui/main_window_ids.h"
#include "gui/source_list_ctrl.h"
#include "gui/strings.h"
#include "core/convert/progress.h"
#include "core/link/identification.h"
#include "platform/process_list.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "gui/preview/video_panel.h"
#include "core/settings/option_tables.h"
#include "gui/settings/settings_grid.h"
#include "gui/skin/gradient_progress.h"
#include "gui/skin/skin_button.h"
#include "gui/skin/skin_combo.h"
#include "gui/skin/skin_image.h"
#include "gui/skin/skin_menu.h"

namespace orv {
namespace {

struct ButtonSpec {
  int id;
  ButtonFaces faces;
  int left, top, right, bottom;
};

const ButtonSpec kButtons[] = {
    {ids::kExit, {195, 0, 194}, 696, 2, 713, 18},
    {ids::kMinimise, {197, 0, 196}, 656, 3, 675, 18},
    {ids::kFileMenu, {135, 139, 136}, 13, 24, 40, 38},
    {ids::kEditMenu, {141, 142, 140}, 48, 24, 77, 38},
    {ids::kSettingsMenu, {151, 152, 150}, 84, 24, 134, 38},
    {ids::kPlayMenu, {154, 155, 153}, 144, 24, 175, 38},
    {ids::kConvertMenu, {157, 158, 156}, 180, 24, 228, 38},
    {ids::kHelpMenu, {160, 161, 159}, 237, 24, 268, 38},
    {ids::kAdd, {138, 149, 137}, 26, 42, 88, 106},
    {ids::kRemove, {163, 164, 162}, 88, 42, 154, 106},
    {ids::kClear, {166, 169, 168}, 154, 42, 219, 106},
    {ids::kConvert, {170, 167, 165}, 219, 42, 284, 106},
    {ids::kStop, {172, 173, 171}, 284, 42, 349, 106},
    {ids::kDvd, {175, 176, 174}, 349, 42, 415, 106},
    {ids::kWebsite, {177, 178, 179}, 415, 42, 481, 106},
    {ids::kPlayPause, {181, 0, 180}, 527, 191, 560, 220},
    {ids::kStopPlaying, {183, 0, 182}, 560, 191, 596, 220},
    {ids::kPlayPrevious, {185, 0, 184}, 596, 191, 633, 220},
    {ids::kPlayNext, {187, 0, 186}, 633, 191, 670, 220},
    {ids::kSaveProfileAs, {189, 0, 188}, 426, 445, 501, 470},
    {ids::kBrowse, {191, 0, 190}, 426, 470, 501, 496},
    {ids::kCancel, {193, 0, 1017}, 435, 506, 511, 530},
};


struct MenuSpec {
  int buttonId;
  int menuId;
  struct Entry {
    const char* text;  // nullptr: separator
    int command;
    const char* icon;
  };
  std::vector<Entry> entries;
};

const std::vector<MenuSpec>& Menus() {
  static const std::vector<MenuSpec> menus = {
      {ids::kFileMenu,
       ids::kMenuFile,
       {{"New project", ids::kCmdNewProject, "new"},
        {"Open Project...", ids::kCmdOpenProject, "open"},
        {"Save Project...", ids::kCmdSaveProject, "save"},
        {nullptr, 0, nullptr},
        {"Add File...", ids::kCmdAddFile, "add"},
        {"Delete Selected File", ids::kCmdDeleteSelected, "remove"},
        {"Clear", ids::kCmdClear, "clear"},
        {nullptr, 0, nullptr},
        {"Open DVD...", ids::kDvd, "dvd"},
        {nullptr, 0, nullptr},
        {"load profile...", ids::kCmdLoadProfile, "open"},
        {nullptr, 0, nullptr},
        {"Exit", ids::kCmdExit, "exit"}}},
      {ids::kEditMenu,
       ids::kMenuEdit,
       {{"Video information...", ids::kCmdVideoInformation, "info"},
        {"Set Output File Name...", ids::kCmdSetOutputName, "rename"}}},
      {ids::kSettingsMenu,
       ids::kMenuSettings,
       {{"Set Output Path...", ids::kCmdSetOutputPath, "folder"},
        {"Output File Overwrite...", ids::kCmdOverwrite, "overwrite"},
        {"Simultaneous conversions...", ids::kCmdSimultaneous, "convert"},
        {"DVD Settings...", ids::kDvd, "dvd"}}},
      {ids::kPlayMenu,
       ids::kMenuPlay,
       {{"Play", ids::kCmdPlay, "play"}, {"Stop", ids::kCmdStopPlaying, "stop"}}},
      {ids::kConvertMenu,
       ids::kMenuConvert,
       {{"Convert", ids::kCmdConvert, "convert"}, {"Stop", ids::kCmdStopConversion, "stop"}}},
      {ids::kHelpMenu,
       ids::kMenuHelp,
       {{"Help...", ids::kCmdHelp, "help"},
        {"Website", ids::kCmdWebsite, "web"},
        {"Contact us", ids::kCmdContact, "mail"},
        {"About...", ids::kCmdAbout, "info"}}},
  };
  return menus;
}

// What a screen reader says for each skinned button (and what tests look for).
const QHash<int, QString>& ButtonNames() {
  static const QHash<int, QString> names = {
      {ids::kExit, "Exit"},
      {ids::kMinimise, "Minimise"},
      {ids::kFileMenu, "File menu"},
      {ids::kEditMenu, "Edit menu"},
      {ids::kSettingsMenu, "Settings menu"},
      {ids::kPlayMenu, "Play menu"},
      {ids::kConvertMenu, "Convert menu"},
      {ids::kHelpMenu, "Help menu"},
      {ids::kAdd, "Add File"},
      {ids::kRemove, "Remove"},
      {ids::kClear, "Clear"},
      {ids::kConvert, "Convert"},
      {ids::kStop, "Stop conversion"},
      {ids::kDvd, "Add DVD titles"},
      {ids::kWebsite, "Website"},
      {ids::kPlayPause, "Play or pause"},
      {ids::kStopPlaying, "Stop playing"},
      {ids::kPlayPrevious, "Play previous"},
      {ids::kPlayNext, "Play next"},
      {ids::kSaveProfileAs, "Save profile as"},
      {ids::kBrowse, "Browse for the output folder"},
      {ids::kCancel, "Cancel conversion"},
  };
  return names;
}

const char* const kProfileNames[kProfileCount] = {
    "Tovix MPEG4 320x240 AAC (*.mp4)", "Tovix MPEG4 640x480 AAC (*.mp4)",
    "Tovix AVC H264 320x240 AAC (*.mp4)", "Save as MP3 format (*.mp3)"};


}  // namespace

MainWindow::MainWindow(const Installation& installation, AppSettings& settings, Shell& shell,
                       QWidget* parent)
    : QDialog(parent),
      installation_(installation),
      settings_(settings),
      shell_(shell),
      link_(installation, shell),
      batchLink_(installation, shell),
      gridRows_(BuildGridRows()),
      exitHook_([](int status) { std::_Exit(status); }) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint);
  setWindowTitle(QString::fromStdString(ResourceString(kStrAppTitle)));
  setWindowIcon(QIcon(SkinImagePath(ids::kAppIcon)));
  setFocusPolicy(Qt::StrongFocus);
  setFixedSize(kWindowWidth, kWindowHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - kWindowWidth) / 2,
         area.top() + (area.height() - kWindowHeight) / 2);
  }
  skin_ = SkinImage(ids::kSkinBackground);

  CreateControls();
  link_.PrepareFolder(installation_.programFolder);
  batchLink_.PrepareFolder(installation_.programFolder);
  batch_ = std::make_unique<BatchRun>(items_, batchLink_, *runDisplay_);
  runDisplay_->Attach(*batch_);
  previewView_ = std::make_unique<PreviewView>(
      qobject_cast<SkinButton*>(controls_.value(ids::kPlayPause)), videoPanel_,
      [this] { player_->OnPlayTimer(); });
  player_ = std::make_unique<Player>(link_, shell_, *previewView_, [this] { return Activity(); });

  outputFolderText_ = settings_.outputPath;
  outputFolderEdit_->setText(QString::fromStdString(outputFolderText_));
  profileCombo_->setCurrentIndex(0);
  shutDown_->setChecked(false);
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  reading_->Abort();
  EndRun();
  batch_.reset();
}

void MainWindow::Place(QWidget* widget, int id, int left, int top, int right, int bottom) {
  widget->setGeometry(left, top, right - left, bottom - top);
  controls_.insert(id, widget);
}

void MainWindow::CreateControls() {
  // In this order: the focus goes from control to control in it.
  CreateSliders();
  profileCombo_ = NewSkinComboBox(this);
  profileCombo_->setAccessibleName("Profile");
  for (const char* name : kProfileNames) profileCombo_->addItem(name);
  Place(profileCombo_, ids::kProfileCombo, 81, 449, 421, 462);
  CreateButtons();
  CreateMenus();
  CreateOutputControls();
  CreateListAndGrid();
  shutDown_ = new QCheckBox("Shut down PC when finished", this);
  Place(shutDown_, ids::kShutDown, 520, 514, 709, 526);
  runDisplay_ = new RunDisplay(installation_, shell_, items_,
                               {list_, itemProgress_, listProgress_, estimateLabel_, shutDown_},
                               [this] { return outputFolderText_; }, this);
}

void MainWindow::CreateSliders() {
  positionSlider_ = new PositionSlider(ids::kPositionSlider, this);
  positionSlider_->move(528, 222);
  positionSlider_->SetChannelBitmaps(ids::kChannel, ids::kChannelActive, false, 0, 0, 0);
  positionSlider_->SetThumbBitmaps(ids::kThumb, ids::kThumbActive, true, kKeyFromPixel, 0, 0);
  positionSlider_->SetDrawFocusRect(false, false);
  positionSlider_->SetRange(0.0, 100.0, false);
  positionSlider_->SetPos(40.0);
  positionSlider_->SetMargins(1, 1, 0, 0);
  positionSlider_->setAccessibleName("Playback position");
  controls_.insert(ids::kPositionSlider, positionSlider_);
  connect(positionSlider_, &PositionSlider::positionDragged, this, &MainWindow::OnPositionDragged,
          Qt::QueuedConnection);
  connect(positionSlider_, &PositionSlider::positionReleased, this, &MainWindow::OnPositionReleased,
          Qt::QueuedConnection);

  auto* defaultButton = new QPushButton(this);
  defaultButton->setAutoDefault(false);
  Place(defaultButton, ids::kDefaultButton, 820, 922, 825, 923);

  rangeSlider_ = new RangeSlider(this);
  Place(rangeSlider_, ids::kRangeSlider, 520, 236, 705, 251);
  rangeSlider_->setAccessibleName("Clip range");
  connect(rangeSlider_, &RangeSlider::clipRangeChanged, this, &MainWindow::OnClipRangeChanged,
          Qt::DirectConnection);
}

void MainWindow::CreateOutputControls() {
  videoPanel_ = new VideoPanel(this);
  Place(videoPanel_, ids::kVideoPanel, 520, 48, 706, 186);
  videoPanel_->setAccessibleName("Preview");
  outputFolderEdit_ = new QLineEdit(this);
  outputFolderEdit_->installEventFilter(this);
  outputFolderEdit_->setStyleSheet(
      "QLineEdit { font-size: 11px; padding: 0px 2px; border: 1px solid rgb(112, 140, 186); }");
  Place(outputFolderEdit_, ids::kOutputFolder, 84, 475, 414, 491);
  outputFolderEdit_->setAccessibleName("Output folder");
  itemProgress_ = new GradientProgress(this);
  Place(itemProgress_, ids::kItemProgress, 81, 510, 420, 516);
  listProgress_ = new GradientProgress(this);
  Place(listProgress_, ids::kListProgress, 81, 520, 420, 526);
  itemProgress_->setAccessibleName("Item progress");
  listProgress_->setAccessibleName("List progress");
  for (GradientProgress* bar : {itemProgress_, listProgress_}) {
    bar->SetRange(0, 100);
    bar->SetPos(100);
  }
  // Under the bars: which item runs and how long the list still takes.
  estimateLabel_ = new QLabel(this);
  estimateLabel_->setObjectName("estimate");
  estimateLabel_->setAccessibleName("Time left");
  estimateLabel_->setStyleSheet("QLabel { font-size: 10px; color: rgb(0, 0, 20); }");
  estimateLabel_->setGeometry(81, 527, 350, 12);
}

void MainWindow::CreateListAndGrid() {
  list_ = new SourceListCtrl(this);
  Place(list_, ids::kSourceList, 14, 112, 506, 438);
  // Under the list while added files are read: "Reading 37 of 100…" and Cancel.
  reading_ = new FileReading(
      installation_, shell_,
      [this](const std::string& path, const FileAnswer& answer, const AddContext& context) {
        OnFileRead(path, answer, context);
      },
      this);
  Place(reading_, ids::kReadingLine, 14, 438, 506, 449);
  connect(list_, &SourceListCtrl::filesDropped, this, [this](const std::vector<std::string>& paths) {
    // Queued: the file manager's drag ends before any question is asked.
    QMetaObject::invokeMethod(this, [this, paths] { AddPaths(paths); }, Qt::QueuedConnection);
  });
  connect(list_, &SourceListCtrl::posted, this, &MainWindow::OnPosted, Qt::QueuedConnection);
  connect(list_, &QAbstractItemView::pressed, this,
          [this](const QModelIndex& index) { ShowItemSettings(index.row()); });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) {
    StopPlaying();
    Play();
  });

  grid_ = new SettingsGrid(shell_, this);
  Place(grid_, ids::kSettingsGrid, 518, 267, 708, 506);
  grid_->setAccessibleName("Conversion settings");
  for (int row : InitialShownRows()) grid_->AddRow(&gridRows_[static_cast<std::size_t>(row)]);
  connect(grid_, &SettingsGrid::posted, this, &MainWindow::OnGridPosted, Qt::QueuedConnection);
  connect(profileCombo_, &QComboBox::activated, this, [this](int) { ApplyProfile(); });
  videoPanel_->SetPauseScreen(false);
}

void MainWindow::CreateButtons() {
  for (const ButtonSpec& spec : kButtons) {
    auto* button = new SkinButton(spec.id, spec.faces, this);
    Place(button, spec.id, spec.left, spec.top, spec.right, spec.bottom);
    button->setAccessibleName(ButtonNames().value(spec.id));
    if (!button->FacesLoaded())
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    const int id = spec.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    if (id == ids::kPlayPause) button->SetAlternateFaces({228, 229, 0});
  }
}

void MainWindow::CreateMenus() {
  for (const MenuSpec& spec : Menus()) {
    QMenu* menu = NewSkinMenu(this);
    menu->setObjectName(QString("menu%1").arg(spec.menuId));
    for (const auto& entry : spec.entries) {
      if (!entry.text) {
        menu->addSeparator();
        continue;
      }
      QAction* action = AddSkinEntry(menu, entry.text, entry.command, entry.icon);
      const int command = entry.command;
      connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    }
    menus_.insert(spec.buttonId, menu);
  }
}

void MainWindow::PopUp(int buttonId) {
  QWidget* button = controls_.value(buttonId);
  QMenu* menu = menus_.value(buttonId);
  if (!button || !menu) return;
  menu->exec(button->mapToGlobal(QPoint(0, button->height())));
}

EngineActivity MainWindow::Activity() const {
  // While added files are read, the engine that runs is the reader's: nothing
  // plays, and a Stop of the player must not end it. No run starts meanwhile.
  if (Reading() && !batch_->ThreadRunning()) return EngineActivity::Idle;
  return batch_->Activity();
}

bool MainWindow::Reading() const { return reading_ && reading_->Busy(); }

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (skin_.isNull()) {
    p.fillRect(rect(), QColor(213, 224, 240));
    if (!skinReported_) {
      skinReported_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            shell_.Message(kSkinMissing, kMessageCaption);
            qApp->quit();
          },
          Qt::QueuedConnection);
    }
  } else {
    p.drawPixmap(0, 0, skin_);
  }
  QFont font = this->font();
  font.setFamily("Sans Serif");
  font.setPixelSize(12);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0, 0, 20));
  p.drawText(QRect(290, 5, 360, 14), Qt::AlignLeft | Qt::AlignTop,
             QString::fromStdString(ResourceString(kStrAppTitle)));
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() != Qt::LeftButton || at.y() < 0 || at.y() >= kTitleBandHeight) {
    QDialog::mousePressEvent(event);
    return;
  }
  player_->OnTitleBandPressed();
  QWindow* window = windowHandle();
  manualDrag_ = !(window && window->startSystemMove());
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (manualDrag_ && (event->buttons() & Qt::LeftButton))
    move(event->globalPosition().toPoint() - dragOffset_);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  manualDrag_ = false;
  QDialog::mouseReleaseEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  setFocus(Qt::OtherFocusReason);
}

void MainWindow::EndRun() {
  // The run calls back into this window and waits; let those calls through
  // until its thread has ended.
  if (!batch_->ThreadRunning()) return;
  batch_->Stop();
  while (batch_->ThreadRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  batch_->Join();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (!shell_.AskOkCancel(kExitQuestion, kExitCaption)) return;
  reading_->Abort();
  EndRun();
  StopPlaying();
  items_.clear();
  list_->setRowCount(0);
  done(QDialog::Accepted);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool swallowed = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
    if (swallowed && widget && widget->window() == this) return true;
  }
  if (watched == outputFolderEdit_ && event->type() == QEvent::FocusOut) CommitOutputFolder();
  return QDialog::eventFilter(watched, event);
}

}  // namespace orv

// Control, menu and command ids of the main window.
#pragma once

namespace orv::ids {

// Controls.
inline constexpr int kExit = 1000;
inline constexpr int kMinimise = 1014;
inline constexpr int kFileMenu = 1001;
inline constexpr int kEditMenu = 1002;
inline constexpr int kSettingsMenu = 1003;
inline constexpr int kPlayMenu = 1004;
inline constexpr int kConvertMenu = 1005;
inline constexpr int kHelpMenu = 1006;
inline constexpr int kAdd = 1007;
inline constexpr int kRemove = 1008;
inline constexpr int kClear = 1009;
inline constexpr int kConvert = 1010;
inline constexpr int kStop = 1011;
inline constexpr int kDvd = 1012;  // also the two DVD menu entries
inline constexpr int kWebsite = 1013;
inline constexpr int kSourceList = 1033;
inline constexpr int kVideoPanel = 1035;
inline constexpr int kPlayPause = 1018;
inline constexpr int kStopPlaying = 1019;
inline constexpr int kPlayPrevious = 1020;
inline constexpr int kPlayNext = 1021;
inline constexpr int kPositionSlider = 1022;
inline constexpr int kRangeSlider = 10002;
inline constexpr int kSettingsGrid = 1034;
inline constexpr int kProfileCombo = 1028;
inline constexpr int kSaveProfileAs = 1015;
inline constexpr int kOutputFolder = 1030;
inline constexpr int kBrowse = 1016;
inline constexpr int kItemProgress = 1031;
inline constexpr int kListProgress = 1032;
inline constexpr int kCancel = 1017;
inline constexpr int kShutDown = 1057;
inline constexpr int kDefaultButton = 1029;
// The line under the list while added files are read.
inline constexpr int kReadingLine = 20001;

// Popup menus of the menu buttons.
inline constexpr int kMenuFile = 143;
inline constexpr int kMenuEdit = 144;
inline constexpr int kMenuSettings = 145;
inline constexpr int kMenuPlay = 146;
inline constexpr int kMenuConvert = 147;
inline constexpr int kMenuHelp = 148;

// Menu commands.
inline constexpr int kCmdNewProject = 32771;
inline constexpr int kCmdOpenProject = 32772;
inline constexpr int kCmdSaveProject = 32773;
inline constexpr int kCmdAddFile = 32774;
inline constexpr int kCmdDeleteSelected = 32775;
inline constexpr int kCmdClear = 32776;
inline constexpr int kCmdExit = 32777;
inline constexpr int kCmdSetOutputPath = 32780;
inline constexpr int kCmdPlay = 32781;
inline constexpr int kCmdConvert = 32784;
inline constexpr int kCmdHelp = 32785;
inline constexpr int kCmdWebsite = 32786;
inline constexpr int kCmdAbout = 32787;
inline constexpr int kCmdContact = 32788;
inline constexpr int kCmdOverwrite = 32790;
inline constexpr int kCmdVideoInformation = 32791;
inline constexpr int kCmdSimultaneous = 32799;
inline constexpr int kCmdLoadProfile = 32797;
inline constexpr int kCmdSetOutputName = 32807;
inline constexpr int kCmdStopPlaying = 32809;
inline constexpr int kCmdStopConversion = 32810;

// Skin images.
inline constexpr int kSkinBackground = 129;
inline constexpr int kAppIcon = 128;
inline constexpr int kThumbActive = 130;
inline constexpr int kChannel = 131;
inline constexpr int kChannelActive = 132;
inline constexpr int kThumb = 133;

}  // namespace orv::ids

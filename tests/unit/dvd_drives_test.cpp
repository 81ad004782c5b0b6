#include "platform/dvd_drives.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::TempDir;
using test::WriteText;

TEST(DvdDrives, OpticalDevicesComeInDeviceNumberOrder) {
  TempDir dev;
  for (const char* name : {"sr10", "sr1", "sda", "sr0", "srx", "sr2", "sr"})
    WriteText(dev / name, "");
  EXPECT_EQ(OpticalDevices(dev.path()),
            (std::vector<std::string>{dev / "sr0", dev / "sr1", dev / "sr2", dev / "sr10"}));
  EXPECT_TRUE(OpticalDevices(dev / "missing").empty());
}

TEST(DvdDrives, OpticalLettersFromDThenTheSettingsFileEntriesInLetterOrder) {
  TempDir dir;
  WriteText(dir / "orvantic.ini",
            "[GENERAL]\nG=/not/a/drive\n"
            "[drives]\n"
            "h = \"/home/u/My Films/film.iso\"\n"
            "F=/home/u/Film\n"
            "E=/home/u/replaces-sr1.iso\n"
            "K=\n"
            "[OTHER]\nJ=/not/a/drive\n");
  const auto drives = DvdDrivesFrom({"/dev/sr0", "/dev/sr1"}, dir / "orvantic.ini");
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_EQ(drives[0].letter, 'D');
  EXPECT_EQ(drives[0].root, "D:\\");
  EXPECT_EQ(drives[0].device, "/dev/sr0");
  EXPECT_EQ(drives[1].root, "E:\\");
  EXPECT_EQ(drives[1].device, "/home/u/replaces-sr1.iso");
  EXPECT_EQ(drives[2].root, "F:\\");
  EXPECT_EQ(drives[2].device, "/home/u/Film");
  EXPECT_EQ(drives[3].root, "H:\\");
  EXPECT_EQ(drives[3].device, "/home/u/My Films/film.iso");

  EXPECT_TRUE(DvdDrivesFrom({}, dir / "none.ini").empty());
}

TEST(DvdDrives, ImagePathsLongerThanOtherSettingsAreKept) {
  TempDir dir;
  const std::string path = "/" + std::string(400, 'x') + ".iso";
  WriteText(dir / "orvantic.ini", "[DRIVES]\nF=" + path + "\n");
  const auto drives = DvdDrivesFrom({}, dir / "orvantic.ini");
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives[0].device, path);
}

TEST(DvdDrives, DeviceTextsOfTheCommandLinesResolveThroughTheLetters) {
  const std::vector<DvdDrive> drives = {{'D', "D:\\", "/dev/sr0"}, {'E', "E:\\", "/img/e.iso"}};
  // The encode line passes "e:" (quotes kept by some callers), play and
  // identify pass the root E:\ .
  for (const char* text : {"e:", "\"e:\"", "E:\\", "E:/", " e: ", "E:"})
    EXPECT_EQ(ResolveDvdDevice(text, drives).device, "/img/e.iso") << text;
  EXPECT_EQ(ResolveDvdDevice("d:", drives).device, "/dev/sr0");

  // Anything that is not a letter is a path of its own.
  EXPECT_EQ(ResolveDvdDevice("/home/u/film.iso", drives).device, "/home/u/film.iso");
  EXPECT_EQ(ResolveDvdDevice("\"/home/u/My Film\"", drives).device, "/home/u/My Film");
  EXPECT_EQ(ResolveDvdDevice("e", drives).device, "e");
  EXPECT_EQ(DriveLetterOf("e:x"), 0);

  const ResolvedDevice missing = ResolveDvdDevice("q:", drives);
  EXPECT_TRUE(missing.device.empty());
  EXPECT_NE(missing.error.find("Q:"), std::string::npos) << missing.error;
  EXPECT_FALSE(ResolveDvdDevice("  ", drives).error.empty());
}

}  // namespace
}  // namespace orv

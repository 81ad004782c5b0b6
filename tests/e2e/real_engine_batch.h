// What the batch tests with the real engine share: a program folder with the
// engine and the program installed, an output folder, a link, a quiet host,
// and adding a source as Add File does.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/convert/batch_run.h"
#include "platform/files.h"
#include "core/settings/option_tables.h"
#include "core/settings/source_list.h"
#include "tests/support/test_support.h"

namespace orv::test {

struct RealEngineBatch : ::testing::Test {
  TempDir work, out;
  ScriptedShell shell;
  Installation inst;
  std::unique_ptr<EngineLink> link;
  NullHost host;
  ItemList items;
  std::vector<ItemFailure> failures;

  void SetUp() override {
    if (!FileExists(ORV_REAL_ENGINE)) GTEST_SKIP() << "no engine built";
    inst = InstallEngine(work.path(), ORV_REAL_ENGINE);
    std::filesystem::copy_file(ORV_ORVANTIC, work / "orvantic");
    link = std::make_unique<EngineLink>(inst, shell);
    link->PrepareFolder(inst.programFolder);
  }
  SourceItem& Add(const std::string& path, int profile = 0) {
    AddContext ctx{out.path(), profile, ProfileExtension(profile), nullptr};
    EXPECT_EQ(AddFile(items, path, ctx, *link), AddResult::Added) << path;
    return *items.back();
  }
};

}  // namespace orv::test

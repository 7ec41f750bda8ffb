// The built QvBanner.qpl loaded as the launcher loads it: its exports, its
// window, and the requests it makes of the host from the list and the editor.
#include "ThemeFiles.h"
#include "ThemeUser.h"

#include "TestSupport.h"
#include "core/ui/Theme.h"
#include "launcher/QvDLLForm.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"
#include "platform/Version.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace themetest;

namespace {

std::vector<std::pair<int32_t, int32_t>>& HostCalls() {
  static std::vector<std::pair<int32_t, int32_t>> calls;
  return calls;
}

QvBool Param(int32_t kind, int32_t value) {
  HostCalls().emplace_back(kind, value);
  return 1;
}
int32_t Str(int32_t, const char*, int32_t) { return 1; }

class ThemePluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tmp_.path() / "app";
    launcherDir_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
    for (const char* file : {"QvBanner.qpl", "image.dll"})
      std::filesystem::copy_file(qvtest::AppDir() / file, dir_ / file);
    std::filesystem::create_directories(dir_ / "Theme");
    HostCalls().clear();
  }
  void TearDown() override {
    plugin_.reset();
    user_.reset();
    launcherDir_.reset();
  }
  void Load() {
    plugin_ = std::make_unique<qv::TDllForm>("QvBanner.qpl", &Param, &Str);
    ASSERT_TRUE(plugin_->Initialized());
  }
  QWidget* Window() const {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "frmBanner") return w;
    return nullptr;
  }
  void* Export(const char* name) const {
    void* handle = ::dlopen((dir_ / "QvBanner.qpl").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
    if (!handle) return nullptr;
    void* symbol = ::dlsym(handle, name);
    ::dlclose(handle);  // only drops the reference taken here
    return symbol;
  }

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcherDir_;
  std::unique_ptr<qv::TDllForm> plugin_;
  std::unique_ptr<ModalUser> user_ = std::make_unique<ModalUser>();
};

}  // namespace

TEST_F(ThemePluginTest, TheModuleAnswersAsThePluginInterfaceSays) {
  Load();
  EXPECT_EQ(qv::cp932::ToUtf8(plugin_->GetName()), "テーマ");
  EXPECT_FALSE(plugin_->GetIcon().isNull());
  auto getName = reinterpret_cast<QvGetPluginNameFn>(Export("GetPluginName"));
  ASSERT_NE(getName, nullptr);
  char buffer[8] = "xxxxxxx";
  int32_t size = 5;
  EXPECT_TRUE(getName(buffer, &size));
  EXPECT_EQ(qv::cp932::ToUtf8(buffer), "テー") << "cut to the size, never inside a character";
  int32_t id = 0;
  for (const char* name : {"SetParam", "GetParam", "GetStr"}) EXPECT_NE(Export(name), nullptr) << name;
  EXPECT_TRUE(reinterpret_cast<QvGetParamFn>(Export("GetParam"))(1, &id));
  EXPECT_EQ(reinterpret_cast<QvSetStrFn>(Export("SetStr"))(1, "x", 2), 1);
  auto callBackParam = reinterpret_cast<QvCallBackParamFn>(Export("CallBackParam"));
  EXPECT_EQ(callBackParam(nullptr), 0);
  EXPECT_EQ(callBackParam(&Param), 1);
  EXPECT_EQ(qv::ReadVersionValue(dir_ / "QvBanner.qpl", "ProductName"), "QvBanner");
  EXPECT_EQ(Export("_ZN2qv15LoadBannerIndexERKNSt10filesystem7__cxx114pathERNS_11TBannerDataE"), nullptr)
      << "only the C entry points are visible";
  EXPECT_EQ(Window()->isVisible(), false) << "made at initialisation, shown by ShowForm";
}

TEST_F(ThemePluginTest, TheWindowListsChoosesAndMakesThemesThroughTheHost) {
  ASSERT_TRUE(qv::SaveBannerIndex(dir_ / "Theme" / "old.qvt", {"old", "1", "", true, Strip(2)}));
  Load();
  ASSERT_TRUE(plugin_->ShowPluginForm());
  QWidget* window = Window();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("VeoQuorvel - テーマ"));
  auto* list = window->findChild<QListWidget*>("lstBanner");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 1);

  // A new theme from a bitmap and a JPEG file; its name first collides.
  const auto pictures = tmp_.path() / "pictures";
  qvtest::WriteFile(pictures / "a.bmp", BitmapFile(Strip(1)));
  qvtest::WriteFile(pictures / "b.jpg", JpegFile(Gradient(120, 50)));
  user_->OnEditor([&](QDialog& editor) {
    user_->NextFile(pictures / "a.bmp");
    EditorAction(editor, "actAdd")->trigger();
    user_->NextFile(pictures / "b.jpg");
    EditorAction(editor, "actAdd")->trigger();
    SetEditorText(editor, "edtName", "OLD");
    EditorAction(editor, "actOK")->trigger();
  });
  user_->OnEditor([&](QDialog& editor) {
    EXPECT_EQ(HostCalls(), (std::vector<std::pair<int32_t, int32_t>>{{10, 5001}}));
    SetEditorText(editor, "edtName", "new");
    EditorAction(editor, "actOK")->trigger();
  });
  window->findChild<QAction*>("actAdd")->trigger();
  EXPECT_FALSE(user_->StepsLeft());
  qv::TBannerData made;
  ASSERT_TRUE(qv::LoadBannerIndex(dir_ / "Theme" / "new.qvt", made));
  EXPECT_EQ(made.Bitmap.size(), QSize(120, 100));
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->currentRow(), 1);

  // 設定 makes it the launcher's theme.
  HostCalls().clear();
  auto* select = window->findChild<QPushButton*>("btnSelectBanner");
  ASSERT_NE(select, nullptr);
  ASSERT_TRUE(select->isEnabled());
  QTest::mouseClick(select, Qt::LeftButton);
  EXPECT_EQ(qv::IniFile(dir_ / "Quorvel.ini").ReadString("Theme", "File", ""), "new.qvt");
  EXPECT_EQ(HostCalls(), (std::vector<std::pair<int32_t, int32_t>>{{4, 1}}));

  EXPECT_TRUE(plugin_->CloseForm());
  EXPECT_FALSE(window->isVisible());
}

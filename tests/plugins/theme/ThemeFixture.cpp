#include "ThemeFixture.h"

#include "core/ui/MessageBox.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"
#include "core/data/HostCallbacks.h"
#include "plugins/theme/BannerListBox.h"
#include "plugins/theme/QvBannerFRM.h"

#include <QApplication>
#include <QTest>

namespace themetest {

std::vector<std::pair<int32_t, int32_t>>& ThemeWindowTest::HostCalls() {
  static std::vector<std::pair<int32_t, int32_t>> calls;
  return calls;
}

void ThemeWindowTest::SetUp() {
  dir_ = tmp_.path() / "app";
  launcherDir_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
  std::filesystem::create_directories(ThemeDir());
  if (std::filesystem::exists(qvtest::AppDir() / "image.dll"))
    std::filesystem::copy_file(qvtest::AppDir() / "image.dll", dir_ / "image.dll");
  HostCalls().clear();
  qv::SetHostParamCallback([](int32_t kind, int32_t value) -> QvBool {
    HostCalls().emplace_back(kind, value);
    return 1;
  });
  qv::SetMessageBoxHandler(
      [this](qv::BoxKind, const std::string& text) { boxes_.push_back(qv::cp932::ToUtf8(text)); });
  user_ = std::make_unique<ModalUser>();
}

void ThemeWindowTest::TearDown() {
  Close();
  form_.reset();
  user_.reset();
  qv::SetMessageBoxHandler({});
  qv::SetHostParamCallback(nullptr);
  launcherDir_.reset();
}

void ThemeWindowTest::WriteTheme(const std::string& file, const qv::TBannerData& data) {
  ASSERT_TRUE(qv::SaveBannerIndex(ThemePath(file), data)) << file;
}

void ThemeWindowTest::WriteIni(const char* section, const std::string& key, const std::string& value) {
  qv::IniFile(launcherDir_->ini()).WriteString(section, key, value);
}

std::string ThemeWindowTest::ReadIni(const char* section, const char* key) const {
  return qv::IniFile(launcherDir_->ini()).ReadString(section, key, "");
}

qv::TfrmBanner& ThemeWindowTest::Open() {
  if (!form_) form_ = std::make_unique<qv::TfrmBanner>();
  form_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  return *form_;
}

void ThemeWindowTest::Close() {
  if (form_ && form_->isVisible()) form_->close();
}

void ThemeWindowTest::ClickRow(int row) {
  QListWidget* list = form_->lstBanner;
  const QRect rect = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QCoreApplication::processEvents();  // the preview follows the click
}

void ThemeWindowTest::DoubleClickRow(int row) {
  QListWidget* list = form_->lstBanner;
  const QRect rect = list->visualItemRect(list->item(row));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void ThemeWindowTest::PressKey(int key) {
  form_->lstBanner->setFocus();
  QTest::keyClick(form_->lstBanner, static_cast<Qt::Key>(key));
}

std::vector<std::string> ThemeWindowTest::RowFiles() const {
  std::vector<std::string> files;
  for (int i = 0; i < form_->ItemCount(); ++i) files.push_back(form_->ItemFileName(i));
  return files;
}

std::vector<std::string> ThemeWindowTest::RowNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < form_->ItemCount(); ++i) names.push_back(form_->ItemData(i).Name);
  return names;
}

}  // namespace themetest

#pragma once
// The theme list: the theme files of the theme folder, each row its first
// frame, name and state; choosing the launcher's theme, adding, editing and
// deleting themes, and a preview of the selected one.
#include "core/ui/Theme.h"

#include <QWidget>
#include <string>
#include <vector>

class QAction;
class QGroupBox;
class QMenu;
class QPainter;
class TAnimationImage;
class TImageList;
class TMultiSpeedButton;

namespace qv {

class TBannerListBox;

class TfrmBanner : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmBanner(QWidget* parent = nullptr);
  ~TfrmBanner() override;

  // A row for the theme, holding its own copy of the first frame; its index.
  int AddThemeItem(const std::string& fileName, const TBannerData& data);
  void UpdateThemeItem(int index, const std::string& fileName, const TBannerData& data);
  void DeleteThemeItem(int index);
  void ShowPreview();
  // Opens the editor for the row (-1: a new theme) and writes what it gives.
  void EditTheme(int index);
  void UpdateActions();

  void actAddExecute();
  void actDelExecute();
  void actEditExecute();
  void actSelectBannerExecute();

  int ItemCount() const { return static_cast<int>(items_.size()); }
  const std::string& ItemFileName(int index) const { return items_[static_cast<size_t>(index)].fileName; }
  const TBannerData& ItemData(int index) const { return items_[static_cast<size_t>(index)].data; }
  // The row's theme is the current one ([Theme] File, letter case ignored).
  bool InUse(int index) const;
  const std::string& CurrentTheme() const { return current_; }
  const std::string& Folder() const { return folder_; }

  QWidget* pnlTool = nullptr;
  TMultiSpeedButton* btnAdd = nullptr;
  TMultiSpeedButton* btnDel = nullptr;
  TMultiSpeedButton* btnEdit = nullptr;
  TMultiSpeedButton* btnSelectBanner = nullptr;
  TBannerListBox* lstBanner = nullptr;
  QGroupBox* pnlPreview = nullptr;
  QWidget* pnlWhite = nullptr;
  TAnimationImage* aniPreview = nullptr;
  QAction* actAdd = nullptr;
  QAction* actDel = nullptr;
  QAction* actEdit = nullptr;
  QAction* actSelectBanner = nullptr;
  QMenu* popBanner = nullptr;
  TImageList* ImageList1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Item {
    std::string fileName;
    TBannerData data;  // its bitmap is the first frame only
  };

  void CreateComponents();
  void FormShow();
  void FormClose();
  void lstBannerDrawItem(QPainter& painter, const QRect& rect, int row, bool selected) const;
  int SelectedRow() const;
  // Makes the file the current theme and tells the launcher.
  void SetCurrentTheme(const std::string& fileName);
  // What takes the place of a current theme that is gone: our default theme
  // when it is listed, else the first theme listed, else none.
  std::string FallbackTheme() const;

  std::vector<Item> items_;
  std::string folder_;
  std::string current_;
};

}  // namespace qv

#pragma once
// The selective receive list: the mails waiting at the centre, one row per
// centre list line, from which the user fetches or deletes some. Modal
// results: 1 receive the selected mails, 3 delete them at the centre, 2 end.
#include <QDialog>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QStandardItemModel;
class QTreeView;
class TImageList;
class TMultiButton;

namespace qv {

class ListViewSortModel;

// What a centre list line says about attachments: field 6 plus every second
// field from field 7 on, each 0 when it is no number.
long long ListLineAttachments(std::string_view line);

class TfrmSelect : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kReceive = 1, kEnd = 2, kDelete = 3;

  explicit TfrmSelect(QWidget* parent = nullptr);

  // One row per line (TAB-separated centre list lines), in the centre's order.
  void SetLines(const std::vector<std::string>& lines);
  // The lines of the selected rows in the order of lines: each row stands for
  // the first line that starts with its caption and a TAB.
  std::vector<std::string> SelectedLines(const std::vector<std::string>& lines) const;
  int SelectedCount() const;
  void done(int result) override;

  QTreeView* lsvMailList;
  QStandardItemModel* items;
  ListViewSortModel* sorter;
  TImageList* imlMailIcon;
  TMultiButton* btnOK;
  TMultiButton* btnDel;
  TMultiButton* btnCancel;
  QAction* actOK;
  QAction* actDel;
  QAction* actSelectAll;
  QMenu* popMenu;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override { done(kEnd); }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void actOKUpdate();
};

}  // namespace qv

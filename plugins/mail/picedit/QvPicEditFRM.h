#pragma once
// The picture page editor: prepares a picture for a decorated mail as a
// plain picture, a six-page picture (192 x 130, six 96 x 43 pages, each
// PLAIN, part of one SLIDE run, or VOID) or a short animation, and gives the
// picture-part header lines that tell the handset how to show it.
#include <QImage>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "plugins/mail/picedit/PicturePages.h"
#include "core/ui/PlacedDialog.h"
#include "core/ui/Pictures.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace qv {

class TGridPictBtn;

// A picture file for the editor: a name ending in ".BMP" (any case) is read
// as a bitmap, anything else as a JPEG picture, which is kept as its bytes
// and decoded at the sizes it is shown and used at (its data is checked by
// decoding it at its smallest scale). No picture when the file cannot be
// read; a JPEG of more than kMaxPicturePixels is refused with its size told.
struct EditorPicture {
  std::optional<TScaledPicture> picture;
  QSize tooLarge;  // the size of a JPEG refused as too large
};
EditorPicture OpenEditorPicture(const std::filesystem::path& path);
// The same decoded at its full size; nothing when it cannot be opened.
std::optional<QImage> LoadEditorPicture(const std::filesystem::path& path);

// Runs the page editor on a picture and its header lines; after OK, true with
// the prepared picture as the bytes of a bitmap file and its header lines.
bool EditPicture(QWidget* parent, const QImage& picture, std::string_view headers, std::string& bytes,
                 std::string& newHeaders);

class TfrmPicEdit : public TPlacedDialog {
  Q_OBJECT

 public:
  explicit TfrmPicEdit(QWidget* parent = nullptr);
  ~TfrmPicEdit() override;

  // The picture to prepare, then its existing header lines (empty for a new
  // picture), read against it: a six-page picture opens in page mode with
  // its pages, an animation in animation mode with its lists.
  void SetPicture(const QImage& picture);
  void SetPartHeaders(std::string_view headers);
  // The picture (normalised after OK) and the header lines for it.
  QImage Picture() const { return picture_.Full(); }
  QSize PictureSize() const { return picture_.Size(); }
  std::string GetPartHeaders() const;

  const PicturePages& Pages() const { return pages_; }
  bool PageMode() const;
  bool AnimationMode() const;
  bool PageKindsOn() const;
  // The current page (0-5), as a click on the grid chooses it.
  int CurrentPage() const;
  void SelectPage(int page);

  // The check boxes' actions.
  void SetPageMode(bool on);
  void SetAnimationMode(bool on);
  void SetPageKindsOn(bool on);
  // Page kind commands on the current page.
  void SetPageKind(int kind);
  void CyclePageKind();
  // 画像編集, 画像読込 and サイズ変更.
  void EditPicture();
  void LoadPicture();
  void ResizePicture();

  TGridPictBtn* grdPicture;
  QScrollArea* scbPicture;
  QLabel* lblSize;
  QCheckBox* chkDiv6;
  QCheckBox* chkAnimation;
  QCheckBox* chkCBMP;
  QPushButton* btnPlain;
  QPushButton* btnSlide;
  QPushButton* btnVoid;
  QPushButton* btnKind;
  QComboBox* cmbPageCount;
  QComboBox* cmbWait;
  QComboBox* cmbLoop;
  QPushButton* btnEdit;
  QPushButton* btnLoad;
  QPushButton* btnResize;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void NeitherMode();
  void ShowPicture();
  void UpdateGrid();
  void UpdateCommands();
  void ClearLists();
  void Finish();
  // The picture's top-left part of at most width x height.
  QImage TopLeft(int width, int height) const;

  TScaledPicture picture_;
  QImage shown_;  // what the grid shows of a picture larger than its area
  PicturePages pages_;
};

}  // namespace qv

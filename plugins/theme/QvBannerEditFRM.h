#pragma once
// The theme editor: a theme's name, balloon text, switch interval and frames
// (each 120 x 50, at most 256; frame 0 is the picture at rest). The theme
// list fills it, shows it modally and on OK joins the frames into the strip.
#include <QDialog>
#include <QImage>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPainter;
class TAnimationImage;
class TMultiButton;

namespace qv {

class TBannerListBox;

class TfrmBannerEdit : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMaxFrames = 256;
  // The dialog's answers.
  static constexpr int kResultOK = 1;
  static constexpr int kResultCancel = 2;

  explicit TfrmBannerEdit(QWidget* parent = nullptr);
  ~TfrmBannerEdit() override;

  // Frames from a strip: one per whole 50 pixel rows, each the 120 x 50 block
  // at its place, white where the strip does not reach.
  void SplitFrames(const QImage& strip);
  // The frames stacked from the top into a strip 120 pixels wide.
  void JoinFrames(QImage& strip) const;
  void ClearFrames();
  // The picture file (".bmp" in any case as a bitmap, anything else as a
  // JPEG) drawn unscaled at the top left of a white 120 x 50 frame. A picture
  // that does not load is told and leaves the frame as it was (false).
  bool LoadFrame(QImage& frame, const std::filesystem::path& fileName);
  // Moves frame from to row to and selects it there.
  void MoveFrame(int from, int to);

  int FrameCount() const { return static_cast<int>(frames_.size()); }
  const QImage& Frame(int index) const { return frames_[static_cast<size_t>(index)]; }

  // What the theme list sets before showing the editor and reads after OK.
  // Texts are CP932; text a user did not touch keeps its bytes.
  void SetThemeName(std::string_view name);
  std::string ThemeName() const;
  void SetBalloon(std::string_view balloon);
  std::string Balloon() const;
  // Selects the interval of exactly this text; none when it is not listed.
  void SetInterval(std::string_view interval);
  // The chosen interval, empty when none is.
  std::string Interval() const;
  void SetEditable(bool editable);
  bool Editable() const;
  // The "編集可" box shows only in edit mode.
  void SetEditMode(bool on);
  // File names (without extension) of the other themes.
  std::vector<std::string> NamesInUse;

  void ShowPreview();
  void UpdateActions();
  void actAddExecute();
  void actSwapExecute();
  void actDelExecute();
  void actOKExecute();

  TBannerListBox* lstImage = nullptr;
  QLineEdit* edtName = nullptr;
  QLineEdit* edtComment = nullptr;
  QComboBox* cboTime = nullptr;
  QCheckBox* chkUser = nullptr;
  TMultiButton* btnAdd = nullptr;
  TMultiButton* btnEdit = nullptr;
  TMultiButton* btnDelete = nullptr;
  TMultiButton* btnOK = nullptr;
  TMultiButton* btnCancel = nullptr;
  QAction* actAdd = nullptr;
  QAction* actSwap = nullptr;
  QAction* actDel = nullptr;
  QAction* actOK = nullptr;
  QMenu* popImage = nullptr;
  QGroupBox* pnlPreview = nullptr;
  QWidget* pnlWhite = nullptr;
  TAnimationImage* aniPreview = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void CreateComponents();
  void lstImageDrawItem(QPainter& painter, const QRect& rect, int row, bool selected) const;
  // Asks for a picture file; empty when none was chosen.
  std::filesystem::path ChooseFile();
  void FramesChanged();

  std::vector<QImage> frames_;
  std::string loadedName_;
  std::string loadedBalloon_;
};

}  // namespace qv

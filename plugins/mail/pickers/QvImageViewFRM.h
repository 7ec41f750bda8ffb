#pragma once
// The picture viewer "VeoQuorvel - 画像": one attachment of a compose window
// or viewer as the handset shows it: the pages of a six-page picture (in
// pick mode one of them is chosen), an animation that repeats, a picture at
// one of three zoom settings, or a media-mix presentation played by its
// times.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "plugins/mail/pickers/ImageViewPages.h"
#include "core/ui/PlacedDialog.h"

class QAction;
class QLabel;
class QRadioButton;
class QTimer;
class TKMailEdit;

namespace qv {

class AttachmentList;

class TfrmImageView : public TPlacedDialog {
  Q_OBJECT
 public:
  explicit TfrmImageView(QWidget* owner = nullptr);
  ~TfrmImageView() override;

  // The list shown from (it must outlive the window) and the attachment.
  void SetAttachList(const AttachmentList* list) { list_ = list; }
  void SetAttachIndex(int index) { index_ = index; }
  void SetPickMode(bool pick);
  bool PickMode() const { return pickMode_; }
  // The page chosen (0-based): the number in the shown page's picture tag,
  // less 1; 0 when it has none.
  int GetPageNumber() const;

  // Builds the pages and shows the first; done when the window is shown.
  void BuildPages();
  ViewerContent Content() const { return view_.content; }
  const std::vector<std::string>& Pages() const { return view_.pages; }
  const std::vector<int>& Times() const { return view_.times; }
  int PageIndex() const { return shown_; }
  void ShowPage(int index);
  bool Playing() const { return playing_; }
  ViewerZoom Zoom() const;
  ViewerPictureCache& Pictures() { return cache_; }

  // The milliseconds a presentation is timed by; tests give their own. With
  // manual ticks neither timer runs and the caller ticks them.
  void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }
  void SetManualTicks(bool manual);
  void TickMain();
  void TickMM();

  TKMailEdit* KMailEdit1;
  QLabel* lblCount;
  QWidget* pnlDIV;
  QWidget* pnlMM;
  QWidget* pnlZoom;
  QWidget* pnlDialog;
  QWidget* pnlView;
  QRadioButton* radNormal;
  QRadioButton* radQuarter;
  QRadioButton* radCustom;
  QAction* actNext;
  QAction* actPrev;
  QAction* actPlay;
  QAction* actOK;
  QTimer* tmrMain;
  QTimer* tmrMM;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Play();
  void StopPlaying();
  void UpdateActions();
  void EditorResized();
  void AnswerPicture(const std::string& name, QImage& bmp, std::string& headers);

  const AttachmentList* list_ = nullptr;
  int index_ = -1;
  bool pickMode_ = false;
  bool built_ = false;
  ViewerPages view_;
  ViewerPictureCache cache_;
  // The last scaled picture per name, for the zoom it was made at.
  struct Scaled {
    QSize size;
    QImage bitmap;
  };
  std::map<std::string, Scaled> scaled_;
  int shown_ = 0;
  int next_ = 0;
  bool playing_ = false;
  int64_t start_ = 0;
  int64_t previous_ = 0;
  bool manualTicks_ = false;
  std::function<int64_t()> clock_;
};

// Attachments the viewer opens: pictures, JPEGs, .FLM files and media mixes.
bool IsViewableAttachment(std::string_view name);
// The one selected row when it is such an attachment, else -1.
int ViewableRow(const AttachmentList& list, const std::vector<int>& selected);
// Shows the viewer modally at the attachment.
void ShowAttachmentViewer(QWidget* owner, const AttachmentList& list, int index);
// Lets the user pick one page of the six-page picture at index: its number
// (1-6), or 0 when the viewer was cancelled.
int PickPicturePage(QWidget* owner, const AttachmentList& list, int index);

}  // namespace qv

#pragma once
// The media-mix editor: the events of a media-mix script in time order, each
// a time, the picture shown from then on and a text line, with the script's
// kind (promotion or karaoke), the number of pictures it uses and whether
// the music plays.

#include <string>
#include <string_view>
#include <vector>

#include "plugins/mail/picedit/MediaMix.h"
#include "core/ui/PlacedDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace qv {

class TfrmMediaMixEdit : public TPlacedDialog {
  Q_OBJECT

 public:
  explicit TfrmMediaMixEdit(QWidget* parent = nullptr);
  ~TfrmMediaMixEdit() override;

  // Clears the events and loads a control text; the time selector then
  // stands on the step after the last event.
  void SetControlText(std::string_view text);
  // The header line from the choices, then every event in list order.
  std::string GetControlText() const;
  const std::vector<MediaMixEvent>& Events() const { return events_; }
  // The selected event, -1 for none.
  int SelectedEvent() const;
  void SelectEvent(int index);

  // Commands, as the buttons and keys give them.
  void AddEvent();
  void EditEvent();
  void DeleteEvent();
  void ShiftTime(int steps);
  bool CanShiftLater() const;
  bool CanShiftEarlier() const;

  QTreeWidget* lsvEvents;
  QComboBox* cmbTime;
  QComboBox* cmbImage;
  QComboBox* cmbImageCount;
  QLineEdit* edtText;
  QRadioButton* radPromotion;
  QRadioButton* radKaraoke;
  QCheckBox* chkSound;
  QPushButton* btnAdd;
  QPushButton* btnEdit;
  QPushButton* btnDelete;
  QPushButton* btnTimeUp;
  QPushButton* btnTimeDown;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  // Sorts, shows the events and selects the one at step (or none).
  void ShowEvents(int selectStep);
  void MoveTimeAfterLast();
  void UpdateCommands();

  std::vector<MediaMixEvent> events_;
};

}  // namespace qv

#pragma once
// The pictogram picker: a small tool window at the mouse from which the
// compose window inserts pictograms ("絵文字選択") or user characters
// ("ユーザ外字選択"). A double click or Enter inserts the chosen image's tag
// and the picker stays open; it closes as soon as it loses the focus.
#include <QWidget>

class TImageList;

namespace qv {

class TImageListSelector;

class TfrmPicSelector : public QWidget {
  Q_OBJECT
 public:
  // The owner is the compose window the tags go into.
  explicit TfrmPicSelector(QWidget* owner);

  // The caption says which tags the picker inserts.
  void SetPicker(const QString& caption, TImageList* images);

  TImageListSelector* ilsPictext;

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void Insert();
};

}  // namespace qv

#pragma once
// The sign-up terminal's screen: the lines of the page shown, each measured
// and drawn word-wrapped with its pictograms, lines that offer a choice
// underlined. On the newest page while online the selected choice is
// highlighted; on older pages and offline the text is grey and the choice
// the user sent from the page is drawn inverted.
#include "core/ui/PictogramText.h"

#include <QListWidget>
#include <string>
#include <vector>

class QStyledItemDelegate;

namespace qv {

class TSignupPageList : public QListWidget {
  Q_OBJECT
 public:
  explicit TSignupPageList(QWidget* parent = nullptr);

  // How the page is drawn.
  struct Look {
    bool live = true;           // the newest page while online
    bool historyEmpty = true;   // no page yet: normal colours
    std::string sent;           // the text sent from the page shown
  };
  void SetLook(Look look);
  const Look& GetLook() const { return look_; }

  // Replaces the lines (CP932).
  void SetLines(const std::vector<std::string>& lines);
  // The line of row and the choice it offers.
  std::string Line(int row) const;
  std::string Choice(int row) const;

  PictogramText& Text() { return text_; }
  const PictogramText& Text() const { return text_; }
  // The list's font and the pictograms drawn in it.
  void SetListFont(const QFont& font);
  // Measures every line again (after a resize or a font change).
  void Remeasure();
  // The height of one row: the wrapped line plus 2 (an empty line is one
  // text line high).
  int RowHeight(int row) const;
  // The width lines wrap within.
  int TextWidth() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class SignupLineDelegate;
  PictogramText text_;
  Look look_;
};

}  // namespace qv

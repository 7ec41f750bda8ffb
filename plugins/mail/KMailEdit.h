#pragma once
// TKMailEdit, plain-text edition: the mail windows' editor control with the
// interface of the decorated-mail editor, over a plain text box. It shows
// markup as its text (tags left out) and writes plain text; markup loaded and
// left untouched is given back as it came, so reopening a decorated mail and
// storing it again keeps its decoration. Content crosses as CP932.
#include <QWidget>

#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

class TKMailEdit : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Preview READ GetPreview WRITE SetPreview)

 public:
  explicit TKMailEdit(QWidget* parent = nullptr);

  void SetMarkupText(std::string_view markup);
  std::string GetMarkupText() const;
  void SetPlainText(std::string_view text);
  std::string GetPlainText() const;
  // True unless decorated markup was loaded and has not been edited since.
  bool IsPlainContent() const;
  // Replaces the selection with the text of the markup.
  void InsertMarkup(std::string_view markup);
  std::string GetSelText() const;
  bool HasSelection() const;

  bool GetPreview() const { return preview_; }
  void SetPreview(bool value);
  // NAME=value lines: a pictogram tag reads as its handset code.
  void SetPicTextList(const std::vector<std::string>& lines) { picText_ = lines; }

  void CaretToStart();
  void SelectAll();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  bool CanPaste() const;
  void Undo();
  bool CanUndo() const;
  void DeleteSelection();

  int TopLine() const;
  int TopLineCount() const;
  void SetTopLine(int line);
  int VisibleLineCount() const;

  // The text box inside, for focus checks and input in tests.
  QPlainTextEdit* TextBox() const { return edit_; }

 signals:
  void OnChange();
  void OnScrollChange();
  void OnSelectionChange();

 private:
  void Load(const QString& text);
  void Edited();

  QPlainTextEdit* edit_;
  bool preview_ = false;
  bool loading_ = false;
  // What was loaded, while the content is still that: given back unchanged.
  bool pristine_ = true;
  std::string loadedMarkup_;
  std::string loadedPlain_;
  bool loadedDecorated_ = false;
  std::vector<std::string> picText_;
};

// The text a markup shows, without its tags (pictograms become the table's
// codes) and with "<<" as "<"; and plain text as markup ("<" doubled).
std::string MarkupToPlainText(std::string_view markup, const std::vector<std::string>& picText);
std::string PlainTextToMarkup(std::string_view text);

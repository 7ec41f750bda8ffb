#include "plugins/mail/KMailEdit.h"

#include "core/QtText.h"
#include "core/TextFunctions.h"
#include "platform/Cp932.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

constexpr size_t kMaxTagBody = 255;

QString ToWidget(std::string_view crlfText) {
  QString text = qv::ToQString(crlfText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::string FromWidget(QString text) {
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return qv::FromQString(text);
}

std::string PictogramCode(std::string_view name, const std::vector<std::string>& picText) {
  for (const auto& line : picText) {
    size_t eq = line.find('=');
    if (eq != std::string::npos && std::string_view(line).substr(0, eq) == name) return line.substr(eq + 1);
  }
  return {};
}

}  // namespace

std::string MarkupToPlainText(std::string_view markup, const std::vector<std::string>& picText) {
  std::string out;
  bool inTag = false;
  std::string body;
  int closedTags = 0, content = 0;  // since the last line break
  for (size_t i = 0; i < markup.size();) {
    size_t len = qv::cp932::CharLength(markup, i);
    if (markup[i] == '\r' && i + 1 < markup.size()) len = 2;
    std::string_view ch = markup.substr(i, len);
    i += len;
    const bool lineEnd = ch.size() == 2 && ch[0] == '\r';
    if (!inTag) {
      if (ch == "<") {
        inTag = true;
        body.clear();
      } else if (lineEnd) {
        // A line that holds only tags gives no line break.
        if (closedTags == 0 || content > 0) out += "\r\n";
        closedTags = content = 0;
      } else {
        out += ch;
        ++content;
      }
      continue;
    }
    if (ch == "<" && body.empty()) {
      out += '<';
      ++content;
      inTag = false;
    } else if (ch == ">") {
      inTag = false;
      ++closedTags;
      std::string tag = qv::TrimText(body);
      if (tag.starts_with('#')) {
        out += PictogramCode(std::string_view(tag).substr(1), picText);
        ++content;
      } else if (tag.starts_with('?') || tag.starts_with("IMG=")) {
        ++content;
      }
    } else if (lineEnd) {
      continue;
    } else if (body.size() + ch.size() < kMaxTagBody) {
      body += ch;
    } else {
      // An over-long tag is abandoned; its last character stays as text.
      out += ch;
      ++content;
      inTag = false;
    }
  }
  return out;
}

std::string PlainTextToMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t len = qv::cp932::CharLength(text, i);
    if (len == 1 && text[i] == '<') out += '<';
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

TKMailEdit::TKMailEdit(QWidget* parent) : QWidget(parent), edit_(new QPlainTextEdit(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
  edit_->setFrameShape(QFrame::NoFrame);
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit_->setTabChangesFocus(false);
  setFocusProxy(edit_);
  setFocusPolicy(Qt::StrongFocus);
  QPalette pal = edit_->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Text, Qt::black);
  edit_->setPalette(pal);
  connect(edit_, &QPlainTextEdit::textChanged, this, &TKMailEdit::Edited);
  connect(edit_, &QPlainTextEdit::selectionChanged, this, &TKMailEdit::OnSelectionChange);
  connect(edit_->verticalScrollBar(), &QScrollBar::valueChanged, this, &TKMailEdit::OnScrollChange);
  connect(edit_->verticalScrollBar(), &QScrollBar::rangeChanged, this, &TKMailEdit::OnScrollChange);
}

void TKMailEdit::Load(const QString& text) {
  loading_ = true;
  edit_->setPlainText(text);
  loading_ = false;
  pristine_ = true;
  CaretToStart();
  emit OnScrollChange();
  emit OnChange();
}

void TKMailEdit::Edited() {
  if (loading_) return;
  pristine_ = false;
  emit OnChange();
}

void TKMailEdit::SetMarkupText(std::string_view markup) {
  loadedMarkup_ = std::string(markup);
  loadedPlain_ = MarkupToPlainText(markup, picText_);
  loadedDecorated_ = PlainTextToMarkup(loadedPlain_) != loadedMarkup_;
  Load(ToWidget(loadedPlain_));
}

std::string TKMailEdit::GetMarkupText() const {
  if (pristine_ && loadedDecorated_) return loadedMarkup_;
  return PlainTextToMarkup(GetPlainText());
}

void TKMailEdit::SetPlainText(std::string_view text) {
  loadedPlain_ = std::string(text);
  loadedMarkup_ = PlainTextToMarkup(text);
  loadedDecorated_ = false;
  Load(ToWidget(text));
}

std::string TKMailEdit::GetPlainText() const {
  // Text as it was loaded keeps its bytes; only typed text is encoded.
  if (pristine_) return loadedPlain_;
  return FromWidget(edit_->toPlainText());
}

bool TKMailEdit::IsPlainContent() const { return !(pristine_ && loadedDecorated_); }

void TKMailEdit::InsertMarkup(std::string_view markup) {
  if (preview_) return;
  edit_->insertPlainText(ToWidget(MarkupToPlainText(markup, picText_)));
}

std::string TKMailEdit::GetSelText() const { return FromWidget(edit_->textCursor().selectedText()); }

bool TKMailEdit::HasSelection() const { return edit_->textCursor().hasSelection(); }

void TKMailEdit::SetPreview(bool value) {
  preview_ = value;
  edit_->setReadOnly(value);
  edit_->setTextInteractionFlags(value ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                       : Qt::TextEditorInteraction);
}

void TKMailEdit::CaretToStart() {
  QTextCursor cursor = edit_->textCursor();
  cursor.movePosition(QTextCursor::Start);
  edit_->setTextCursor(cursor);
  edit_->ensureCursorVisible();
}

void TKMailEdit::SelectAll() { edit_->selectAll(); }
void TKMailEdit::CopyToClipboard() { edit_->copy(); }

void TKMailEdit::CutToClipboard() {
  if (preview_) return;
  edit_->cut();
}

void TKMailEdit::PasteFromClipboard() {
  if (preview_) return;
  edit_->paste();
}

bool TKMailEdit::CanPaste() const {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  return !preview_ && data && data->hasText();
}

void TKMailEdit::Undo() {
  if (preview_) return;
  edit_->undo();
}

bool TKMailEdit::CanUndo() const { return !preview_ && edit_->document()->isUndoAvailable(); }

void TKMailEdit::DeleteSelection() {
  if (preview_) return;
  edit_->textCursor().removeSelectedText();
}

int TKMailEdit::TopLine() const { return edit_->verticalScrollBar()->value(); }
int TKMailEdit::TopLineCount() const { return edit_->verticalScrollBar()->maximum() + 1; }
void TKMailEdit::SetTopLine(int line) { edit_->verticalScrollBar()->setValue(std::min(line, TopLineCount() - 1)); }

int TKMailEdit::VisibleLineCount() const {
  int lineHeight = std::max(1, edit_->fontMetrics().lineSpacing());
  return std::max(1, edit_->viewport()->height() / lineHeight);
}

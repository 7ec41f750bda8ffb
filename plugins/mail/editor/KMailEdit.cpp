#include "plugins/mail/editor/KMailEdit.h"

#include "controls/BRVGraphicsEX.h"
#include "controls/Graphics.h"
#include "controls/ImageList.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "core/data/MailForm.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

using namespace qv::kmail;

namespace {

constexpr int kBlinkInterval = 500;
constexpr int kScrollInterval = 60;
constexpr int kFrames = 60;

// The font as laid out and drawn: no kerning or shaping between characters,
// so that a run drawn at once is as wide as its characters measured alone.
QFont PlainFont(QFont font) {
  font.setKerning(false);
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

QString CrlfToWidget(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

std::string WidgetToCrlf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return qv::FromQString(text);
}

}  // namespace

void TMargin::Assign(const TMargin& other) {
  left_ = other.left_;
  right_ = other.right_;
  top_ = other.top_;
  bottom_ = other.bottom_;
  if (OnChange) OnChange();
}

// Sizes for the layout: the control's font, its image lists and its host.
class TKMailEdit::Measurer : public LayoutHost {
 public:
  explicit Measurer(TKMailEdit& edit) : edit_(edit) { FontChanged(); }

  void FontChanged() {
    metrics_ = std::make_unique<QFontMetrics>(PlainFont(edit_.font()));
    // Asking the font is slow next to a layout's per-part work: kept here.
    height_ = std::max(1, metrics_->height());
    ascent_ = metrics_->ascent();
    widths_.assign(65536, -1);
  }
  const QFontMetrics& Metrics() const { return *metrics_; }
  int Ascent() const { return ascent_; }

  int FontHeight() override { return height_; }
  int CharWidth(std::string_view ch) override {
    if (ch.empty()) return 0;
    const unsigned key = ch.size() == 1 ? static_cast<unsigned char>(ch[0])
                                        : (static_cast<unsigned char>(ch[0]) << 8) | static_cast<unsigned char>(ch[1]);
    int& width = widths_[key & 0xFFFF];
    if (width < 0) width = metrics_->horizontalAdvance(qv::ToQString(ch));
    return width;
  }
  bool HasPictogram(std::string_view name) override { return edit_.PictogramImage(name) >= 0; }
  bool HasUserCharImages() override { return edit_.userImages_ != nullptr; }
  bool Picture(std::string_view fileName, PictureInfo& info) override {
    if (!edit_.OnBmpData) return false;
    QImage bmp;
    std::string headers;
    edit_.OnBmpData(&edit_, std::string(fileName), bmp, headers);
    if (bmp.isNull()) return false;
    info.width = bmp.width();
    info.height = bmp.height();
    info.headers = std::move(headers);
    return true;
  }
  void MeasureWidth(int type, std::string_view text, int& width) override {
    if (edit_.OnMeasureWidth) edit_.OnMeasureWidth(&edit_, type, text, width);
  }
  void MeasureHeight(int type, std::string_view text, int& height) override {
    if (edit_.OnMeasureHeight) edit_.OnMeasureHeight(&edit_, type, text, height);
  }

 private:
  TKMailEdit& edit_;
  std::unique_ptr<QFontMetrics> metrics_;
  int height_ = 1;
  int ascent_ = 0;
  std::vector<int> widths_;
};

// Keeps a key's several changes to one repaint.
class TKMailEdit::PaintSuspension {
 public:
  explicit PaintSuspension(TKMailEdit& edit) : edit_(edit) { ++edit_.suspend_; }
  ~PaintSuspension() {
    if (--edit_.suspend_ < 1 && edit_.repaintPending_) {
      edit_.repaintPending_ = false;
      edit_.update();
    }
  }
  PaintSuspension(const PaintSuspension&) = delete;
  PaintSuspension& operator=(const PaintSuspension&) = delete;

 private:
  TKMailEdit& edit_;
};

TKMailEdit::TKMailEdit(QWidget* parent)
    : QWidget(parent), measurer_(std::make_unique<Measurer>(*this)), doc_(*measurer_) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, true);
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  // Hosts open their own menus on a right-button release.
  setContextMenuPolicy(Qt::PreventContextMenu);
  setCursor(Qt::IBeamCursor);
  picText_ = BuiltInPicTextList();
  SetPicTextList(picText_);
  margin_.OnChange = [this] {
    UpdateArea();
    LayoutAll(false);
  };
  blinkTimer_.setInterval(kBlinkInterval);
  scrollTimer_.setInterval(kScrollInterval);
  connect(&blinkTimer_, &QTimer::timeout, this, [this] { Tick(kBlinkTimer); });
  connect(&scrollTimer_, &QTimer::timeout, this, [this] { Tick(kScrollTimer); });
  UpdateArea();
  LoadParts({});
}

TKMailEdit::~TKMailEdit() = default;

// ---- content ----------------------------------------------------------------

MarkupContext TKMailEdit::MarkupContext() {
  qv::kmail::MarkupContext ctx;
  ctx.fontColor = fontColor_;
  ctx.color = color_;
  ctx.bgImage = bgImage_;
  ctx.cmCut = cmCut_;
  ctx.deleteVoidTag = deleteVoidTag_;
  ctx.userCharCount = userImages_ ? userImages_->Count() : -1;
  ctx.hasPicture = [this](std::string_view file) {
    PictureInfo info;
    return measurer_->Picture(file, info) && info.width > 0;
  };
  ctx.unknownTag = [this](std::string_view body, bool& del) {
    if (OnUnknownTag) OnUnknownTag(this, body, del);
  };
  return ctx;
}

void TKMailEdit::TakeBodyColours(const qv::kmail::MarkupContext& ctx) {
  fontColor_ = ctx.fontColor;
  color_ = ctx.color;
  bgImage_ = ctx.bgImage;
}

void TKMailEdit::LoadParts(const std::string& parts) {
  doc_.Load(parts, fontColor_);
  pendingLead_ = 0;
  clickableSel_ = false;
  typingCaret_ = std::string::npos;
  Edited(true, true, true);
}

void TKMailEdit::SetMarkupText(std::string_view markup) {
  color_ = clWhite;
  fontColor_ = clBlack;
  bgImage_.clear();
  qv::kmail::MarkupContext ctx = MarkupContext();
  const std::string parts = ReadMarkup(markup, clBlack, false, ctx);
  TakeBodyColours(ctx);
  LoadParts(parts);
}

std::string TKMailEdit::GetMarkupText() const {
  return WriteMarkup(doc_.Text(Document::kTextStart, doc_.Length()), fontColor_, color_, bgImage_);
}

void TKMailEdit::SetPlainText(std::string_view text) {
  color_ = clWhite;
  fontColor_ = clBlack;
  bgImage_.clear();
  LoadParts(PlainToParts(text, clBlack, false, picText_));
}

std::string TKMailEdit::GetPlainText() const {
  return PartsToPlain(doc_.Text(Document::kTextStart, doc_.Length()), picText_);
}

QString TKMailEdit::GetText() const { return CrlfToWidget(qv::ToQString(GetPlainText())); }

bool TKMailEdit::IsPlainContent() const {
  return fontColor_ == clBlack && color_ == clWhite && bgImage_.empty() &&
         PartsArePlain(doc_.Text(Document::kTextStart, doc_.Length()));
}

void TKMailEdit::InsertMarkup(std::string_view markup) {
  if (preview_) return;
  qv::kmail::MarkupContext ctx = MarkupContext();
  const std::string parts = ReadMarkup(markup, typingColor_, typingBlink_, ctx);
  TakeBodyColours(ctx);
  InsertParts(parts);
}

std::string TKMailEdit::GetSelText() const { return PartsToPlain(doc_.Text(doc_.SelStart(), doc_.SelEnd()), picText_); }

void TKMailEdit::SetSelColor(TColor color) {
  SetTypingColor(color);
  doc_.SetSelColor(color);
  emit OnChange();
  Repaint();
}

void TKMailEdit::SetSelBlink(bool blink) {
  typingBlink_ = blink;
  doc_.SetSelBlink(blink);
  emit OnChange();
  Repaint();
}

void TKMailEdit::Reload() { SetMarkupText(GetMarkupText()); }

void TKMailEdit::InsertParts(std::string_view parts) {
  if (preview_) return;
  PaintSuspension suspend(*this);
  doc_.ReplaceSelection(parts);
  clickableSel_ = false;
  Edited(true, true);
}

void TKMailEdit::Edited(bool content, bool scrollToCaret, bool loaded) {
  if (scrollToCaret) doc_.ScrollLineIntoView(doc_.LineOfPos(doc_.Caret()));
  TakeTypingAttributes();
  UpdateInputMethod();
  // A load tells of its lines first, an edit of its content first.
  if (loaded) emit OnScrollChange();
  if (content) emit OnChange();
  if (!loaded) emit OnScrollChange();
  if (doc_.Anchor() != lastAnchor_ || doc_.Caret() != lastCaret_) {
    lastAnchor_ = doc_.Anchor();
    lastCaret_ = doc_.Caret();
    emit OnSelectionChange();
  }
  Repaint();
}

void TKMailEdit::TakeTypingAttributes() {
  // A colour or blink chosen for typing holds until the caret moves.
  if (doc_.Caret() == typingCaret_) return;
  typingCaret_ = doc_.Caret();
  const std::string_view part = doc_.PartBefore(doc_.Caret());
  if (part.empty()) return;
  typingBlink_ = PartBlinks(part, 0);
  SetTypingColor(PartColor(part, 0));
}

void TKMailEdit::SetTypingColor(TColor color) {
  typingColor_ = color;
  emit OnColorChange();
}

// ---- properties -------------------------------------------------------------

void TKMailEdit::SetPowerOff(bool value) {
  powerOff_ = value;
  Repaint();
}

void TKMailEdit::SetPowerOffColor(TColor value) {
  powerOffColor_ = value;
  Repaint();
}

void TKMailEdit::SetAnimation(bool value) {
  animation_ = value;
  RestartBlink();
  Repaint();
}

void TKMailEdit::SetAutoMenuLine(bool value) {
  doc_.autoMenuLine = value;
  LayoutAll(true);
}

void TKMailEdit::SetAutoClickLine(bool value) {
  doc_.autoClickLine = value;
  LayoutAll(true);
}

void TKMailEdit::SetPreview(bool value) {
  preview_ = value;
  clickableSel_ = false;
  doc_.SetSelection(doc_.Anchor(), doc_.Caret());
  Edited(false, true);
}

void TKMailEdit::WatchImages(QPointer<TImageList>& slot, TImageList* images) {
  if (slot) disconnect(slot, nullptr, this, nullptr);
  slot = images;
  // New images may give pictograms and user characters their room.
  if (images) connect(images, &TImageList::Changed, this, [this] { LayoutAll(false); });
  Repaint();
}

void TKMailEdit::SetPicTextImages(TImageList* images) { WatchImages(picImages_, images); }

void TKMailEdit::SetUserTextImages(TImageList* images) { WatchImages(userImages_, images); }

void TKMailEdit::SetPicTextList(const std::vector<std::string>& lines) {
  picText_ = lines;
  picIndex_.clear();
  for (size_t i = 0; i < picText_.size(); ++i) {
    const size_t eq = picText_[i].find('=');
    if (eq != std::string::npos) picIndex_.emplace(picText_[i].substr(0, eq), static_cast<int>(i));
  }
}

int TKMailEdit::PictogramImage(std::string_view name) const {
  if (!picImages_) return -1;
  auto it = picIndex_.find(std::string(name));
  if (it == picIndex_.end() || it->second >= picImages_->Count()) return -1;
  return it->second;
}

void TKMailEdit::SetLineSpace(int value) {
  doc_.lineSpace = value;
  LayoutAll(false);
}

void TKMailEdit::SetColor(TColor value) {
  color_ = value;
  Repaint();
}

void TKMailEdit::SetFontColor(TColor value) {
  fontColor_ = value;
  Repaint();
}

// ---- layout and scrolling ----------------------------------------------------

QRect TKMailEdit::TextArea() const {
  return QRect(margin_.Left(), margin_.Top(), width() - margin_.Left() - margin_.Right(),
               height() - margin_.Top() - margin_.Bottom());
}

void TKMailEdit::UpdateArea() {
  const QRect area = TextArea();
  doc_.SetArea(area.width(), area.height());
}

void TKMailEdit::LayoutAll(bool detect) {
  doc_.LayoutAll(detect);
  emit OnScrollChange();
  Repaint();
}

void TKMailEdit::SetTopLine(int line) {
  doc_.SetTopLine(line);
  emit OnScrollChange();
  Repaint();
}

int TKMailEdit::VisibleLineCount() const {
  return std::max(1, TextArea().height() / std::max(1, measurer_->FontHeight()));
}

void TKMailEdit::ScrollBy(int lines) {
  const int before = doc_.TopLine();
  doc_.SetTopLine(before + lines);
  if (doc_.TopLine() != before) emit OnScrollChange();
}

int TKMailEdit::LineAtY(int y) const {
  const QRect area = TextArea();
  int line = doc_.TopLine();
  if (y < area.top()) return line;
  const int last = doc_.LastFullLine();
  int64_t bottom = area.top();
  for (int i = doc_.TopLine(); i <= last; ++i) {
    bottom += doc_.Lines()[static_cast<size_t>(i)].height;
    line = i;
    if (y < bottom) break;
  }
  return line;
}

size_t TKMailEdit::PosAtPoint(QPoint point) const {
  return doc_.PosAtX(LineAtY(point.y()), point.x(), TextArea().left());
}

bool TKMailEdit::PartAtPoint(QPoint point, size_t& pos) const {
  const int line = LineAtY(point.y());
  for (const PartBox& box : doc_.Boxes(line, TextArea().left())) {
    if (point.x() >= box.x && point.x() < box.x + box.width) {
      pos = box.pos;
      return true;
    }
  }
  return false;
}

QRect TKMailEdit::CaretRect() const {
  const int line = doc_.LineOfPos(doc_.Caret());
  if (line < doc_.TopLine()) return {};
  const QRect area = TextArea();
  const int64_t top = area.top() + doc_.LineTop(line);
  if (top >= area.bottom() + 1) return {};
  int x = doc_.XOfPos(doc_.Caret(), area.left());
  if (!preedit_.isEmpty())
    x += measurer_->Metrics().horizontalAdvance(preedit_.left(std::clamp(preeditCursor_, 0, int(preedit_.size()))));
  const int height = std::max(1, doc_.Lines()[static_cast<size_t>(line)].height - doc_.lineSpace);
  const QRect caret(x, static_cast<int>(top), 1, height);
  return rect().contains(caret.topLeft()) ? caret : QRect();
}

// ---- selection and commands ---------------------------------------------------

void TKMailEdit::SetSelection(int anchor, int caret) {
  auto snap = [this](int p) {
    size_t pos = doc_.Clamp(static_cast<size_t>(std::max(1, p) - 1));
    while (!doc_.IsBoundary(pos) && pos > Document::kTextStart) --pos;
    return pos;
  };
  doc_.SetSelection(snap(anchor), snap(caret));
  clickableSel_ = false;
  Edited(false, true);
}

void TKMailEdit::CaretToStart() {
  doc_.SetSelection(Document::kTextStart, Document::kTextStart);
  Edited(false, true);
}

void TKMailEdit::CaretToMouse(QPoint point) {
  const size_t pos = PosAtPoint(point);
  doc_.SetSelection(pos, pos);
  Edited(false, true);
}

void TKMailEdit::MoveTo(size_t pos, bool extend) {
  doc_.SetSelection(extend ? doc_.Anchor() : pos, pos);
  clickableSel_ = false;
}

void TKMailEdit::SelectAll() {
  doc_.SetSelection(Document::kTextStart, doc_.Length());
  clickableSel_ = false;
  Edited(false, true);
}

void TKMailEdit::CopyToClipboard() {
  if (!doc_.HasSelection()) return;
  auto* data = new QMimeData;
  std::string parts = doc_.Text(doc_.SelStart(), doc_.SelEnd());
  parts.push_back('\0');
  data->setData(QString::fromLatin1(kClipboardFormat), QByteArray(parts.data(), static_cast<qsizetype>(parts.size())));
  data->setText(CrlfToWidget(qv::ToQString(GetSelText())));
  QGuiApplication::clipboard()->setMimeData(data);
}

void TKMailEdit::CutToClipboard() {
  if (preview_) return;
  CopyToClipboard();
  DeleteSelection();
}

void TKMailEdit::PasteFromClipboard() {
  if (preview_) return;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data) return;
  const QString format = QString::fromLatin1(kClipboardFormat);
  if (data->hasFormat(format)) {
    const QByteArray bytes = data->data(format);
    std::string_view raw(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (!raw.empty() && raw.back() == '\0') raw.remove_suffix(1);
    // Another program may have put anything there: whole, sound parts only.
    const std::string_view parts = ValidPartsPrefix(raw);
    if (!parts.empty()) {
      InsertParts(parts);
      return;
    }
  }
  if (!data->hasText()) return;
  const std::string parts = PlainToParts(WidgetToCrlf(data->text()), typingColor_, typingBlink_, picText_);
  if (!parts.empty()) InsertParts(parts);
}

bool TKMailEdit::CanPaste() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return !preview_ && data && (data->hasText() || data->hasFormat(QString::fromLatin1(kClipboardFormat)));
}

void TKMailEdit::Undo() {
  if (preview_) return;
  PaintSuspension suspend(*this);
  if (doc_.Undo()) Edited(true, true);
}

void TKMailEdit::DeleteSelection() {
  if (preview_ || !doc_.HasSelection()) return;
  PaintSuspension suspend(*this);
  doc_.DeleteSelection();
  clickableSel_ = false;
  Edited(true, true);
}

void TKMailEdit::RestartBlink() {
  StopTimer(kBlinkTimer);
  frame_ = 0;
  blinkPhase_ = 0;
  if (painted_) StartTimer(kBlinkTimer);
}

int TKMailEdit::TextWidth(const QString& text) const { return measurer_->Metrics().horizontalAdvance(text); }

// ---- typing -----------------------------------------------------------------

void TKMailEdit::TypeBytes(std::string_view bytes) {
  PaintSuspension suspend(*this);
  for (char b : bytes) {
    if (pendingLead_) {
      const char ch[2] = {pendingLead_, b};
      pendingLead_ = 0;
      InsertTyped(std::string_view(ch, 2));
    } else if (qv::cp932::IsLeadByte(b)) {
      pendingLead_ = b;
    } else if (static_cast<unsigned char>(b) >= 32) {
      InsertTyped(std::string_view(&b, 1));
    }
  }
}

void TKMailEdit::InsertTyped(std::string_view ch) {
  if (preview_) return;
  const std::string parts = PlainToParts(ch, typingColor_, typingBlink_, picText_);
  if (parts.empty()) return;
  if (overwrite_) {
    // Over the next part, unless that ends the paragraph.
    const std::string_view next = doc_.PartAt(doc_.SelEnd());
    if (!next.empty() && PartType(next, 0) != ttLineBreak) {
      const size_t from = doc_.SelStart();
      doc_.SetSelection(from, doc_.SelEnd() + next.size());
    }
  }
  InsertParts(parts);
}

// ---- timers ------------------------------------------------------------------

void TKMailEdit::SetManualTicks(bool manual) {
  manualTicks_ = manual;
  if (manual) {
    blinkTimer_.stop();
    scrollTimer_.stop();
  } else {
    if (painted_) blinkTimer_.start();
    if (scrollTimerOn_) scrollTimer_.start();
  }
}

void TKMailEdit::StartTimer(int timer) {
  if (timer == kScrollTimer) scrollTimerOn_ = true;
  if (manualTicks_) return;
  (timer == kBlinkTimer ? blinkTimer_ : scrollTimer_).start();
}

void TKMailEdit::StopTimer(int timer) {
  if (timer == kScrollTimer) scrollTimerOn_ = false;
  (timer == kBlinkTimer ? blinkTimer_ : scrollTimer_).stop();
}

bool TKMailEdit::TimerActive(int timer) const { return timer == kBlinkTimer ? painted_ : scrollTimerOn_; }

void TKMailEdit::Tick(int timer) {
  if (timer == kBlinkTimer) {
    // Nothing moves while a mouse button is held on the control.
    if (dragging_ || rightDown_ || !animated_ || !animation_) return;
    blinkPhase_ ^= 1;
    frame_ = (frame_ + 1) % kFrames;
    update();
    return;
  }
  if (timer != kScrollTimer || !dragging_) return;
  const QRect area = TextArea();
  const int y = mouse_.y();
  int lines = 0;
  if (y < area.top())
    lines = area.top() - y > 7 ? -4 : -1;
  else if (y > area.bottom())
    lines = y - area.bottom() > 7 ? 4 : 1;
  if (lines == 0) return;
  ScrollBy(lines);
  if (!preview_) doc_.SetSelection(doc_.Anchor(), PosAtPoint(mouse_));
  Edited(false, false);
}

// ---- painting ------------------------------------------------------------------

void TKMailEdit::Repaint() {
  if (suspend_ > 0)
    repaintPending_ = true;
  else
    update();
}

QColor TKMailEdit::Background() const {
  return ToQColor(powerOff_ ? BlendColor(powerOffColor_, color_, 64) : color_);
}

QImage TKMailEdit::PartImage(TImageList* list, int index, const QColor& fill) const {
  QImage cell(list->GetWidth(), list->GetHeight(), QImage::Format_RGB32);
  cell.fill(fill);
  QPainter p(&cell);
  list->Draw(p, QPoint(0, 0), index);
  return cell;
}

void TKMailEdit::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(rect(), Background());
  animated_ = false;
  const QRect area = TextArea();
  int64_t top = area.top();
  for (int line = doc_.TopLine(); line < doc_.LineCount() && top <= area.bottom(); ++line) {
    DrawLine(painter, line, static_cast<int>(top));
    top += doc_.Lines()[static_cast<size_t>(line)].height;
  }
  const QRect caret = CaretRect();
  if (hasFocus() && caret.isValid()) {
    if (!preedit_.isEmpty()) {
      // The composition is drawn at the caret, underlined; it is not content.
      QFont font = PlainFont(this->font());
      font.setUnderline(true);
      painter.setFont(font);
      painter.setPen(ToQColor(typingColor_));
      const int x = doc_.XOfPos(doc_.Caret(), area.left());
      painter.drawText(QPoint(x, caret.top() + measurer_->Ascent()), preedit_);
    }
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(caret, Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  if (!painted_) {
    painted_ = true;
    StartTimer(kBlinkTimer);
  }
}

void TKMailEdit::DrawLine(QPainter& painter, int line, int top) {
  const Line& l = doc_.Lines()[static_cast<size_t>(line)];
  const std::vector<PartBox> boxes = doc_.Boxes(line, TextArea().left());
  const size_t selFrom = doc_.SelStart(), selTo = doc_.SelEnd();
  const QColor highlight = palette().color(QPalette::Highlight);
  const QColor highlightText = palette().color(QPalette::HighlightedText);
  const QColor selectionFill = powerOff_ ? ToQColor(powerOffColor_) : highlight;
  const QColor background = Background();
  const QFont plainFont = PlainFont(font());
  QFont linkFont = plainFont;
  linkFont.setUnderline(true);
  const int ascent = measurer_->Ascent();
  const std::string_view text = l.text;
  auto selected = [&](const PartBox& box) { return box.pos >= selFrom && box.pos < selTo; };
  auto partColor = [&](size_t at, bool sel) {
    // Selected text stays readable on either fill, the switched-off one too.
    if (sel) return highlightText;
    const TColor c = PartColor(text, at);
    return ToQColor(powerOff_ ? BlendColor(powerOffColor_, c, 64) : c);
  };
  auto drawn = [&](size_t at, const QRect& r) {
    if (OnDrawParts) OnDrawParts(this, painter, PartType(text, at), PartText(text, at), r);
  };

  for (size_t k = 0; k < boxes.size();) {
    const PartBox& box = boxes[k];
    const size_t at = box.pos - l.offset;
    const int type = PartType(text, at);
    const bool sel = selected(box);
    const bool blinks = PartBlinks(text, at);
    if (blinks) animated_ = true;
    const QRect r(box.x, top, box.width, l.height);
    if (blinks && blinkPhase_ == 1) {
      ++k;
      continue;
    }
    if ((type == ttSingleChar || type == ttDoubleChar) && !IsTabPart(text, at)) {
      // A run of characters that look alike goes out in one text output.
      size_t end = k + 1;
      std::string bytes(PartText(text, at));
      const int attr = PartAttr(text, at);
      const TColor colour = PartColor(text, at);
      while (end < boxes.size()) {
        const size_t a = boxes[end].pos - l.offset;
        const int t = PartType(text, a);
        if ((t != ttSingleChar && t != ttDoubleChar) || IsTabPart(text, a) || PartAttr(text, a) != attr ||
            PartColor(text, a) != colour || selected(boxes[end]) != sel)
          break;
        bytes += PartText(text, a);
        ++end;
      }
      const int width = boxes[end - 1].x + boxes[end - 1].width - box.x;
      const QRect run(box.x, top, width, l.height);
      if (sel) painter.fillRect(run, selectionFill);
      painter.save();
      // Glyphs may reach a little past their advance; only the text area's
      // right edge cuts them.
      painter.setClipRect(QRect(run.left(), top, std::max(0, TextArea().right() + 1 - run.left()), l.height));
      painter.setFont(PartClickable(text, at) ? linkFont : plainFont);
      painter.setPen(partColor(at, sel));
      painter.drawText(QPoint(box.x, top + ascent), qv::ToQString(bytes));
      painter.restore();
      for (size_t i = k; i < end; ++i)
        drawn(boxes[i].pos - l.offset, QRect(boxes[i].x, top, boxes[i].width, l.height));
      k = end;
      continue;
    }
    const QRect cell(box.x, top, box.width, std::max(0, l.height - doc_.lineSpace));
    if (type == ttSingleChar) {
      // A tab: its cell in the brush.
      if (sel) painter.fillRect(r, selectionFill);
    } else if (type == ttPictogram || type == ttUserChar) {
      TImageList* list = type == ttPictogram ? picImages_.data() : userImages_.data();
      const int index = type == ttPictogram ? PictogramImage(PartText(text, at)) : UserCharIndex(PartText(text, at));
      if (list && index >= 0 && index < list->Count() && !cell.isEmpty())
        painter.drawImage(cell, PartImage(list, index, sel ? highlight : background));
    } else if (type == ttPicture) {
      DrawPicture(painter, box, PartText(text, at), top, l.height, sel);
    }
    if (type != ttLineBreak && type <= ttKeptTag) drawn(at, r);
    ++k;
  }
}

void TKMailEdit::DrawPicture(QPainter& painter, const PartBox& box, std::string_view text, int top, int height,
                             bool selected) {
  if (!OnBmpData) return;
  QImage bmp;
  std::string headers;
  OnBmpData(this, PictureFileName(text), bmp, headers);
  if (bmp.isNull() || bmp.width() <= 0) return;
  const QRect area = TextArea();
  const int page = PicturePage(text);
  const qv::TDXPictureInfo dx = qv::ParseDXHeaders(bmp.width(), bmp.height(), headers);
  const int space = doc_.lineSpace;
  if (dx.IsDiv6) {
    const qv::TDXPane& pane = dx.Panes[static_cast<size_t>(page - 1)];
    if (pane.Kind != qv::kPaneVoid) {
      int shown = page;
      if (pane.Kind == qv::kPaneSlide) {
        shown = page + frame_ % std::max(1, pane.SlideCount);
        animated_ = true;
      }
      const qv::TDXPane& source = dx.Panes[static_cast<size_t>(std::clamp(shown, 1, 6) - 1)];
      const int index = std::clamp(shown, 1, 6) - 1;
      const QRect src(index < 3 ? 0 : 96, (index % 3) * 43, source.Width, source.Height);
      const int x = area.left() + (area.width() - src.width()) / 2;
      const int y = top + (height - space - bmp.height() / 3) / 2;
      painter.drawImage(QPoint(x, y), bmp, src);
    }
  } else {
    const int x = area.left() + (area.width() - bmp.width()) / 2;
    const int y = top + (height - space - bmp.height()) / 2;
    painter.drawImage(QPoint(x, y), bmp);
  }
  if (selected) {
    painter.setPen(palette().color(QPalette::Highlight));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(box.x, top, box.width, height - space).adjusted(0, 0, -1, -1));
  }
}

// ---- events --------------------------------------------------------------------

void TKMailEdit::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int before = doc_.AreaWidth();
  UpdateArea();
  if (doc_.AreaWidth() != before) doc_.LayoutAll(false);
  emit OnScrollChange();
  Repaint();
}

void TKMailEdit::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    measurer_->FontChanged();
    LayoutAll(false);
  }
}

bool TKMailEdit::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // The control's own keys come to it before any window shortcut.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::ControlModifier &&
        (key->key() == Qt::Key_A || key->key() == Qt::Key_C || key->key() == Qt::Key_X || key->key() == Qt::Key_V ||
         key->key() == Qt::Key_Z)) {
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void TKMailEdit::keyPressEvent(QKeyEvent* event) {
  PaintSuspension suspend(*this);
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const bool ctrlOnly = mods == Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Backspace:
      if (preview_) break;
      if (!doc_.HasSelection()) doc_.SetSelection(doc_.Caret(), doc_.PrevPos(doc_.Caret()));
      DeleteSelection();
      break;
    case Qt::Key_Delete:
      if (preview_) break;
      if (!doc_.HasSelection()) doc_.SetSelection(doc_.Caret(), doc_.NextPos(doc_.Caret()));
      DeleteSelection();
      break;
    case Qt::Key_Insert:
      if (mods == Qt::NoModifier) overwrite_ = !overwrite_;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      pendingLead_ = 0;
      if (!preview_) InsertParts(MakePart(ttLineBreak, typingColor_, typingBlink_, {}));
      break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      KeyMove(event);
      break;
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_X:
    case Qt::Key_V:
    case Qt::Key_Z:
      if (ctrlOnly) {
        if (event->key() == Qt::Key_A) SelectAll();
        if (event->key() == Qt::Key_C) CopyToClipboard();
        if (event->key() == Qt::Key_X) CutToClipboard();
        if (event->key() == Qt::Key_V) PasteFromClipboard();
        if (event->key() == Qt::Key_Z) Undo();
        break;
      }
      [[fallthrough]];
    default:
      // Keys without text, or with a control character (Escape), are the window's.
      if ((mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) || event->text().isEmpty() ||
          event->text().at(0).unicode() < 32) {
        QWidget::keyPressEvent(event);
        return;
      }
      TypeBytes(qv::FromQString(event->text()));
      break;
  }
  emit OnScrollChange();
  event->accept();
}

void TKMailEdit::KeyMove(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const bool ctrl = (mods & Qt::ControlModifier) != 0;
  const bool extend = (mods & Qt::ShiftModifier) != 0;
  const int left = TextArea().left();
  const size_t caret = doc_.Caret();
  const int line = doc_.LineOfPos(caret);
  const int x = doc_.XOfPos(caret, left);
  auto toLine = [&](int target) {
    return doc_.PosAtX(std::clamp(target, 0, doc_.LineCount() - 1), x, left);
  };
  size_t pos = caret;
  switch (event->key()) {
    case Qt::Key_Left:
      pos = ctrl ? doc_.WordLeft(caret) : doc_.PrevPos(caret);
      break;
    case Qt::Key_Right:
      pos = ctrl ? doc_.WordRight(caret) : doc_.NextPos(caret);
      break;
    case Qt::Key_Up:
      pos = toLine(line - (ctrl ? 3 : 1));
      break;
    case Qt::Key_Down:
      pos = toLine(line + (ctrl ? 3 : 1));
      break;
    case Qt::Key_Home:
      pos = ctrl ? Document::kTextStart : doc_.LineStartPos(line);
      break;
    case Qt::Key_End:
      pos = ctrl ? doc_.Length() : doc_.LineEndPos(line);
      break;
    case Qt::Key_PageUp:
      if (ctrl) {
        pos = toLine(doc_.TopLine());
      } else {
        doc_.ScrollLineIntoView(line);
        const int oldTop = doc_.TopLine();
        // Back by a screen: the old top line becomes the last one shown whole.
        int top = oldTop;
        int64_t sum = doc_.Lines()[static_cast<size_t>(oldTop)].height;
        while (top > 0 && sum + doc_.Lines()[static_cast<size_t>(top - 1)].height <= doc_.AreaHeight()) {
          sum += doc_.Lines()[static_cast<size_t>(top - 1)].height;
          --top;
        }
        doc_.SetTopLine(top);
        pos = toLine(line - (oldTop - doc_.TopLine()));
      }
      break;
    case Qt::Key_PageDown:
      if (ctrl) {
        pos = toLine(doc_.LastFullLine());
      } else {
        doc_.ScrollLineIntoView(line);
        const int oldTop = doc_.TopLine();
        doc_.SetTopLine(doc_.LastFullLine());
        pos = toLine(line + (doc_.TopLine() - oldTop));
      }
      break;
    default:
      break;
  }
  MoveTo(pos, extend);
  Edited(false, true);
}

void TKMailEdit::inputMethodEvent(QInputMethodEvent* event) {
  PaintSuspension suspend(*this);
  if (!event->commitString().isEmpty()) TypeBytes(qv::FromQString(event->commitString()));
  preedit_ = event->preeditString();
  preeditCursor_ = static_cast<int>(preedit_.size());
  for (const QInputMethodEvent::Attribute& a : event->attributes())
    if (a.type == QInputMethodEvent::Cursor) preeditCursor_ = a.start;
  UpdateInputMethod();
  Repaint();
  event->accept();
}

QVariant TKMailEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle: {
      const QRect caret = CaretRect();
      return caret.isValid() ? caret : QRect(TextArea().topLeft(), QSize(1, measurer_->FontHeight()));
    }
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
      return 0;
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection:
      return QString();
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    default:
      return QWidget::inputMethodQuery(query);
  }
}

void TKMailEdit::UpdateInputMethod() {
  if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

bool TKMailEdit::SelectClickableAt(QPoint point) {
  size_t part = 0, from = 0, to = 0;
  if (!PartAtPoint(point, part) || !doc_.ClickableRunAt(part, from, to)) return false;
  doc_.SetSelection(from, to);
  clickableSel_ = true;
  return true;
}

void TKMailEdit::mousePressEvent(QMouseEvent* event) {
  blinkPhase_ = 0;
  mouse_ = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    dragging_ = true;
    StartTimer(kScrollTimer);
    clickableSel_ = false;
    const size_t pos = PosAtPoint(mouse_);
    doc_.SetSelection(pos, pos);
    if (preview_) SelectClickableAt(mouse_);
    Edited(false, false);
  } else if (event->button() == Qt::RightButton) {
    rightDown_ = true;
    if (preview_) SelectClickableAt(mouse_);
    Edited(false, false);
  }
  event->accept();
}

void TKMailEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  if (event->button() == Qt::LeftButton) doubleClick_ = true;
}

void TKMailEdit::mouseMoveEvent(QMouseEvent* event) {
  mouse_ = event->position().toPoint();
  if (!dragging_) return;
  if (!(event->buttons() & Qt::LeftButton)) {
    dragging_ = false;
    StopTimer(kScrollTimer);
    return;
  }
  if (preview_) {
    if (doc_.Caret() == doc_.Anchor() && SelectClickableAt(mouse_)) Edited(false, false);
    return;
  }
  const size_t pos = PosAtPoint(mouse_);
  if (pos != doc_.Caret()) {
    doc_.SetSelection(doc_.Anchor(), pos);
    Edited(false, false);
  }
}

void TKMailEdit::mouseReleaseEvent(QMouseEvent* event) {
  mouse_ = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    dragging_ = false;
    StopTimer(kScrollTimer);
    const bool twice = doubleClick_;
    doubleClick_ = false;
    if (twice && !preview_) {
      size_t from = 0, to = 0;
      doc_.WordAt(PosAtPoint(mouse_), from, to);
      doc_.SetSelection(from, to);
    }
    Edited(false, false);
    if (clickableSel_) {
      emit OnClickableClick();
      if (twice) emit OnClickableDBLClick();
    }
  } else if (event->button() == Qt::RightButton) {
    rightDown_ = false;
    Repaint();
    if (clickableSel_) emit OnClickableRightClick();
  }
  event->accept();
}

void TKMailEdit::wheelEvent(QWheelEvent* event) {
  wheelDelta_ += event->angleDelta().y();
  const int steps = wheelDelta_ / 120;
  if (steps != 0) {
    wheelDelta_ -= steps * 120;
    ScrollBy(-3 * steps);
    Repaint();
  }
  event->accept();
}

void TKMailEdit::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  UpdateInputMethod();
  Repaint();
}

void TKMailEdit::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  Repaint();
}

#include "plugins/mail/picedit/PicturePages.h"

#include <algorithm>

#include "plugins/mail/bitmapedit/BitmapRaster.h"

namespace qv {

QRect PageArea(int page) {
  return QRect(page < 3 ? 0 : kPageWidth, (page % 3) * kPageHeight, kPageWidth, kPageHeight);
}

QSize PutPage(QImage& picture, int page, const QImage& content) {
  const QRect area = PageArea(page);
  const QSize size(std::min(content.width(), kPageWidth), std::min(content.height(), kPageHeight));
  FillBox(picture, area, TRasterInk::Brush(picture, clWhite));
  DrawPicture(picture, area.topLeft(), MakeRasterPicture(content.copy(0, 0, size.width(), size.height())));
  return size;
}

bool PicturePages::OnlyOneNotVoid(int page) const {
  for (int p = 0; p < kPageCount; ++p)
    if (p != page && pages_[size_t(p)].kind != kPaneVoid) return false;
  return true;
}

int PicturePages::SlideFirst() const {
  for (int p = 0; p < kPageCount; ++p)
    if (pages_[size_t(p)].kind == kPaneSlide) return p;
  return -1;
}

int PicturePages::SlideLast() const {
  for (int p = kPageCount - 1; p >= 0; --p)
    if (pages_[size_t(p)].kind == kPaneSlide) return p;
  return -1;
}

void PicturePages::SetKind(int page, int kind) {
  if (page < 0 || page >= kPageCount) return;
  // At least one page stays shown.
  if (kind == kPaneVoid && OnlyOneNotVoid(page)) kind = kPanePlain;
  pages_[size_t(page)].kind = kind;
  const int first = SlideFirst();
  if (first < 0) return;
  if (kind == kPaneSlide) {
    for (int p = first; p <= SlideLast(); ++p) pages_[size_t(p)].kind = kPaneSlide;
    return;
  }
  int p = first;
  while (p < kPageCount && pages_[size_t(p)].kind == kPaneSlide) ++p;
  for (; p < kPageCount; ++p)
    if (pages_[size_t(p)].kind == kPaneSlide) pages_[size_t(p)].kind = kPanePlain;
}

void PicturePages::CycleKind(int page) {
  if (page < 0 || page >= kPageCount) return;
  SetKind(page, (pages_[size_t(page)].kind + 1) % 3);
}

bool PicturePages::CanSetKind(int page, int kind) const {
  if (page < 0 || page >= kPageCount || pages_[size_t(page)].kind == kind) return false;
  return kind != kPaneVoid || !OnlyOneNotVoid(page);
}

void PicturePages::SetSize(int page, int width, int height) {
  if (page < 0 || page >= kPageCount) return;
  pages_[size_t(page)].width = std::clamp(width, 1, kPageWidth);
  pages_[size_t(page)].height = std::clamp(height, 1, kPageHeight);
}

void PicturePages::Assign(const TDXPictureInfo& info) {
  Reset();
  if (!info.HasPageLayout) return;
  for (int p = 0; p < kPageCount;) {
    const TDXPane& pane = info.Panes[size_t(p)];
    PicturePage page;
    page.kind = pane.Kind;
    if (pane.Kind != kPaneVoid) {
      page.width = std::clamp(pane.Width, 1, kPageWidth);
      page.height = std::clamp(pane.Height, 1, kPageHeight);
    }
    // A run of SLIDE pages is one pane with its count; the pages it covers
    // are SLIDE pages of the same size again.
    const int count = pane.Kind == kPaneSlide ? std::clamp(pane.SlideCount, 1, kPageCount - p) : 1;
    if (count == 1 && pane.Kind == kPaneSlide) page.kind = kPanePlain;
    for (int i = 0; i < count; ++i) pages_[size_t(p + i)] = page;
    p += count;
  }
}

void PicturePages::Fill(TDXPictureInfo& info) const {
  for (int p = 0; p < kPageCount; ++p) {
    const PicturePage& page = pages_[size_t(p)];
    TDXPane& pane = info.Panes[size_t(p)];
    pane = TDXPane{};
    if (page.kind == kPaneVoid) {
      pane.Kind = kPaneVoid;
      pane.Width = pane.Height = 0;
    } else {
      pane.Width = page.width;
      pane.Height = page.height;
    }
  }
  const int first = SlideFirst();
  if (first < 0) return;
  int last = first;
  while (last + 1 < kPageCount && pages_[size_t(last + 1)].kind == kPaneSlide) ++last;
  // The run goes by its first page's size; one page alone is PLAIN.
  TDXPane& head = info.Panes[size_t(first)];
  head.SlideCount = last - first + 1;
  head.Kind = head.SlideCount > 1 ? kPaneSlide : kPanePlain;
  for (int p = first + 1; p <= last; ++p) {
    info.Panes[size_t(p)].Width = head.Width;
    info.Panes[size_t(p)].Height = head.Height;
  }
}

}  // namespace qv

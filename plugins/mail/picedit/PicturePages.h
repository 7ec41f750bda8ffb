#pragma once
// The six pages of a six-page picture as the page editor keeps them: each a
// kind (PLAIN, SLIDE or VOID) and a size within 96 x 43. At most one run of
// consecutive SLIDE pages exists and at least one page is not VOID.
#include <QImage>
#include <QRect>
#include <QSize>

#include <array>

#include "core/data/MailForm.h"

namespace qv {

inline constexpr int kPageCount = 6;
inline constexpr int kPageWidth = 96;
inline constexpr int kPageHeight = 43;

struct PicturePage {
  int kind = kPanePlain;
  int width = kPageWidth;
  int height = kPageHeight;
  friend bool operator==(const PicturePage&, const PicturePage&) = default;
};

// Where page (0-5) lies in the 192 x 130 picture: pages 0-2 in the left
// column, 3-5 in the right, top to bottom.
QRect PageArea(int page);
// Clears the page's area to white and draws the picture at its corner, cut
// to the area so that no neighbouring page is touched; the size it takes.
QSize PutPage(QImage& picture, int page, const QImage& content);

class PicturePages {
 public:
  const PicturePage& operator[](int page) const { return pages_[size_t(page)]; }

  // The kind with the rules: VOID on the last page that is not VOID gives
  // PLAIN; a new SLIDE fills the pages between the first and the last SLIDE;
  // any other change turns SLIDE pages after the first run to PLAIN.
  void SetKind(int page, int kind);
  // PLAIN, SLIDE, VOID, PLAIN ...
  void CycleKind(int page);
  // Whether the command for a kind changes the page.
  bool CanSetKind(int page, int kind) const;
  // Kept within 1-96 x 1-43.
  void SetSize(int page, int width, int height);
  // Every page PLAIN 96 x 43.
  void Reset() { pages_ = {}; }

  // From and to the picture-part header lines' parsed form.
  void Assign(const TDXPictureInfo& info);
  void Fill(TDXPictureInfo& info) const;

  // The first and last page of the SLIDE run, -1 when there is none.
  int SlideFirst() const;
  int SlideLast() const;

 private:
  bool OnlyOneNotVoid(int page) const;

  std::array<PicturePage, kPageCount> pages_{};
};

}  // namespace qv

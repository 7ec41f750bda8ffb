#pragma once
// The preview box of both theme windows: "プレビュー" round a white 120 x 50
// panel with the animation on it.
class QGroupBox;
class QWidget;
class TAnimationImage;

namespace qv {

struct BannerPreview {
  QGroupBox* box = nullptr;
  QWidget* white = nullptr;
  TAnimationImage* animation = nullptr;
};
BannerPreview NewBannerPreview(QWidget* parent);

}  // namespace qv

#include "plugins/theme/BannerPreview.h"

#include "controls/AnimationImage.h"
#include "core/ui/Theme.h"

#include <QGroupBox>
#include <QVBoxLayout>

namespace qv {

BannerPreview NewBannerPreview(QWidget* parent) {
  BannerPreview p;
  p.box = new QGroupBox(QStringLiteral("プレビュー"), parent);
  p.box->setObjectName("pnlPreview");
  auto* layout = new QVBoxLayout(p.box);
  p.white = new QWidget(p.box);
  p.white->setObjectName("pnlWhite");
  p.white->setFixedSize(kBannerFrameWidth, kBannerFrameHeight);
  p.white->setAutoFillBackground(true);
  QPalette white = p.white->palette();
  white.setColor(QPalette::Window, Qt::white);
  p.white->setPalette(white);
  p.animation = new TAnimationImage(p.white);
  p.animation->setObjectName("aniPreview");
  p.animation->setGeometry(0, 0, kBannerFrameWidth, kBannerFrameHeight);
  layout->addWidget(p.white, 0, Qt::AlignHCenter | Qt::AlignTop);
  layout->addStretch(1);
  return p;
}

}  // namespace qv

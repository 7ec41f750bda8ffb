// Draws the launcher's own pictures (logo, banner strip, tray and settings
// icons, the session dialog's wait picture), writes the banner strip as our
// default theme (Theme/VeoQuorvel.qvt, not editable)
// and synthesises its two short sounds into the given folder:
//   qv_launcher_assets <folder>
#include "core/ui/Theme.h"
#include "platform/Cp932.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

const QColor kBrand(214, 40, 57);     // the red of the splash
const QColor kSky(128, 128, 255);     // the window's default background
const QColor kDeep(40, 52, 140);

QImage NewImage(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

// A picture of count frames of w x h in cols columns; draw paints each with
// its origin at the frame's top-left corner, clipped to the frame.
template <typename Draw>
QImage Frames(int w, int h, int cols, int count, Draw draw) {
  QImage img = NewImage(w * cols, h * ((count + cols - 1) / cols));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  for (int frame = 0; frame < count; ++frame) {
    p.save();
    p.translate(w * (frame % cols), h * (frame / cols));
    p.setClipRect(QRectF(0, 0, w, h));
    draw(p, frame);
    p.restore();
  }
  return img;
}

void DrawEnvelope(QPainter& p, const QRectF& r, const QColor& paper, const QColor& line) {
  p.setPen(QPen(line, std::max(1.0, r.width() / 14)));
  p.setBrush(paper);
  p.drawRoundedRect(r, r.width() / 10, r.width() / 10);
  QPainterPath flap;
  flap.moveTo(r.topLeft() + QPointF(r.width() * 0.06, r.height() * 0.1));
  flap.lineTo(r.center().x(), r.top() + r.height() * 0.58);
  flap.lineTo(r.topRight() + QPointF(-r.width() * 0.06, r.height() * 0.1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

void DrawHandset(QPainter& p, const QRectF& r) {
  QLinearGradient g(r.topLeft(), r.bottomRight());
  g.setColorAt(0, QColor(250, 250, 255));
  g.setColorAt(1, QColor(180, 186, 220));
  p.setPen(QPen(kDeep, 1.2));
  p.setBrush(g);
  p.drawRoundedRect(r, r.width() * 0.22, r.width() * 0.22);
  QRectF screen(r.left() + r.width() * 0.16, r.top() + r.height() * 0.14, r.width() * 0.68, r.height() * 0.36);
  p.setBrush(QColor(170, 220, 190));
  p.drawRect(screen);
  p.setPen(Qt::NoPen);
  p.setBrush(kDeep);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      p.drawEllipse(QPointF(r.left() + r.width() * (0.27 + col * 0.23), r.top() + r.height() * (0.62 + row * 0.11)),
                    r.width() * 0.06, r.width() * 0.06);
  p.setPen(QPen(kDeep, 1.5));
  p.drawLine(QPointF(r.right() - r.width() * 0.2, r.top()), QPointF(r.right() - r.width() * 0.2, r.top() - r.height() * 0.18));
}

QImage Logo() {
  QImage img = NewImage(61, 50);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(QPointF(22, 16), 40);
  g.setColorAt(0, kBrand.lighter(140));
  g.setColorAt(1, kBrand.darker(120));
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(g);
  p.drawEllipse(QRectF(2, 2, 44, 44));
  QFont f("DejaVu Sans", 26, QFont::Black);
  f.setPixelSize(30);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(2, 0, 44, 46), Qt::AlignCenter, "Q");
  DrawEnvelope(p, QRectF(36, 28, 23, 17), QColor(255, 250, 230), kDeep);
  return img;
}

// The default banner: a strip of four 120 x 50 frames stacked from the top.
// Frame 0 is the banner at rest; frames 1 to 3 send one, two and three waves
// from the handset to the letter, played while a transfer runs.
constexpr int kBannerFrames = 4;

void DrawBannerFrame(QPainter& p, int frame) {
  QLinearGradient sky(0, 0, 0, 50);
  sky.setColorAt(0, QColor(255, 255, 255));
  sky.setColorAt(1, QColor(214, 222, 255));
  p.fillRect(QRectF(0, 0, 120, 50), sky);
  for (int i = 0; i < 3; ++i) {
    const bool lit = i < frame;
    p.setPen(QPen(lit ? kBrand : QColor(200, 206, 240), 2));
    p.drawArc(QRectF(18 - i * 6, 4 - i * 6, 24 + i * 12, 24 + i * 12), 20 * 16, 50 * 16);
  }
  DrawHandset(p, QRectF(8, 12, 20, 34));
  // The letter rises a little as the waves reach it.
  DrawEnvelope(p, QRectF(86, 6 - (frame == 3 ? 2 : 0), 28, 20), QColor(255, 250, 230), kBrand);
  QFont f("DejaVu Sans", 9, QFont::Bold);
  f.setPixelSize(13);
  p.setFont(f);
  p.setPen(kDeep);
  p.drawText(QRectF(34, 28, 84, 18), Qt::AlignLeft | Qt::AlignVCenter, "Quorvel");
  f.setPixelSize(8);
  f.setBold(false);
  p.setFont(f);
  p.setPen(kBrand);
  p.drawText(QRectF(34, 18, 50, 10), Qt::AlignLeft | Qt::AlignVCenter, "PHS mail");
  p.setPen(QPen(QColor(150, 160, 210), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, 119, 49));
}

QImage Banner() {
  return Frames(120, 50, 1, kBannerFrames, DrawBannerFrame);
}

// The session dialog's wait picture: two 32 x 32 frames side by side, the
// letter going out and coming in, flipped at each size update.
QImage Wait() {
  return Frames(32, 32, 2, 2, [](QPainter& p, int frame) {
    DrawEnvelope(p, QRectF(5, 12, 22, 16), QColor(255, 250, 230), kDeep);
    for (int arrow = 0; arrow < 2; ++arrow) {
      const bool lit = arrow == frame;
      const double x = arrow == 0 ? 10 : 22;
      const double tip = arrow == 0 ? 1 : 10;  // up: tip at the top; down: tip at the bottom
      const double tail = arrow == 0 ? 10 : 1;
      p.setPen(QPen(lit ? kBrand : QColor(190, 190, 205), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawLine(QPointF(x, tail), QPointF(x, tip));
      const double head = arrow == 0 ? 3 : -3;
      p.drawLine(QPointF(x - 3, tip + head), QPointF(x, tip));
      p.drawLine(QPointF(x + 3, tip + head), QPointF(x, tip));
    }
  });
}

QImage Tray() {
  QImage img = NewImage(32, 32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 1.5));
  p.setBrush(kBrand);
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);
  QFont f("DejaVu Sans", 16, QFont::Black);
  f.setPixelSize(22);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, -2, 24, 28), Qt::AlignCenter, "Q");
  DrawEnvelope(p, QRectF(15, 18, 15, 11), QColor(255, 250, 230), kDeep);
  return img;
}

QImage Option() {
  QImage img = NewImage(32, 32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath gear;
  const QPointF c(16, 16);
  for (int i = 0; i < 16; ++i) {
    const double a = i * M_PI / 8;
    const double r = (i % 2 == 0) ? 14.5 : 11;
    const double a2 = a + M_PI / 8;
    QPointF p1 = c + QPointF(std::cos(a) * r, std::sin(a) * r);
    QPointF p2 = c + QPointF(std::cos(a2) * r, std::sin(a2) * r);
    if (i == 0) gear.moveTo(p1); else gear.lineTo(p1);
    gear.lineTo(p2);
  }
  gear.closeSubpath();
  gear.addEllipse(c, 5, 5);
  gear.setFillRule(Qt::OddEvenFill);
  QLinearGradient g(0, 0, 32, 32);
  g.setColorAt(0, QColor(235, 238, 250));
  g.setColorAt(1, QColor(130, 138, 170));
  p.setPen(QPen(kDeep, 1.2));
  p.setBrush(g);
  p.drawPath(gear);
  return img;
}

// 16-bit mono PCM at 22050 Hz: tones of (frequency, milliseconds), each with
// a short attack and decay so that nothing clicks.
bool WriteTones(const QString& path, const std::vector<std::pair<double, int>>& tones) {
  const int rate = 22050;
  std::vector<int16_t> samples;
  for (auto [freq, ms] : tones) {
    const int n = rate * ms / 1000;
    for (int i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / rate;
      const double attack = std::min(1.0, i / (0.005 * rate));
      const double decay = std::exp(-3.0 * i / n);
      const double v = freq > 0 ? (std::sin(2 * M_PI * freq * t) + 0.3 * std::sin(4 * M_PI * freq * t)) / 1.3 : 0;
      samples.push_back(static_cast<int16_t>(v * attack * decay * 0.6 * 32767));
    }
  }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  f.write("RIFF"); u32(36 + data); f.write("WAVE");
  f.write("fmt "); u32(16); u16(1); u16(1); u32(rate); u32(rate * 2); u16(2); u16(16);
  f.write("data"); u32(data);
  f.write(reinterpret_cast<const char*>(samples.data()), data);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]) + "/";
  bool ok = Logo().save(dir + "logo.png") && Banner().save(dir + "banner.png") && Tray().save(dir + "tray.png") &&
            Option().save(dir + "option.png") && Wait().save(dir + "wait.png");
  // The default theme: the banner strip at half a second a frame.
  ok = ok && QDir(dir).mkpath("Theme") &&
       qv::SaveBannerIndex(QFile::encodeName(dir + "Theme/VeoQuorvel.qvt").toStdString(),
                           {"VeoQuorvel", "0.5", qv::cp932::FromUtf8("VeoQuorvel - PHSメール"), false, Banner()});
  ok = ok && WriteTones(dir + "pipo.wav", {{1320, 110}, {0, 30}, {990, 160}});
  ok = ok && WriteTones(dir + "ring.wav", {{880, 90}, {1109, 90}, {1319, 90}, {1760, 220}});
  return ok ? 0 : 1;
}

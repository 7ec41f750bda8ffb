#include "launcher/splash.h"

#include "controls/MultiButton.h"
#include "core/ui/QtText.h"
#include "platform/Paths.h"
#include "platform/Version.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <QVBoxLayout>
#include <utility>

namespace qv {
namespace {
QPointer<TSplashWindow>& Splash() {
  static QPointer<TSplashWindow> splash;
  return splash;
}
}  // namespace

std::string GetFileVersionValue(const std::filesystem::path& file, std::string_view name, std::string_view def) {
  auto value = ReadVersionValue(file, name);
  return value ? *value : std::string(def);
}

TSplashWindow::TSplashWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("SplashWindow");
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(255, 0, 0));  // red face
  setPalette(pal);
  setAutoFillBackground(true);
  // A raised bevel and a border in the red of the window round a white face.
  pnlFrame = new TMultiPanel(this);
  pnlFrame->setObjectName("pnlFrame");
  pnlFrame->SetBevelWidth(4);
  pnlFrame->SetBorderWidth(4);
  pnlFrame->SetFaceColor(clWhite);
  QPalette inner = pnlFrame->palette();
  inner.setColor(QPalette::WindowText, QColor(0, 0, 0));
  inner.setColor(QPalette::Base, QColor(255, 255, 255));
  pnlFrame->setPalette(inner);
  imgLogo = new QLabel(pnlFrame);
  imgLogo->setObjectName("imgLogo");
  imgLogo->setPixmap(QPixmap(QString::fromStdString(FromProgramDir("logo.png").string())));
  lblVersion = new QLabel(pnlFrame);
  lblVersion->setObjectName("lblVersion");
  QFont big = lblVersion->font();
  big.setBold(true);
  lblVersion->setFont(big);
  lblVersion->setText(ToQString("VeoQuorvel V" + GetFileVersionValue(ProgramPath(), "FileVersion", "2.0")));
  memVersion = new QPlainTextEdit(pnlFrame);
  memVersion->setObjectName("memVersion");
  memVersion->setReadOnly(true);
  memVersion->setFrameShape(QFrame::NoFrame);
  // Room for six lines, the module and five plug-ins, so no scroll bar.
  const int margin = static_cast<int>(memVersion->document()->documentMargin());
  memVersion->setFixedHeight(6 * memVersion->fontMetrics().lineSpacing() + 2 * margin + 2);
  memVersion->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memVersion->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memVersion->setAutoFillBackground(true);
  memVersion->viewport()->installEventFilter(this);
  imgLogo->installEventFilter(this);
  lblVersion->installEventFilter(this);

  auto* text = new QVBoxLayout;
  text->addWidget(lblVersion);
  text->addWidget(memVersion);
  auto* row = new QHBoxLayout(pnlFrame);
  row->setContentsMargins(8, 8, 8, 8);
  row->addLayout(text, 1);
  row->addWidget(imgLogo, 0, Qt::AlignRight | Qt::AlignTop);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(pnlFrame);
  resize(320, 130);
}

TSplashWindow* TSplashWindow::ShowSplash() {
  auto* splash = new TSplashWindow(nullptr);
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->CentreOnScreen();
  splash->show();
  splash->repaint();
  QCoreApplication::processEvents();
  // Activating any other window of the program ends the splash.
  splash->appLinks_.Connect(qApp, &QGuiApplication::focusWindowChanged, splash, [splash](QWindow* window) {
    if (window && window != splash->windowHandle()) splash->Deactivated();
  });
  Splash() = splash;
  return splash;
}

void TSplashWindow::CentreOnScreen() {
  // The layout sets the window's size only as it is shown: centred before
  // that, it would grow downwards from where it was put.
  if (QLayout* l = layout()) l->activate();
  resize(size().expandedTo(minimumSizeHint()));
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect place(QPoint(), size());
  place.moveCenter(screen->availableGeometry().center());
  move(place.topLeft());
}

void TSplashWindow::CloseSplash() {
  if (Splash()) Splash()->Deactivated();
}

void TSplashWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible()) Deactivated();
}

void TSplashWindow::Deactivated() {
  // Only the splash releases itself; the about box waits for its click.
  if (!isModal()) {
    hide();
    deleteLater();
  }
}

bool TSplashWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
    TrackClick(*static_cast<QMouseEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

void TSplashWindow::mousePressEvent(QMouseEvent* event) {
  QDialog::mousePressEvent(event);
  TrackClick(*event);
}

void TSplashWindow::mouseReleaseEvent(QMouseEvent* event) {
  QDialog::mouseReleaseEvent(event);
  TrackClick(*event);
}

void TSplashWindow::TrackClick(const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton) return;
  if (event.type() == QEvent::MouseButtonPress) {
    leftPressed_ = true;
  } else if (std::exchange(leftPressed_, false)) {
    ClickClose();
  }
}

void TSplashWindow::ClickClose() {
  if (isModal() && isVisible()) done(1);
}

}  // namespace qv

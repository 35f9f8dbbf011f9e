// The splash screen and its fades.
#include "shell/splash_screen.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

#include "shell/artwork.h"

namespace sorbel::shell {

SplashScreen::SplashScreen(QWidget* owner) : QSplashScreen(splashPicture()) {
  // A window of its own still, but owned (and freed) by the main window.
  setParent(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("splash"));
}

namespace {

// Platforms without window opacity (offscreen, minimal) show it plainly.
bool canFade() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

void SplashScreen::start() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  if (!canFade()) {
    show();
    QTimer::singleShot(kShownMs, this, &QWidget::close);
    return;
  }
  setWindowOpacity(0.0);
  show();
  auto* fadeIn = new QPropertyAnimation(this, "windowOpacity", this);
  fadeIn->setDuration(kFadeInMs);
  fadeIn->setStartValue(0.0);
  fadeIn->setEndValue(1.0);
  fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
  QTimer::singleShot(kShownMs, this, &SplashScreen::fadeOut);
}

void SplashScreen::fadeOut() {
  auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
  fade->setDuration(kFadeOutMs);
  fade->setStartValue(windowOpacity());
  fade->setEndValue(0.0);
  connect(fade, &QPropertyAnimation::finished, this, &QWidget::close);
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace sorbel::shell

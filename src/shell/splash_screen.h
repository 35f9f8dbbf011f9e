// The splash screen: shown for two seconds with a fade in and a fade out while the main window comes up.
#pragma once

#include <QSplashScreen>

namespace sorbel::shell {

class SplashScreen final : public QSplashScreen {
  Q_OBJECT

 public:
  static constexpr int kShownMs = 2000;
  static constexpr int kFadeInMs = 500;
  static constexpr int kFadeOutMs = 200;

  // Owned by the main window; deletes itself once faded out.
  explicit SplashScreen(QWidget* owner);
  void start();

 protected:
  // Unlike a plain QSplashScreen, a click does not dismiss it early.
  void mousePressEvent(QMouseEvent*) override {}

 private:
  void fadeOut();
};

}  // namespace sorbel::shell

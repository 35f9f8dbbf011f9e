// The About dialog: the title, the guide and mail links, a line about the program, and OK.
#pragma once

#include <QDialog>
#include <QPoint>

namespace sorbel::shell {

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  // Only OK closes it: Enter and Escape are swallowed.
  void reject() override {}

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // A press on the surface drags the dialog like its title bar.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPoint dragOffset_;
  bool dragging_ = false;
};

}  // namespace sorbel::shell

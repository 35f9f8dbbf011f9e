// Message boxes titled with the application's name.
#include "shell/message_boxes.h"

#include "views/views.h"

namespace sorbel::shell {

namespace {

int runBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton defaultButton) {
  QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), text, buttons, parent);
  // A path or an object name may hold "<" or "&".
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(defaultButton);
  return box.exec();
}

}  // namespace

void showInformation(QWidget* parent, const QString& text) {
  runBox(parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void showError(QWidget* parent, const QString& text) {
  runBox(parent, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool askYesNo(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  return runBox(parent, icon, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

}  // namespace sorbel::shell

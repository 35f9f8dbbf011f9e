// The bundled user guide in a window of the program's own, for desktops with no browser to hand it to.
#pragma once

#include <QTextBrowser>

namespace sorbel::shell {

class HelpWindow final : public QTextBrowser {
  Q_OBJECT

 public:
  explicit HelpWindow(const QString& guidePath, QWidget* parent = nullptr);
};

}  // namespace sorbel::shell

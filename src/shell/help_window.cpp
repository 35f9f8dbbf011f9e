// A read-only browser over the user guide, opened as a window apart from the main one.
#include "shell/help_window.h"

#include <QUrl>

#include "shell/artwork.h"

namespace sorbel::shell {

HelpWindow::HelpWindow(const QString& guidePath, QWidget* parent) : QTextBrowser(parent) {
  // A window of its own, not a pane: the user reads it beside the tables.
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(tr("Help for Velmont Sorbel"));
  setWindowIcon(applicationIcon());
  // Links out of the guide go to whatever the desktop offers for them.
  setOpenExternalLinks(true);
  setSource(QUrl::fromLocalFile(guidePath));
  resize(760, 640);
}

}  // namespace sorbel::shell

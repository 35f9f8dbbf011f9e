// The About dialog.
#include "shell/about_dialog.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "base/collation_table.h"
#include "views/views.h"
#include "shell/artwork.h"

namespace sorbel::shell {

namespace {

QLabel* link(const QString& url, const QString& text, const QString& tip, QWidget* parent) {
  auto* l = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped()), parent);
  l->setTextFormat(Qt::RichText);
  l->setOpenExternalLinks(true);
  l->setToolTip(tip);
  l->setAlignment(Qt::AlignHCenter);
  return l;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  const QString title = QString::fromUtf8(kApplicationTitle);
  setWindowTitle(title);
  auto* banner = new QLabel(this);
  banner->setPixmap(aboutBanner(440));
  auto* name = new QLabel(title, this);
  name->setTextFormat(Qt::PlainText);
  QFont f = name->font();
  f.setPointSizeF(f.pointSizeF() * 1.4);
  f.setWeight(QFont::DemiBold);
  name->setFont(f);
  name->setAlignment(Qt::AlignHCenter);
  const QUrl guide = QUrl::fromLocalFile(QString::fromStdString(programDataFile("user-guide.html").string()));
  auto* line = new QLabel(QStringLiteral("Reads SQL Server data files (.mdf, .ndf) without a server.\n"
                                         "Data files are only ever opened for reading."),
                          this);
  line->setAlignment(Qt::AlignHCenter);
  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  ok->setFixedWidth(90);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 12);
  layout->addWidget(banner);
  auto* body = new QVBoxLayout;
  body->setContentsMargins(20, 8, 20, 0);
  body->setSpacing(6);
  body->addWidget(name);
  body->addWidget(link(guide.toString(), QStringLiteral("Velmont Sorbel user guide"),
                       QStringLiteral("Company website"), this));
  body->addWidget(link(QStringLiteral("mailto:support@velmont-sorbel.example"),
                       QStringLiteral("support@velmont-sorbel.example"), QStringLiteral("Support email address"), this));
  body->addWidget(link(QStringLiteral("mailto:sales@velmont-sorbel.example"),
                       QStringLiteral("sales@velmont-sorbel.example"), QStringLiteral("Sales email address"), this));
  body->addSpacing(6);
  body->addWidget(line);
  body->addWidget(rule);
  body->addWidget(ok, 0, Qt::AlignHCenter);
  layout->addLayout(body);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void AboutDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(event);
}

void AboutDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - dragOffset_);
  QDialog::mouseMoveEvent(event);
}

}  // namespace sorbel::shell

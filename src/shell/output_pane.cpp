// The Output pane's log list and the caption bar.
#include "shell/output_pane.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QStringListModel>
#include <QStyle>

namespace sorbel::shell {

OutputList::OutputList(QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
  setModel(model_);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::PreventContextMenu);
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void OutputList::appendRow(const QString& text) {
  const int row = model_->rowCount();
  model_->insertRows(row, 1);
  model_->setData(model_->index(row), text);
  scrollToBottom();
}

void OutputList::setRowText(int row, const QString& text) {
  if (row >= 0 && row < model_->rowCount()) model_->setData(model_->index(row), text);
}

int OutputList::rowCount() const { return model_->rowCount(); }

QString OutputList::rowText(int row) const { return model_->index(row).data().toString(); }

CaptionBar::CaptionBar(QWidget* parent) : QFrame(parent), text_(new QLabel(this)) {
  setObjectName(QStringLiteral("captionBar"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  // Roles rather than copied colours, so the bar takes on every later look.
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(20, 20));
  text_->setForegroundRole(QPalette::ToolTipText);
  text_->setTextFormat(Qt::PlainText);
  QFont f = text_->font();
  f.setBold(true);
  text_->setFont(f);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 4, 8, 4);
  layout->addWidget(icon);
  layout->addWidget(text_, 1);
}

void CaptionBar::setCaption(const QString& text) { text_->setText(text); }

QString CaptionBar::caption() const { return text_->text(); }

}  // namespace sorbel::shell

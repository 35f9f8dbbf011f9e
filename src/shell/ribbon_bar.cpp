// The ribbon-like bar built from a tab bar and tool buttons.
#include "shell/ribbon_bar.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/artwork.h"

namespace sorbel::shell {

RibbonBar::RibbonBar(QMenu* applicationMenu, QWidget* parent)
    : QWidget(parent), appButton_(new QToolButton(this)), panel_(new QFrame(this)), groups_(new QHBoxLayout(panel_)) {
  setObjectName(QStringLiteral("ribbon"));
  appButton_->setObjectName(QStringLiteral("applicationButton"));
  appButton_->setIcon(applicationIcon());
  appButton_->setIconSize(QSize(24, 24));
  appButton_->setText(tr("Menu"));
  appButton_->setToolTip(tr("Export, snapshots, looks and the caption bar"));
  appButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  appButton_->setMenu(applicationMenu);
  appButton_->setPopupMode(QToolButton::InstantPopup);
  appButton_->setAutoRaise(true);

  auto* tabs = new QTabBar(this);
  tabs->addTab(tr("Sorbel"));
  tabs->setDrawBase(false);
  tabs->setExpanding(false);

  auto* top = new QHBoxLayout;
  top->setContentsMargins(4, 2, 4, 0);
  top->setSpacing(8);
  top->addWidget(appButton_);
  top->addWidget(tabs);
  top->addStretch(1);

  auto* frame = static_cast<QFrame*>(panel_);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setAutoFillBackground(true);
  frame->setBackgroundRole(QPalette::Base);
  groups_->setContentsMargins(6, 4, 6, 4);
  groups_->setSpacing(6);
  groups_->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top);
  layout->addWidget(panel_);
}

void RibbonBar::addGroup(const QList<QAction*>& actions) {
  const int at = groups_->count() - 1;  // before the stretch
  int inserted = 0;
  if (at > 0) {
    auto* line = new QFrame(panel_);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    groups_->insertWidget(at + inserted++, line);
  }
  for (QAction* action : actions) {
    auto* b = new QToolButton(panel_);
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIconSize(QSize(32, 32));
    b->setAutoRaise(true);
    b->setMinimumWidth(64);
    groups_->insertWidget(at + inserted++, b);
    buttons_.append(b);
  }
}

QToolButton* RibbonBar::buttonFor(const QAction* action) const {
  for (QToolButton* b : buttons_) {
    if (b->defaultAction() == action) return b;
  }
  return nullptr;
}

}  // namespace sorbel::shell

// The ribbon-like bar: the application button with its menu, the tab "Sorbel" and its groups of large buttons.
#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QHBoxLayout;
class QMenu;
class QToolButton;

namespace sorbel::shell {

class RibbonBar final : public QWidget {
  Q_OBJECT

 public:
  RibbonBar(QMenu* applicationMenu, QWidget* parent = nullptr);
  // A group of large buttons; each button's tooltip is its action's.
  void addGroup(const QList<QAction*>& actions);
  QToolButton* applicationButton() const { return appButton_; }
  QToolButton* buttonFor(const QAction* action) const;

 private:
  QToolButton* appButton_;
  QWidget* panel_;
  QHBoxLayout* groups_;
  QList<QToolButton*> buttons_;
};

}  // namespace sorbel::shell

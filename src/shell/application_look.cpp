// The application looks mapped onto Qt styles and palettes.
#include "shell/application_look.h"

#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace sorbel::shell {

namespace {

const char* const kLookKey = "ApplicationLook";

// A light palette tinted with one colour: window and buttons take the tint,
// the selection a deeper shade of it.
QPalette tinted(QColor window, QColor highlight) {
  QPalette p(window);
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::AlternateBase, window.lighter(108));
  p.setColor(QPalette::Highlight, highlight);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(255, 250, 220));
  p.setColor(QPalette::ToolTipText, Qt::black);
  p.setColor(QPalette::Text, Qt::black);
  p.setColor(QPalette::WindowText, Qt::black);
  p.setColor(QPalette::ButtonText, Qt::black);
  // Setting the text roles above overwrote the greyed colours the palette
  // derived for disabled widgets; a shade of the tint keeps them legible but
  // plainly inactive.
  const QColor greyed = window.darker(200);
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, greyed);
  }
  return p;
}

QPalette dark() {
  QPalette p;
  const QColor window(45, 47, 51);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, QColor(230, 230, 230));
  p.setColor(QPalette::Base, QColor(30, 31, 34));
  p.setColor(QPalette::AlternateBase, QColor(40, 42, 46));
  p.setColor(QPalette::Text, QColor(230, 230, 230));
  p.setColor(QPalette::Button, QColor(58, 60, 65));
  p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  p.setColor(QPalette::Highlight, QColor(80, 130, 200));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(60, 62, 66));
  p.setColor(QPalette::ToolTipText, QColor(240, 240, 240));
  p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
  return p;
}

// Fusion outlines check boxes and radio buttons in a shade darker than the
// window, which on the Black look's window is the colour of the box itself:
// the box vanishes and only a tick is left. Its outline is taken from a grey
// that shows on the dark fill instead.
class BlackLookStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  static constexpr QColor kOutlineSource{150, 152, 158};

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton) {
      // Fusion reads a check box's state from the button option, so keep its type.
      if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
        QStyleOptionButton framed(*button);
        framed.palette.setColor(QPalette::Window, kOutlineSource);
        QProxyStyle::drawPrimitive(element, &framed, painter, widget);
      } else {
        QStyleOption framed(*option);
        framed.palette.setColor(QPalette::Window, kOutlineSource);
        QProxyStyle::drawPrimitive(element, &framed, painter, widget);
      }
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }
};

}  // namespace

std::vector<LookChoice> lookChoices() {
  return {{210, QStringLiteral("Classic")},        {211, QStringLiteral("Plain Grey")},
          {212, QStringLiteral("System")},         {213, QStringLiteral("Soft Blue")},
          {214, QStringLiteral("Warm Sand")},      {215, QStringLiteral("Blue")},
          {216, QStringLiteral("Black")},          {217, QStringLiteral("Silver")},
          {218, QStringLiteral("Aqua")}};
}

void applyLook(int look) {
  const bool classic = look == 210 && QStyleFactory::keys().contains(QStringLiteral("Windows"));
  QStyle* style = QStyleFactory::create(classic ? QStringLiteral("Windows") : QStringLiteral("Fusion"));
  QApplication::setStyle(look == 216 ? new BlackLookStyle(style) : style);
  QPalette palette;
  switch (look) {
    case 210: palette = tinted(QColor(212, 208, 200), QColor(10, 36, 106)); break;
    case 211: palette = tinted(QColor(236, 236, 236), QColor(49, 106, 197)); break;
    case 212: palette = QApplication::style()->standardPalette(); break;
    case 213: palette = tinted(QColor(221, 234, 250), QColor(60, 110, 190)); break;
    case 214: palette = tinted(QColor(238, 232, 220), QColor(150, 110, 60)); break;
    case 216: palette = dark(); break;
    case 217: palette = tinted(QColor(228, 231, 236), QColor(110, 120, 140)); break;
    case 218: palette = tinted(QColor(220, 242, 242), QColor(30, 140, 150)); break;
    case 215: palette = tinted(QColor(222, 232, 246), QColor(51, 103, 178)); break;
    default: palette = QApplication::style()->standardPalette(); break;
  }
  QApplication::setPalette(palette);
}

int storedLook() { return QSettings().value(kLookKey, kDefaultLook).toInt(); }

void storeLook(int look) { QSettings().setValue(kLookKey, look); }

}  // namespace sorbel::shell

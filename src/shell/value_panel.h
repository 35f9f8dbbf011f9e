// The value panel beside the record list: the selected cell whole, as text, indented xml, a hex dump or a picture.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>

#include "views/record_panel_view.h"

class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;

namespace sorbel::shell {

// The bytes of a binary cell's text ("0x" and two hex digits a byte); empty
// when the text is no such thing.
QByteArray bytesOfHexText(const QString& text);
// Sixteen bytes a line: the offset, the bytes in hex, and the printable
// ones as characters. At most limit bytes, then a line that says how many
// more there are.
QString hexDump(const QByteArray& bytes, qsizetype limit);
// An xml text (a document or a fragment) with one element a line, indented
// by depth; the text itself when it does not parse.
QString indentedXml(const QString& xml);
// The picture a binary value holds (PNG, JPEG, GIF or BMP), also behind a
// header such as the OLE object header of pictures stored by Access and
// SQL Server's sample databases; a null image when it holds none.
QImage pictureOf(const QByteArray& bytes, QString* format = nullptr);

class ValuePanel final : public QWidget {
  Q_OBJECT

 public:
  explicit ValuePanel(QWidget* parent = nullptr);

  // Shows one cell: heading is its column's name, value its whole text.
  void showCell(const QString& heading, ListColumnKind kind, const QString& value, bool isNull);
  void clear();

  QLabel* title() const { return title_; }
  QPlainTextEdit* text() const { return text_; }
  // The picture shown, or a null image when the cell shows as text.
  const QImage& picture() const { return picture_; }
  bool showsPicture() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showText(const QString& text, bool wrap, bool monospace);
  void fitPicture();

  QLabel* title_;
  QStackedWidget* pages_;
  QPlainTextEdit* text_;
  QScrollArea* pictureArea_;
  QLabel* pictureLabel_;
  QImage picture_;
};

}  // namespace sorbel::shell

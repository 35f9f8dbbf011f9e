// The value panel: one cell of the record list shown whole, in the form its kind of value reads best.
#include "shell/value_panel.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <array>

namespace sorbel::shell {

namespace {

// More than this of a binary value is not dumped: a dump takes four and a
// half times the value's size, and nobody reads a megabyte of hex.
constexpr qsizetype kDumpLimit = 1 << 20;
constexpr int kDumpWidth = 16;

// How far into a value a picture is looked for: past an OLE object header
// (78 bytes for a bitmap stored by Access) and the like.
constexpr qsizetype kPictureSearch = 1024;

struct Signature {
  QByteArrayView magic;
  const char* format;
};

const std::array<Signature, 5> kSignatures{{
    {QByteArrayView("\x89PNG\r\n\x1a\n", 8), "png"},
    {QByteArrayView("\xFF\xD8\xFF", 3), "jpeg"},
    {QByteArrayView("GIF87a", 6), "gif"},
    {QByteArrayView("GIF89a", 6), "gif"},
    {QByteArrayView("BM", 2), "bmp"},
}};

int hexDigit(QChar c) {
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return c.unicode() - '0';
  if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) return c.unicode() - 'A' + 10;
  if (c >= QLatin1Char('a') && c <= QLatin1Char('f')) return c.unicode() - 'a' + 10;
  return -1;
}

QString kindName(ListColumnKind kind) {
  switch (kind) {
    case ListColumnKind::number: return QObject::tr("number");
    case ListColumnKind::dateTime: return QObject::tr("date and time");
    case ListColumnKind::binary: return QObject::tr("binary");
    case ListColumnKind::xml: return QObject::tr("xml");
    case ListColumnKind::text: return QObject::tr("text");
  }
  return {};
}

}  // namespace

QByteArray bytesOfHexText(const QString& text) {
  QStringView digits(text);
  if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) digits = digits.mid(2);
  if (digits.size() % 2 != 0) return {};
  QByteArray bytes;
  bytes.reserve(digits.size() / 2);
  for (qsizetype i = 0; i < digits.size(); i += 2) {
    const int high = hexDigit(digits[i]);
    const int low = hexDigit(digits[i + 1]);
    if (high < 0 || low < 0) return {};
    bytes.append(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

QString hexDump(const QByteArray& bytes, qsizetype limit) {
  const qsizetype shown = std::min(bytes.size(), limit);
  QString out;
  out.reserve((shown / kDumpWidth + 2) * 80);
  static const char kHex[] = "0123456789ABCDEF";
  for (qsizetype line = 0; line < shown; line += kDumpWidth) {
    out += QStringLiteral("%1  ").arg(line, 8, 16, QLatin1Char('0')).toUpper();
    QString printable;
    for (qsizetype i = line; i < line + kDumpWidth; ++i) {
      if (i < shown) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += QLatin1Char(kHex[b >> 4]);
        out += QLatin1Char(kHex[b & 15]);
        out += QLatin1Char(' ');
        printable += b >= 0x20 && b < 0x7F ? QLatin1Char(static_cast<char>(b)) : QLatin1Char('.');
      } else {
        out += QStringLiteral("   ");
      }
      if (i - line == kDumpWidth / 2 - 1) out += QLatin1Char(' ');
    }
    out += QLatin1Char(' ');
    out += printable;
    out += QLatin1Char('\n');
  }
  if (bytes.size() > shown)
    out += QObject::tr("... %1 more bytes not shown\n").arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(bytes.size() - shown));
  return out;
}

QString indentedXml(const QString& xml) {
  // A column of type xml may hold a fragment with several top elements or
  // bare text: it is read inside an element of its own, left out again.
  QXmlStreamReader reader(QStringLiteral("<sorbel-value>") + xml + QStringLiteral("</sorbel-value>"));
  QString out;
  QXmlStreamWriter writer(&out);
  writer.setAutoFormatting(true);
  writer.setAutoFormattingIndent(2);
  int depth = 0;
  while (!reader.atEnd()) {
    reader.readNext();
    switch (reader.tokenType()) {
      case QXmlStreamReader::StartElement:
        if (depth++ > 0) {
          writer.writeStartElement(reader.qualifiedName().toString());
          writer.writeAttributes(reader.attributes());
          for (const QXmlStreamNamespaceDeclaration& ns : reader.namespaceDeclarations())
            writer.writeNamespace(ns.namespaceUri().toString(), ns.prefix().toString());
        }
        break;
      case QXmlStreamReader::EndElement:
        if (--depth > 0) writer.writeEndElement();
        break;
      case QXmlStreamReader::Characters:
        if (!reader.isWhitespace()) writer.writeCharacters(reader.text().toString());
        break;
      case QXmlStreamReader::Comment:
        writer.writeComment(reader.text().toString());
        break;
      case QXmlStreamReader::ProcessingInstruction:
        writer.writeProcessingInstruction(reader.processingInstructionTarget().toString(),
                                          reader.processingInstructionData().toString());
        break;
      default:
        break;
    }
  }
  if (reader.hasError()) return xml;
  return out.trimmed();
}

QImage pictureOf(const QByteArray& bytes, QString* format) {
  const qsizetype searched = std::min(bytes.size(), kPictureSearch);
  for (qsizetype at = 0; at < searched; ++at) {
    for (const Signature& s : kSignatures) {
      if (QByteArrayView(bytes).sliced(at).startsWith(s.magic)) {
        QImage image;
        // "BM" is common in any bytes: only a picture that decodes counts.
        if (image.loadFromData(QByteArrayView(bytes).sliced(at), s.format)) {
          if (format) *format = QString::fromLatin1(s.format).toUpper();
          return image;
        }
      }
    }
  }
  return {};
}

ValuePanel::ValuePanel(QWidget* parent)
    : QWidget(parent),
      title_(new QLabel(this)),
      pages_(new QStackedWidget(this)),
      text_(new QPlainTextEdit(this)),
      pictureArea_(new QScrollArea(this)),
      pictureLabel_(new QLabel(this)) {
  title_->setTextFormat(Qt::PlainText);
  title_->setContentsMargins(6, 4, 6, 4);
  title_->setWordWrap(true);
  text_->setReadOnly(true);
  pictureLabel_->setAlignment(Qt::AlignCenter);
  pictureArea_->setWidget(pictureLabel_);
  pictureArea_->setWidgetResizable(true);
  pictureArea_->setAlignment(Qt::AlignCenter);
  pages_->addWidget(text_);
  pages_->addWidget(pictureArea_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(title_);
  layout->addWidget(pages_, 1);
  clear();
}

void ValuePanel::clear() {
  title_->setText(tr("Select a cell to see its whole value."));
  picture_ = {};
  pictureLabel_->clear();
  showText(QString(), true, false);
}

bool ValuePanel::showsPicture() const { return pages_->currentWidget() == pictureArea_; }

void ValuePanel::showText(const QString& text, bool wrap, bool monospace) {
  text_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  text_->setFont(monospace ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : font());
  text_->setPlainText(text);
  pages_->setCurrentWidget(text_);
}

void ValuePanel::showCell(const QString& heading, ListColumnKind kind, const QString& value, bool isNull) {
  picture_ = {};
  pictureLabel_->clear();
  // Grouped as the size label groups: "10,746".
  const QLocale c(QLocale::English, QLocale::UnitedStates);
  if (isNull) {
    title_->setText(tr("%1 (%2): NULL").arg(heading, kindName(kind)));
    showText(QString(), true, false);
    text_->setPlaceholderText(QStringLiteral("NULL"));
    return;
  }
  text_->setPlaceholderText(QString());
  if (kind == ListColumnKind::binary) {
    const QByteArray bytes = bytesOfHexText(value);
    QString format;
    picture_ = pictureOf(bytes, &format);
    if (!picture_.isNull()) {
      title_->setText(tr("%1 (%2): %3 picture, %4\u00A0\u00D7\u00A0%5, in %6 bytes")
                          .arg(heading, kindName(kind), format, c.toString(picture_.width()),
                               c.toString(picture_.height()), c.toString(bytes.size())));
      pages_->setCurrentWidget(pictureArea_);
      fitPicture();
      return;
    }
    if (!bytes.isEmpty() || value.isEmpty()) {
      title_->setText(tr("%1 (%2): %3 bytes").arg(heading, kindName(kind), c.toString(bytes.size())));
      showText(hexDump(bytes, kDumpLimit), false, true);
      return;
    }
  }
  title_->setText(tr("%1 (%2): %3 characters").arg(heading, kindName(kind), c.toString(value.size())));
  if (kind == ListColumnKind::xml) showText(indentedXml(value), false, true);
  else showText(value, true, false);
}

void ValuePanel::fitPicture() {
  if (picture_.isNull()) return;
  // Drawn as stored, smaller only when the panel cannot hold it.
  const QSize room = pictureArea_->viewport()->size() - QSize(8, 8);
  QPixmap pixmap = QPixmap::fromImage(picture_);
  if (pixmap.width() > room.width() || pixmap.height() > room.height())
    pixmap = pixmap.scaled(room.expandedTo(QSize(16, 16)), Qt::KeepAspectRatio, Qt::SmoothTransformation);
  pictureLabel_->setPixmap(pixmap);
}

void ValuePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitPicture();
}

}  // namespace sorbel::shell

// The record panel: a table view over the list model beside the value panel, the script text and the paging row.
#include "shell/record_panel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/value_panel.h"

namespace sorbel::shell {

RecordPanel::RecordPanel(QWidget* parent)
    : QWidget(parent),
      model_(new RecordListModel(this)),
      list_(new QTableView(this)),
      script_(new QPlainTextEdit(this)),
      pageLabel_(new QLabel(this)),
      sizeLabel_(new QLabel(this)),
      previous_(new QPushButton(style()->standardIcon(QStyle::SP_ArrowBack), tr("Previous Records"), this)),
      next_(new QPushButton(style()->standardIcon(QStyle::SP_ArrowForward), tr("Next Records"), this)),
      listFooter_(new QWidget(this)),
      first_(new QPushButton(style()->standardIcon(QStyle::SP_MediaSkipBackward), QString(), this)),
      last_(new QPushButton(style()->standardIcon(QStyle::SP_MediaSkipForward), QString(), this)),
      pageBox_(new QLineEdit(this)),
      searchBox_(new QLineEdit(this)),
      value_(new ValuePanel(this)),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      copyCell_(new QAction(tr("Copy Cell"), this)),
      copyRows_(new QAction(tr("Copy Rows"), this)),
      copyWithHeadings_(new QAction(tr("Copy with Headings"), this)),
      nullAsEmpty_(new QAction(tr("Copy NULL as Empty"), this)),
      headingsOnCopy_(new QAction(tr("Headings with Every Copy"), this)) {
  list_->setModel(model_);
  // Cells, not rows: a cell is what the value panel shows and Ctrl+C copies;
  // a click on a row number still takes the whole row.
  list_->setSelectionBehavior(QAbstractItemView::SelectItems);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // Nothing is sorted until a heading is clicked; a second click reverses.
  list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  list_->horizontalHeader()->setSortIndicatorShown(true);
  list_->setSortingEnabled(true);
  list_->setShowGrid(true);
  list_->setWordWrap(false);
  list_->setAlternatingRowColors(true);
  list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  list_->horizontalHeader()->setDefaultSectionSize(140);
  list_->horizontalHeader()->setHighlightSections(false);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

  script_->setReadOnly(true);
  script_->setLineWrapMode(QPlainTextEdit::NoWrap);
  script_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  pageLabel_->setTextFormat(Qt::PlainText);
  sizeLabel_->setTextFormat(Qt::PlainText);
  sizeLabel_->setEnabled(false);  // drawn quieter than the page label beside it
  previous_->setToolTip(tr("Previous Records"));
  next_->setToolTip(tr("Next Records"));
  next_->setLayoutDirection(Qt::RightToLeft);  // the arrow after the text

  auto* footer = new QHBoxLayout(listFooter_);
  footer->setContentsMargins(8, 4, 8, 4);
  footer->addWidget(pageLabel_);
  footer->addSpacing(16);
  footer->addWidget(sizeLabel_);
  footer->addStretch(1);
  footer->addWidget(first_);
  footer->addWidget(previous_);
  footer->addWidget(pageBox_);
  footer->addWidget(next_);
  footer->addWidget(last_);
  first_->setToolTip(tr("First page"));
  last_->setToolTip(tr("Last page"));
  pageBox_->setPlaceholderText(tr("Page"));
  pageBox_->setToolTip(tr("Type a page number and press Enter"));
  pageBox_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[1-9][0-9]{0,8}")), pageBox_));
  pageBox_->setMaximumWidth(pageBox_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
  searchBox_->setPlaceholderText(tr("Search the whole table (Enter)"));
  searchBox_->setClearButtonEnabled(true);
  connect(first_, &QPushButton::clicked, this, &RecordPanel::firstRequested);
  connect(last_, &QPushButton::clicked, this, &RecordPanel::lastRequested);
  connect(pageBox_, &QLineEdit::returnPressed, this, [this] {
    if (pageBox_->text().isEmpty()) return;
    Q_EMIT pageRequested(pageBox_->text().toLongLong());
    pageBox_->clear();
  });
  connect(searchBox_, &QLineEdit::returnPressed, this, [this] { Q_EMIT searchRequested(searchBox_->text()); });

  splitter_->addWidget(list_);
  splitter_->addWidget(value_);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 1);
  splitter_->setChildrenCollapsible(true);
  splitter_->setSizes({900, 300});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(searchBox_);
  layout->addWidget(splitter_, 1);
  layout->addWidget(script_, 1);
  layout->addWidget(listFooter_);

  auto* copy = new QShortcut(QKeySequence::Copy, list_, nullptr, nullptr, Qt::WidgetShortcut);
  connect(copy, &QShortcut::activated, this, &RecordPanel::copySelectedCells);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  nullAsEmpty_->setCheckable(true);
  headingsOnCopy_->setCheckable(true);
  list_->addActions({copyCell_, copyRows_, copyWithHeadings_, separator, nullAsEmpty_, headingsOnCopy_});
  connect(nullAsEmpty_, &QAction::toggled, this, [this](bool on) {
    if (options_) options_->copyNullAsEmpty = on;
  });
  connect(headingsOnCopy_, &QAction::toggled, this, [this](bool on) {
    if (options_) options_->copyWithHeadings = on;
  });
  connect(copyCell_, &QAction::triggered, this, &RecordPanel::copyCurrentCell);
  connect(copyRows_, &QAction::triggered, this, &RecordPanel::copySelectedRows);
  connect(copyWithHeadings_, &QAction::triggered, this, &RecordPanel::copySelectedCellsWithHeadings);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, &RecordPanel::showCurrentValue);
  // A new page or another table: the cell shown is gone.
  connect(model_, &QAbstractItemModel::modelReset, value_, &ValuePanel::clear);
  connect(previous_, &QPushButton::clicked, this, &RecordPanel::previousRequested);
  connect(next_, &QPushButton::clicked, this, &RecordPanel::nextRequested);

  setPreviousEnabled(false);
  setNextEnabled(false);
  showList(false);
}

void RecordPanel::setColumns(const std::vector<std::string>& headings) {
  model_->setColumns(headings);
  // Another table starts unsorted.
  list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void RecordPanel::setPage(RecordListModel::Page page) {
  model_->setPage(std::move(page));
  // Widths from the first rows only: a page of 1000 rows must not stall the UI.
  list_->horizontalHeader()->setResizeContentsPrecision(50);
  list_->resizeColumnsToContents();
  for (int c = 0; c < model_->columnCount(); ++c) {
    list_->setColumnWidth(c, std::clamp(list_->columnWidth(c), 60, 360));
  }
}

void RecordPanel::setScriptText(const QString& text) { script_->setPlainText(text); }

void RecordPanel::setPageLabel(const QString& text) { pageLabel_->setText(text); }

void RecordPanel::setSizeText(const QString& text) { sizeLabel_->setText(text); }

void RecordPanel::showList(bool list) {
  splitter_->setVisible(list);
  list_->setVisible(list);
  listFooter_->setVisible(list);
  searchBox_->setVisible(list);
  script_->setVisible(!list);
}

// First goes where Previous leads and Last where Next does.
void RecordPanel::setPreviousEnabled(bool enabled) {
  previous_->setEnabled(enabled);
  first_->setEnabled(enabled);
}

void RecordPanel::setNextEnabled(bool enabled) {
  next_->setEnabled(enabled);
  last_->setEnabled(enabled);
}

void RecordPanel::useListOptions(ListOptions* options) {
  options_ = options;
  nullAsEmpty_->setChecked(options && options->copyNullAsEmpty);
  headingsOnCopy_->setChecked(options && options->copyWithHeadings);
}

QString RecordPanel::nullText() const {
  return options_ && options_->copyNullAsEmpty ? QString() : QStringLiteral("NULL");
}

void RecordPanel::copySelectedCells() {
  const QModelIndexList cells = list_->selectionModel()->selectedIndexes();
  if (cells.isEmpty()) return;
  QApplication::clipboard()->setText(model_->cellsAsText(cells, options_ && options_->copyWithHeadings, nullText()));
}

void RecordPanel::copySelectedCellsWithHeadings() {
  const QModelIndexList cells = list_->selectionModel()->selectedIndexes();
  if (cells.isEmpty()) return;
  QApplication::clipboard()->setText(model_->cellsAsText(cells, true, nullText()));
}

void RecordPanel::copyCurrentCell() {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid()) return;
  QApplication::clipboard()->setText(model_->isNull(current.row(), current.column()) ? nullText()
                                                                                    : cellValue(current));
}

void RecordPanel::copySelectedRows() {
  // Every row with a selected cell, whole.
  QList<int> rows;
  for (const QModelIndex& i : list_->selectionModel()->selectedIndexes())
    if (!rows.contains(i.row())) rows.append(i.row());
  std::sort(rows.begin(), rows.end());
  if (rows.isEmpty()) return;
  QModelIndexList cells;
  for (const int r : rows)
    for (int c = 0; c < model_->columnCount(); ++c) cells.append(model_->index(r, c));
  QApplication::clipboard()->setText(model_->cellsAsText(cells, options_ && options_->copyWithHeadings, nullText()));
}

QString RecordPanel::cellValue(const QModelIndex& index) const {
  const QString shown = model_->text(index.row(), index.column());
  if (!model_->isShortened(index.row(), index.column()) || !wholeValue_) return shown;
  const std::optional<std::string> whole = wholeValue_(model_->pageRow(index.row()), index.column());
  return whole ? QString::fromStdString(*whole) : shown;
}

void RecordPanel::showCurrentValue() {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid()) {
    value_->clear();
    return;
  }
  const int column = current.column();
  value_->showCell(model_->heading(column), model_->kind(column), cellValue(current),
                   model_->isNull(current.row(), column));
}

}  // namespace sorbel::shell

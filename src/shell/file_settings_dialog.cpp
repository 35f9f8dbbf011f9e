// The file-settings dialog and its validation.
#include "shell/file_settings_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "views/views.h"
#include "shell/message_boxes.h"
#include "shell/recent_files.h"

namespace sorbel::shell {

namespace {

QString withSeparator(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

QPushButton* browseButton(QWidget* parent) {
  auto* b = new QPushButton(QStringLiteral("..."), parent);
  b->setAutoDefault(false);
  b->setFixedWidth(36);
  return b;
}

}  // namespace

QString defaultLogFolder() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
  return QDir::homePath();
}

ScanOptions defaultScanOptions(const QString& dataFile) {
  ScanOptions o;
  o.dataFilePath = dataFile.toStdString();
  o.recoveryMode = 1;
  o.collationAutoDetect = true;
  o.logFolder = withSeparator(defaultLogFolder()).toStdString();
  return o;
}

FileSettingsDialog::FileSettingsDialog(ScanOptions& options, const CollationTable& collations, QWidget* parent)
    : QDialog(parent),
      options_(options),
      dataFile_(new QLineEdit(this)),
      browseData_(browseButton(this)),
      mode_(new QComboBox(this)),
      sql2000_(new QCheckBox(QStringLiteral("Is SQL 2000"), this)),
      deleted_(new QCheckBox(QStringLiteral("Show deleted records"), this)),
      advancedDeleted_(new QCheckBox(QStringLiteral("Show Advanced Deleted records"), this)),
      autoDetect_(new QRadioButton(QStringLiteral("Auto detect"), this)),
      manual_(new QRadioButton(QStringLiteral("Manual"), this)),
      collation_(new QComboBox(this)),
      logFolder_(new QLineEdit(this)),
      browseLog_(browseButton(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("Select Corrupted MDF file"));
  setModal(true);

  // The path boxes are filled only by their "..." buttons.
  dataFile_->setReadOnly(true);
  logFolder_->setReadOnly(true);
  dataFile_->setMinimumWidth(420);

  mode_->addItems({QStringLiteral("Standard Mode"), QStringLiteral("Advanced Mode")});
  mode_->setCurrentIndex(0);

  // Sorted by name; each item carries the table's own key, sign extension
  // and all, so every listed collation can be chosen.
  std::vector<std::pair<QString, std::int64_t>> sorted;
  for (const auto& [id, entry] : collations) sorted.emplace_back(QString::fromStdString(entry.name), id);
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [name, id] : sorted) collation_->addItem(name, QVariant::fromValue<qlonglong>(id));
  collation_->setCurrentIndex(collation_->count() > 0 ? 0 : -1);
  collation_->setMinimumContentsLength(28);
  collation_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  auto* radios = new QButtonGroup(this);
  radios->addButton(autoDetect_);
  radios->addButton(manual_);
  autoDetect_->setChecked(true);
  collation_->setEnabled(false);
  connect(autoDetect_, &QRadioButton::toggled, this, &FileSettingsDialog::collationModeChanged);

  logFolder_->setText(defaultLogFolder());

  // The data file, the mode and the deleted-row options.
  auto* fileBox = new QGroupBox(this);
  auto* fileGrid = new QGridLayout(fileBox);
  fileGrid->addWidget(new QLabel(QStringLiteral("Select MDF File Path:"), fileBox), 0, 0);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(dataFile_, 1);
  pathRow->addWidget(browseData_);
  fileGrid->addLayout(pathRow, 0, 1);
  fileGrid->addWidget(new QLabel(QStringLiteral("Select Recovery Mode:"), fileBox), 1, 0);
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(mode_);
  modeRow->addSpacing(12);
  modeRow->addWidget(sql2000_);
  modeRow->addStretch(1);
  fileGrid->addLayout(modeRow, 1, 1);
  auto* deletedRow = new QHBoxLayout;
  deletedRow->addWidget(deleted_);
  deletedRow->addSpacing(12);
  deletedRow->addWidget(advancedDeleted_);
  deletedRow->addStretch(1);
  fileGrid->addLayout(deletedRow, 2, 1);
  fileGrid->setColumnStretch(1, 1);

  auto* collationBox = new QGroupBox(QStringLiteral("Collation Option:"), this);
  auto* collationRow = new QHBoxLayout(collationBox);
  collationRow->addWidget(autoDetect_);
  collationRow->addSpacing(12);
  collationRow->addWidget(manual_);
  collationRow->addSpacing(12);
  collationRow->addWidget(collation_);
  collationRow->addStretch(1);

  auto* logBox = new QGroupBox(QStringLiteral("Select Log file path:"), this);
  auto* logRow = new QHBoxLayout(logBox);
  logRow->addWidget(logFolder_, 1);
  logRow->addWidget(browseLog_);

  auto* buttons = new QDialogButtonBox(Qt::Horizontal, this);
  ok_->setDefault(true);
  buttons->addButton(ok_, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &FileSettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FileSettingsDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fileBox);
  layout->addWidget(collationBox);
  layout->addWidget(logBox);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(browseData_, &QPushButton::clicked, this, &FileSettingsDialog::browseDataFile);
  connect(browseLog_, &QPushButton::clicked, this, &FileSettingsDialog::browseLogFolder);
}

void FileSettingsDialog::setDataFilePath(const QString& path) { dataFile_->setText(QFileInfo(path).absoluteFilePath()); }

void FileSettingsDialog::collationModeChanged() { collation_->setEnabled(manual_->isChecked()); }

void FileSettingsDialog::browseDataFile() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QFileDialog dialog(this, QStringLiteral("Select MDF file"));
  QApplication::restoreOverrideCursor();
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("mdf"));
  dialog.setNameFilters({QStringLiteral(".mdf Files (*.mdf *.MDF)"), QStringLiteral("All Files (*)")});
  startInLastFolder(dialog);
  if (!dataFile_->text().isEmpty()) dialog.selectFile(dataFile_->text());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString chosen = dialog.selectedFiles().constFirst();
  rememberFolder(chosen);
  if (!QFileInfo(chosen).isFile()) {
    showInformation(this, QStringLiteral("Please select valid mdf file."));
    return;
  }
  dataFile_->setText(QFileInfo(chosen).absoluteFilePath());
}

void FileSettingsDialog::browseLogFolder() {
  const QString chosen =
      QFileDialog::getExistingDirectory(this, QStringLiteral("Select location to save Log file(s)."), logFolder_->text())
          .trimmed();
  if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) logFolder_->setText(chosen);
}

void FileSettingsDialog::accept() {
  const QString path = dataFile_->text();
  if (!path.toUpper().contains(QStringLiteral(".MDF")) || !QFileInfo::exists(path)) {
    showInformation(this, QStringLiteral("Please select valid SQL file path to continue the recovery process."));
    return;
  }
  const QString log = logFolder_->text();
  if (log.isEmpty() || !QFileInfo(log).isDir()) {
    showInformation(this, QStringLiteral("Please select valid Log file path to continue the recovery process."));
    return;
  }
  options_.logFolder = withSeparator(log).toStdString();
  options_.dataFilePath = path.toStdString();
  options_.recoveryMode = mode_->currentIndex() == 1 ? 2 : 1;
  options_.isSql2000 = sql2000_->isChecked();
  options_.showDeletedRecords = deleted_->isChecked();
  options_.showAdvancedDeletedRecords = advancedDeleted_->isChecked();
  // The collation choice counts only once the dialog is accepted.
  options_.collationAutoDetect = autoDetect_->isChecked();
  if (manual_->isChecked() && collation_->currentIndex() >= 0) {
    options_.manualCollationId = collation_->currentData().toLongLong();
  }
  QDialog::accept();
}

}  // namespace sorbel::shell

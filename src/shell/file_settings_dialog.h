// The file-settings dialog "Select Corrupted MDF file": the data file, mode, deleted-row options, collation and log folder of a scan.
#pragma once

#include <QDialog>

#include "base/app_state.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace sorbel::shell {

// The folder a new log goes to by default: the user's desktop folder, or the
// home folder where there is none.
QString defaultLogFolder();

// The options the dialog gives without being touched, for a file chosen on
// the command line.
ScanOptions defaultScanOptions(const QString& dataFile);

class FileSettingsDialog final : public QDialog {
  Q_OBJECT

 public:
  // On OK, options receives every choice; Cancel leaves it as it was.
  FileSettingsDialog(ScanOptions& options, const CollationTable& collations, QWidget* parent = nullptr);

  void setDataFilePath(const QString& path);

  QLineEdit* dataFileEdit() const { return dataFile_; }
  QPushButton* dataFileBrowse() const { return browseData_; }
  QComboBox* modeList() const { return mode_; }
  QCheckBox* sql2000Box() const { return sql2000_; }
  QCheckBox* deletedBox() const { return deleted_; }
  QCheckBox* advancedDeletedBox() const { return advancedDeleted_; }
  QRadioButton* autoDetectButton() const { return autoDetect_; }
  QRadioButton* manualButton() const { return manual_; }
  QComboBox* collationList() const { return collation_; }
  QLineEdit* logFolderEdit() const { return logFolder_; }
  QPushButton* logFolderBrowse() const { return browseLog_; }
  QPushButton* okButton() const { return ok_; }

  void accept() override;

 private:
  void browseDataFile();
  void browseLogFolder();
  void collationModeChanged();

  ScanOptions& options_;
  QLineEdit* dataFile_;
  QPushButton* browseData_;
  QComboBox* mode_;
  QCheckBox* sql2000_;
  QCheckBox* deleted_;
  QCheckBox* advancedDeleted_;
  QRadioButton* autoDetect_;
  QRadioButton* manual_;
  QComboBox* collation_;
  QLineEdit* logFolder_;
  QPushButton* browseLog_;
  QPushButton* ok_;
};

}  // namespace sorbel::shell

// Message boxes titled with the application's name, their texts drawn as plain text.
#pragma once

#include <QMessageBox>
#include <QString>

namespace sorbel::shell {

void showInformation(QWidget* parent, const QString& text);
void showError(QWidget* parent, const QString& text);
// Yes/No; true for Yes.
bool askYesNo(QWidget* parent, const QString& text, QMessageBox::Icon icon);

}  // namespace sorbel::shell

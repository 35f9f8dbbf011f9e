// Answers the modal boxes and dialogs a test's commands open, the way a user would: by clicking their buttons.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

namespace sorbel::shell::testing {

// Polls the top-level windows; every box it answers is recorded. Questions
// are answered Yes unless a No was queued; file dialogs take the queued
// paths in order; any other dialog goes to the queued handler.
class DialogAnswerer final : public QObject {
 public:
  struct Box {
    QMessageBox::Icon icon;
    QString text;
  };

  DialogAnswerer() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &DialogAnswerer::poll);
    timer_.start();
  }

  void answerNextQuestion(bool yes) { answers_.push_back(yes); }
  void chooseNextFile(const QString& path) { files_.push_back(path); }
  void handleNextDialog(std::function<void(QDialog*)> handler) { dialogs_.push_back(std::move(handler)); }

  QList<Box> boxes() const { return boxes_; }
  QStringList texts() const {
    QStringList out;
    for (const Box& b : boxes_) out.append(b.text);
    return out;
  }
  void clear() { boxes_.clear(); }
  // A hook run on each box before it is answered (a screenshot, say).
  std::function<void(QMessageBox*)> onBox;

 private:
  void poll() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || w->property(kAnswered).toBool()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        w->setProperty(kAnswered, true);
        answerBox(box);
      } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
        if (files_.empty()) continue;
        w->setProperty(kAnswered, true);
        const QString path = files_.front();
        files_.pop_front();
        QTimer::singleShot(0, files, [files, path] {
          // Typed into the name box, as a user would; a full path is taken as is.
          if (auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(path);
          static_cast<QDialog*>(files)->accept();  // public on QDialog
        });
      } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
        if (dialogs_.empty() || !dialog->isModal()) continue;
        w->setProperty(kAnswered, true);
        auto handler = std::move(dialogs_.front());
        dialogs_.pop_front();
        QPointer<QDialog> guard(dialog);
        QTimer::singleShot(0, dialog, [guard, handler] {
          if (guard) handler(guard);
        });
      }
    }
  }

  void answerBox(QMessageBox* box) {
    boxes_.append({box->icon(), box->text()});
    if (onBox) onBox(box);
    QAbstractButton* button = box->button(QMessageBox::Ok);
    if (box->button(QMessageBox::Yes)) {
      const bool yes = answers_.empty() ? true : answers_.front();
      if (!answers_.empty()) answers_.pop_front();
      button = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
    }
    QPointer<QAbstractButton> guard(button);
    QTimer::singleShot(0, box, [guard] {
      if (guard) guard->click();
    });
  }

  // Marks a window once answered; a new window at a freed one's address
  // starts unmarked.
  static constexpr const char* kAnswered = "answeredByTest";
  QTimer timer_;
  QList<Box> boxes_;
  std::deque<bool> answers_;
  std::deque<QString> files_;
  std::deque<std::function<void(QDialog*)>> dialogs_;
};

}  // namespace sorbel::shell::testing

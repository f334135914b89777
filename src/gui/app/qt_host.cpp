#include "gui/app/qt_host.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>

#include "gui/view/packet_window.h"

namespace pakscope {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

MsgResult DefaultAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::OkCancel: return MsgResult::Cancel;
    default: return MsgResult::No;
  }
}

}  // namespace

void TQtHost::attach(QWidget* owner, QProgressBar* gauge, QAction* gaugeItem, QAction* stop,
                     QLabel* status0, QLabel* status1) {
  owner_ = owner;
  gauge_ = gauge;
  gaugeItem_ = gaugeItem;
  stopAction_ = stop;
  status_[0] = status0;
  status_[1] = status1;
}

void TQtHost::showProgress(bool visible) {
  if (gaugeItem_) gaugeItem_->setVisible(visible);
  if (stopAction_) {
    stopAction_->setVisible(visible);
    stopAction_->setEnabled(visible);
  }
}

void TQtHost::setProgress(int position) {
  position_ = std::clamp(position, 0, 100);
  if (gauge_) gauge_->setValue(position_);
}

int TQtHost::progress() const {
  return position_;
}

void TQtHost::setStatus(int panel, std::string_view text) {
  if (panel == 0 || panel == 1)
    if (QLabel* label = status_[panel]) label->setText(Q(text));
}

void TQtHost::processEvents() {
  QApplication::processEvents();
}

MsgResult TQtHost::messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                              MsgIcon icon) {
  if (scripted) {
    messages.push_back({std::string(text), std::string(caption), buttons, icon});
    if (answers.empty()) return DefaultAnswer(buttons);
    const MsgResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QMessageBox box(owner_);
  box.setWindowTitle(Q(caption));
  box.setText(Q(text));
  switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return MsgResult::Ok;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return DefaultAnswer(buttons);  // closed with the title bar's box
  }
}

std::optional<std::string> TQtHost::inputQuery(std::string_view caption, std::string_view prompt,
                                               std::string_view defaultText) {
  if (scripted) {
    prompts.emplace_back(caption);
    if (promptAnswers.empty()) return std::string(defaultText);
    auto answer = promptAnswers.front();
    promptAnswers.pop_front();
    return answer;
  }
  bool ok = false;
  const QString text =
      QInputDialog::getText(owner_, Q(caption), Q(prompt), QLineEdit::Normal, Q(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

void TQtHost::refreshFilledWindow(const PacketList&, uint32_t longest) {
  if (filled_) filled_->RefreshGrid(longest);
}

}  // namespace pakscope

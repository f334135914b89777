#pragma once

#include <QPointer>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "packets/host.h"
#include "gui/view/packet_window.h"

class QAction;
class QLabel;
class QProgressBar;
class QWidget;

namespace pakscope {

// The host of the engines in the program: the main window's gauge and STOP
// button, its two status panels, message boxes and prompts. In scripted mode
// message boxes and prompts are answered from queues and recorded instead of
// shown, so that tests can drive the program without a person.
class TQtHost : public CHost {
 public:
  struct Message {
    std::string text, caption;
    MsgButtons buttons;
    MsgIcon icon;
  };

  TQtHost() = default;
  // The widgets it drives; any may be null.
  void attach(QWidget* owner, QProgressBar* gauge, QAction* gaugeItem, QAction* stop,
              QLabel* status0, QLabel* status1);
  // The packet window being filled; refreshFilledWindow resizes it.
  void setFilledWindow(TMDIChild* window) { filled_ = window; }
  TMDIChild* filledWindow() const { return filled_; }

  void showProgress(bool visible) override;
  void setProgress(int position) override;
  int progress() const override;
  void setStatus(int panel, std::string_view text) override;
  bool stopRequested() const override { return stop_; }
  void clearStop() override { stop_ = false; }
  void requestStop() { stop_ = true; }
  void processEvents() override;
  MsgResult messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                       MsgIcon icon) override;
  std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                        std::string_view defaultText) override;
  void refreshFilledWindow(const PacketList& list, uint32_t longest) override;

  // Scripted mode for tests.
  bool scripted = false;
  std::deque<MsgResult> answers;                         // Ok/No/Cancel when empty
  std::deque<std::optional<std::string>> promptAnswers;  // the default when empty
  std::vector<Message> messages;
  std::vector<std::string> prompts;

 private:
  QPointer<QWidget> owner_;
  QPointer<QProgressBar> gauge_;
  QPointer<QAction> gaugeItem_;
  QPointer<QAction> stopAction_;
  QPointer<QLabel> status_[2];
  QPointer<TMDIChild> filled_;
  bool stop_ = false;
  int position_ = 0;
};

}  // namespace pakscope

#pragma once

#include <QWidget>
#include <functional>

#include "packets/host.h"
#include "packets/packet.h"
#include "protocols/pr_analizer.h"

class QProgressBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

namespace pakscope {

// The right-hand panel of a packet window: runs the window's protocol analyser
// over its list, shows the tree of protocol sequences with packet counts, and
// marks or clears the packets of a tree node.
class TProtocolPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kShownWidth = 300;

  TProtocolPanel(TPrAnalizer& analyser, PacketList& packets, CHost& host,
                 std::function<int()> currentColour, std::function<void()> repaint,
                 QWidget* parent = nullptr);

  // Width 300 when shown, 0 when hidden.
  void setShown(bool shown);
  // True from the analyse click until the run has returned, also after a stop
  // click: until then the analyser still holds the list.
  bool analysing() const noexcept { return inRun_; }

  QProgressBar* gauge() const noexcept { return gauge_; }
  QToolButton* analyseButton() const noexcept { return analyse_; }
  QToolButton* stopButton() const noexcept { return stop_; }
  QTreeWidget* tree() const noexcept { return tree_; }
  QAction* markAction() const noexcept { return mark_; }
  QAction* clearAction() const noexcept { return clear_; }

  // The commands of the buttons and the tree's context menu.
  void AnalizeProtocols();
  void StopAnalize();
  void SetColorPacketsWithProtocol();
  void ResetColorPacketsWithProtocol();

 signals:
  void analysisFinished();

 private:
  void markSelected(uint8_t colour);
  void showRunning(bool running);

  TPrAnalizer& analyser_;
  PacketList& packets_;
  CHost& host_;
  std::function<int()> currentColour_;
  std::function<void()> repaint_;
  bool running_ = false;  // cleared by the stop button; the analyser polls it
  bool inRun_ = false;    // AnalizePackets is on the stack

  QProgressBar* gauge_;
  QToolButton* analyse_;
  QToolButton* stop_;
  QTreeWidget* tree_;
  QAction* mark_;
  QAction* clear_;
};

}  // namespace pakscope

#include "gui/protocols/protocol_panel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "packets/memory_budget.h"
#include "protocols/protocol_tree.h"

namespace pakscope {

namespace {

void AddItems(QTreeWidgetItem* parent, const std::vector<ProtocolTreeItem>& items) {
  for (const ProtocolTreeItem& item : items) {
    auto* node = new QTreeWidgetItem(parent, {QString::fromStdString(item.label)});
    AddItems(node, item.children);
  }
}

// Index of the item among its siblings at every level from the top down.
std::vector<size_t> SiblingIndices(QTreeWidgetItem* item) {
  std::vector<size_t> indices;
  for (; item != nullptr; item = item->parent()) {
    const int index = item->parent() ? item->parent()->indexOfChild(item)
                                     : item->treeWidget()->indexOfTopLevelItem(item);
    indices.insert(indices.begin(), static_cast<size_t>(index));
  }
  return indices;
}

constexpr std::string_view kAnalysisOperation = "Анализ протоколов";
constexpr uint64_t kLayerBlockBytes = 32;

}  // namespace

TProtocolPanel::TProtocolPanel(TPrAnalizer& analyser, PacketList& packets, CHost& host,
                               std::function<int()> currentColour, std::function<void()> repaint,
                               QWidget* parent)
    : QWidget(parent),
      analyser_(analyser),
      packets_(packets),
      host_(host),
      currentColour_(std::move(currentColour)),
      repaint_(std::move(repaint)) {
  setObjectName(QStringLiteral("ProtocolPanel"));
  setProperty("helpChapter", QStringLiteral("07-protocol-panel.md"));  // F1 opens this chapter
  auto* top = new QWidget(this);
  top->setFixedHeight(41);
  gauge_ = new QProgressBar(top);
  gauge_->setObjectName(QStringLiteral("ProtoAnalProgress"));
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  gauge_->setGeometry(8, 8, 257, 25);
  analyse_ = new QToolButton(top);
  analyse_->setObjectName(QStringLiteral("AnalizeProtocols"));
  analyse_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  analyse_->setToolTip(QStringLiteral("Анализ протоколов"));
  analyse_->setGeometry(272, 8, 25, 25);
  stop_ = new QToolButton(top);
  stop_->setObjectName(QStringLiteral("StopAnalize"));
  stop_->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
  stop_->setToolTip(QStringLiteral("Остановить анализ"));
  stop_->setGeometry(272, 8, 25, 25);
  stop_->hide();
  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("ProtocolTree"));
  tree_->setHeaderHidden(true);
  tree_->setIndentation(19);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  mark_ = new QAction(QStringLiteral("Выделить пакеты данного протокола"), this);
  mark_->setObjectName(QStringLiteral("SetColorPacketsWithProtocol"));
  clear_ = new QAction(QStringLiteral("Сбросить выделение"), this);
  clear_->setObjectName(QStringLiteral("ResetColorPacketsWithProtocol"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(top);
  layout->addWidget(tree_);

  connect(analyse_, &QToolButton::clicked, this, &TProtocolPanel::AnalizeProtocols);
  connect(stop_, &QToolButton::clicked, this, &TProtocolPanel::StopAnalize);
  connect(mark_, &QAction::triggered, this, &TProtocolPanel::SetColorPacketsWithProtocol);
  connect(clear_, &QAction::triggered, this, &TProtocolPanel::ResetColorPacketsWithProtocol);
  connect(tree_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    // The right click selects the item under the mouse before the menu opens.
    if (QTreeWidgetItem* item = tree_->itemAt(pos)) tree_->setCurrentItem(item);
    QMenu menu(this);
    menu.addAction(mark_);
    menu.addAction(clear_);
    menu.exec(tree_->viewport()->mapToGlobal(pos));
  });

  analyser_.threads = UsableCores();
  analyser_.progressUser = this;
  analyser_.progress = [this](int percent, void*) {
    gauge_->setValue(percent);
    analyser_.running = running_;
    QApplication::processEvents();
  };
  setShown(false);
}

void TProtocolPanel::setShown(bool shown) {
  setFixedWidth(shown ? kShownWidth : 0);
}

void TProtocolPanel::showRunning(bool running) {
  analyse_->setVisible(!running);
  stop_->setVisible(running);
}

void TProtocolPanel::AnalizeProtocols() {
  // A click after a stop but before the stopped run has returned is ignored
  // as well: a second run inside the first would reset its state.
  if (running_ || inRun_) return;
  // Each packet gets a block of layer records.
  if (!CheckMemoryFor(host_, packets_.size() * kLayerBlockBytes, kAnalysisOperation)) return;
  running_ = true;
  inRun_ = true;
  showRunning(true);
  tree_->clear();
  bool outOfMemory = false;
  try {
    if (analyser_.AnalizePackets(packets_) == 0) {
      tree_->clear();
      const std::vector<ProtocolTreeItem> items = FillProtocolTree(analyser_);
      for (const ProtocolTreeItem& item : items) {
        auto* top = new QTreeWidgetItem(tree_, {QString::fromStdString(item.label)});
        AddItems(top, item.children);
      }
      tree_->expandAll();
    }
  } catch (const std::bad_alloc&) {
    // A half-done run is no result: its layers go, and the tree stays empty.
    outOfMemory = true;
    for (PACKET& packet : packets_) packet.clearLayers();
    tree_->clear();
  }
  showRunning(false);
  running_ = false;
  inRun_ = false;
  if (outOfMemory) ReportOutOfMemory(host_, kAnalysisOperation);
  emit analysisFinished();
}

void TProtocolPanel::StopAnalize() {
  showRunning(false);
  running_ = false;
}

void TProtocolPanel::markSelected(uint8_t colour) {
  QTreeWidgetItem* item = tree_->currentItem();
  if (item == nullptr) return;
  const std::vector<size_t> indices = SiblingIndices(item);
  const std::vector<uint16_t> path = ProtocolPath(analyser_.tree(), indices);
  if (path.empty()) return;
  MarkPacketsWithProtocol(packets_, path, colour);
  repaint_();
}

void TProtocolPanel::SetColorPacketsWithProtocol() {
  markSelected(static_cast<uint8_t>(currentColour_()));
}

void TProtocolPanel::ResetColorPacketsWithProtocol() {
  markSelected(0);
}

}  // namespace pakscope

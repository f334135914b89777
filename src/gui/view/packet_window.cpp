#include "gui/view/packet_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <climits>

#include "gui/packets/save_dialog.h"
#include "gui/protocols/protocol_panel.h"
#include "gui/view/draw_grid.h"
#include "hdlc/bit_transforms.h"
#include "packets/capture_time.h"
#include "packets/memory_budget.h"
#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
#include "packets/palette.h"
#include "view/cell_copy.h"
#include "view/list_operations.h"

namespace pakscope {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A tool bar picture: a short label, or a colour swatch.
QIcon LabelIcon(const QString& label) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QFont font = painter.font();
  font.setPixelSize(label.size() > 2 ? 9 : 12);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 96));
  painter.drawText(pixmap.rect(), Qt::AlignCenter, label);
  return QIcon(pixmap);
}

QIcon SwatchIcon(const PaletteColour& c) {
  QPixmap pixmap(16, 16);
  pixmap.fill(QColor(c.r, c.g, c.b));
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, 15, 15);
  return QIcon(pixmap);
}

const char* const kColourNames[kPaletteSize] = {"Белый",        "Красный", "Жёлтый",  "Салатовый",
                                                "Зелёный",      "Синий",   "Голубой", "Фиолетовый",
                                                "Светло-серый", "Серый"};

constexpr int kPanelWidths[8] = {150, 150, 350, 250, 28, 28, 25, 340};

// Operation names of the out-of-memory message for commands without a caption.
constexpr std::string_view kBreakOperation = "Разбиение пакета";
constexpr std::string_view kConcatOperation = "Объединение пакетов";
constexpr std::string_view kBitsOperation = "Биты->Байты/Байты->Биты";
constexpr std::string_view kAppendOperation = "Подгрузить файл";
constexpr std::string_view kSaveOperation = "Сохранить пакеты этого цвета";

}  // namespace

TIndicator::TIndicator(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
  setFixedWidth(28);
}

void TIndicator::setOn(bool on) {
  on_ = on;
  update();
}

void TIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QFont font = painter.font();
  font.setPointSize(8);
  if (on_) {
    painter.setPen(palette().color(QPalette::Button));
    painter.setBrush(QColor(0, 128, 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
  } else {
    painter.setFont(font);
    painter.setPen(QColor(128, 128, 128));
  }
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, text_);
}

TMDIChild::TMDIChild(CHost& host, TFileDialogs& dialogs, const QFont& font,
                     std::span<const std::filesystem::path> protocolFolders, QWidget* parent)
    : QMainWindow(parent),
      host_(host),
      dialogs_(dialogs),
      analyser_(std::make_unique<TPrAnalizer>(protocolFolders, host)) {
  grid_ = new TDrawGrid;
  grid_->setObjectName(QStringLiteral("Grid"));
  panel_ = new TProtocolPanel(
      *analyser_, packets_, host_, [this] { return currentColour_; }, [this] { repaintGrid(); });
  auto* centre = new QWidget;
  auto* layout = new QHBoxLayout(centre);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(grid_, 1);
  layout->addWidget(panel_);
  setCentralWidget(centre);
  setProperty("helpChapter", QStringLiteral("04-packet-window.md"));  // F1 opens this chapter

  view_.grid = grid_;
  view_.markedColumns = &marks_;
  grid_->setDrawCell([this](QPainter& p, int column, int row, const QRect& r, GridCellState s) {
    view_.DrawCell(p, column, row, r, s);
  });
  grid_->setCounts(1, 1);
  grid_->setColumnWidth(0, kCaptionColumnWidth);
  grid_->setDefaultSizes(8, 17);
  view_.ApplyFont(font);
  view_.SetViewMode(ViewMode::Dec);

  buildActions();
  buildToolBar();
  buildPopup();
  buildStatusBar();
  panel_->setShown(view_.protocolPanelVisible);

  connect(grid_, &TDrawGrid::focusChanged, this, &TMDIChild::onFocusChanged);
  connect(grid_, &TDrawGrid::cellPressed, this, &TMDIChild::onCellPressed);
  connect(grid_, &TDrawGrid::cellDragged, this, &TMDIChild::onCellDragged);
  connect(grid_, &TDrawGrid::cellReleased, this, &TMDIChild::onCellReleased);
  connect(grid_, &TDrawGrid::rowMoved, this, &TMDIChild::onRowMoved);
  connect(grid_, &TDrawGrid::cellSelected, this, &TMDIChild::onCellSelected);
  connect(grid_, &TDrawGrid::keyPressedInGrid, this, [this](Qt::KeyboardModifiers mods) {
    if (mods & Qt::ShiftModifier) shiftAnchorRow_ = currentRow_ - 1;
  });
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popup_->exec(grid_->mapToGlobal(pos)); });
  setFocusProxy(grid_);
  UpdateListStatus();
}

TMDIChild::~TMDIChild() {
  // The panel, whose function the analyser's progress callback is, goes with
  // the child widgets after the members; nothing may call into it meanwhile.
  analyser_->progress = nullptr;
}

QAction* TMDIChild::makeAction(const QString& name, const QString& caption, const QString& hint,
                               QList<QKeySequence> keys, void (TMDIChild::*slot)(),
                               const QString& operation) {
  auto* action = new QAction(caption.isEmpty() ? hint : caption, this);
  action->setObjectName(name);
  if (!hint.isEmpty()) {
    action->setToolTip(hint);
    action->setStatusTip(hint);
  }
  action->setShortcuts(keys);
  action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(action);
  const QString named = !operation.isEmpty() ? operation : caption.isEmpty() ? hint : caption;
  connect(action, &QAction::triggered, this, [this, named, slot] { runCommand(named, slot); });
  return action;
}

void TMDIChild::runCommand(const QString& operation, void (TMDIChild::*slot)()) {
  const bool wasLoaded = loaded_;
  try {
    (this->*slot)();
  } catch (const std::bad_alloc&) {
    // What the command built is gone with the unwinding; the operations touch
    // the list only once they hold everything they need, so it is as before.
    loaded_ = wasLoaded;
    view_.busy = false;
    try {
      action(QStringLiteral("Bits2BytesAction"))->setChecked(expanded_);
      RefreshGrid(MaxPacketLength(packets_));
      ReportOutOfMemory(host_, operation.toStdString());
    } catch (const std::bad_alloc&) {
      // Not even the message can be had; the list is still whole.
    }
  }
}

void TMDIChild::buildActions() {
  using K = QKeySequence;
  auto* modes = new QActionGroup(this);
  auto mode = [&](const char* name, const char* caption, const char* hint, K key,
                  void (TMDIChild::*slot)()) {
    QAction* a = makeAction(Q(name), Q(caption), Q(hint), {key}, slot);
    a->setCheckable(true);
    modes->addAction(a);
  };
  mode("ViewDec", "Десятичный", "Десятичное представление", K(Qt::SHIFT | Qt::Key_F1),
       &TMDIChild::ViewDec);
  mode("ViewHex", "Шестнадцатеричный", "Шестнадцатеричное представление", K(Qt::SHIFT | Qt::Key_F2),
       &TMDIChild::ViewHex);
  mode("ViewBin", "Двоичный", "Двоичное представление", K(Qt::SHIFT | Qt::Key_F3),
       &TMDIChild::ViewBin);
  mode("ViewTxt", "Текстовый", "Символьное представление", K(Qt::SHIFT | Qt::Key_F4),
       &TMDIChild::ViewTxt);
  mode("ViewBit", "Битовый", "Битовое представление", K(Qt::SHIFT | Qt::Key_F5),
       &TMDIChild::ViewBit);
  action(QStringLiteral("ViewDec"))->setChecked(true);

  makeAction("ViewProtocols", {}, Q("Отобразить дерево протоколов"), {K(Qt::SHIFT | Qt::Key_F6)},
             &TMDIChild::ViewProtocols)
      ->setCheckable(true);
  makeAction("Inverse", {}, Q("Инверсия сигнала"), {K(Qt::ALT | Qt::Key_I)}, &TMDIChild::Inverse);
  makeAction("Reverse", {}, Q("Реверс байт"), {K(Qt::ALT | Qt::Key_R)}, &TMDIChild::Reverse);
  makeAction("ZoomXY", {}, Q("Увеличить"), {K(Qt::CTRL | Qt::Key_A)}, &TMDIChild::ZoomXY);
  makeAction("UnZoomXY", {}, Q("Уменьшить"), {K(Qt::CTRL | Qt::Key_Z)}, &TMDIChild::UnZoomXY);
  makeAction("ZoomX", "ZoomX", {}, {K(Qt::SHIFT | Qt::Key_A)}, &TMDIChild::ZoomX);
  makeAction("UnZoomX", "UnZoomX", {}, {K(Qt::SHIFT | Qt::Key_Z)}, &TMDIChild::UnZoomX);
  makeAction("MaxMin", "MaxMin", {}, {K(Qt::Key_F5)}, &TMDIChild::MaxMin);
  makeAction("SelectAll", {}, Q("Отметить все пакеты"),
             {K(Qt::SHIFT | Qt::CTRL | Qt::Key_A), K(Qt::Key_Asterisk)}, &TMDIChild::SelectAll);
  makeAction("DeSelectAll", {}, Q("Сбросить выделение всех пакетов"),
             {K(Qt::SHIFT | Qt::CTRL | Qt::Key_Z)}, &TMDIChild::DeSelectAll);
  makeAction("BreakButton", "BreakButton", {}, {K(Qt::CTRL | Qt::Key_Insert)},
             &TMDIChild::BreakButton, Q(kBreakOperation));
  makeAction("ConcatButton", "ConcatButton", {}, {K(Qt::CTRL | Qt::Key_Delete)},
             &TMDIChild::ConcatButton, Q(kConcatOperation));
  makeAction("Bits2BytesAction", Q("Биты->Байты/Байты->Биты"),
             Q("Преобразование бит в отдельные байты и наоборот"), {K(Qt::CTRL | Qt::Key_B)},
             &TMDIChild::Bits2Bytes)
      ->setCheckable(true);
  makeAction("ConcatNewQPK", Q("Подгрузить файл"), Q("Подгрузить файл в конец текущего"), {},
             &TMDIChild::ConcatNewQPK);

  makeAction("SelectByByteEqual", Q("Отобрать пакеты с этим байтом"), {}, {},
             &TMDIChild::SelectByByteEqual);
  makeAction("DeleteByByteEqual", Q("Выкинуть пакеты с этим байтом"), {}, {},
             &TMDIChild::DeleteByByteEqual);
  makeAction("SelectByLength", Q("Отобрать пакеты этой длины"), {}, {}, &TMDIChild::SelectByLength);
  makeAction("DeleteByLength", Q("Выкинуть пакеты этой длины"), {}, {}, &TMDIChild::DeleteByLength);
  makeAction("SelectByColor", Q("Отобрать пакеты этого цвета"), {}, {}, &TMDIChild::SelectByColor);
  makeAction("DeleteByColor", Q("Выкинуть пакеты этого цвета"), {}, {}, &TMDIChild::DeleteByColor);
  makeAction("SaveByColor", Q("Сохранить пакеты этого цвета"), {}, {}, &TMDIChild::SaveByColor);
  makeAction("SetColor", Q("Выделить пакет"), {}, {K(Qt::Key_M)}, &TMDIChild::SetColor);
  makeAction("SetColorByByte", Q("Выделить пакеты с этим байтом"), {}, {},
             &TMDIChild::SetColorByByte);
  // Ctrl+M belongs to two commands. The key press runs Action2, which clears
  // the current packet's mark first and so reaches ResetColor too; the menu
  // item shows the key but runs ResetColor alone.
  QAction* reset = makeAction("ResetColor", Q("Сбросить выделение пакета"), {},
                              {K(Qt::CTRL | Qt::Key_M)}, &TMDIChild::ResetColor);
  reset->setShortcutContext(Qt::WidgetShortcut);
  removeAction(reset);

  makeAction("Stat", Q("Статистика"), Q("Статистика"), {K(Qt::Key_F2)}, &TMDIChild::Stat);
  makeAction("SelectByMask", Q("Автоподкраска пакетов"), Q("Автоподкраска пакетов"),
             {K(Qt::Key_F3)}, &TMDIChild::SelectByMask);
  makeAction("Utilz", Q("Обработка пакетов"), Q("Обработка пакетов"), {K(Qt::Key_F4)},
             &TMDIChild::Utilz);
  makeAction("Find", {}, Q("Поиск"), {K(Qt::Key_F7), K(Qt::CTRL | Qt::Key_F)}, &TMDIChild::Find);
  makeAction("FindNext", "FindNext", {}, {K(Qt::Key_F6)}, &TMDIChild::FindNext);
  makeAction("FindPrev", "FindPrev", {}, {}, &TMDIChild::FindPrev);
  makeAction("Action2", "Action2", {}, {K(Qt::CTRL | Qt::Key_M)}, &TMDIChild::Action2);

  colours_ = new QActionGroup(this);
  colours_->setExclusive(true);
  for (uint8_t i = 0; i < kPaletteSize; ++i) {
    auto* a = new QAction(SwatchIcon(kPalette[i]), Q(kColourNames[i]), this);
    a->setObjectName(Q(kPalette[i].button));
    a->setCheckable(true);
    colours_->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] { selectColour(i); });
  }
  colours_->actions().at(1)->setChecked(true);
}

void TMDIChild::buildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Packets"));
  toolBar_->setObjectName(QStringLiteral("ChildToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(20, 20));
  const std::pair<const char*, const char*> labelled[] = {
      {"ViewDec", "10"},  {"ViewHex", "16"},  {"ViewBin", "01"},      {"ViewTxt", "Aa"},
      {"ViewBit", "▮▯"},  {nullptr, nullptr}, {"ViewProtocols", "▤"}, {nullptr, nullptr},
      {"Inverse", "INV"}, {"Reverse", "REV"}, {nullptr, nullptr},     {"ZoomXY", "+"},
      {"UnZoomXY", "−"},  {nullptr, nullptr}};
  for (const auto& [name, label] : labelled) {
    if (name == nullptr) {
      toolBar_->addSeparator();
      continue;
    }
    QAction* a = action(Q(name));
    a->setIcon(LabelIcon(Q(label)));
    toolBar_->addAction(a);
  }
  toolBar_->addActions(colours_->actions());
  toolBar_->addSeparator();
  action(QStringLiteral("SelectAll"))->setIcon(LabelIcon(QStringLiteral("✓*")));
  action(QStringLiteral("DeSelectAll"))->setIcon(LabelIcon(QStringLiteral("✗*")));
  toolBar_->addAction(action(QStringLiteral("SelectAll")));
  toolBar_->addAction(action(QStringLiteral("DeSelectAll")));
  const std::pair<const char*, const char*> tools[] = {
      {"Stat", "Σ"}, {"SelectByMask", "▦"}, {"Utilz", "✂"}, {"Find", "?"}};
  for (const auto& [name, label] : tools) {
    QAction* a = action(Q(name));
    a->setIcon(LabelIcon(Q(label)));
    toolBar_->addAction(a);
  }
}

void TMDIChild::buildPopup() {
  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("GridPopup"));
  const char* const items[] = {"SelectByByteEqual",
                               "DeleteByByteEqual",
                               nullptr,
                               "SelectByLength",
                               "DeleteByLength",
                               nullptr,
                               "SelectByColor",
                               "DeleteByColor",
                               "SaveByColor",
                               nullptr,
                               "SetColor",
                               "SetColorByByte",
                               "ResetColor",
                               nullptr};
  for (const char* name : items) {
    if (name == nullptr)
      popup_->addSeparator();
    else
      popup_->addAction(action(Q(name)));
  }
  QMenu* more = popup_->addMenu(Q("Дополнительно"));
  more->setObjectName(QStringLiteral("More"));
  more->addAction(action(QStringLiteral("Bits2BytesAction")));
  more->addAction(action(QStringLiteral("ConcatNewQPK")));
}

void TMDIChild::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  // One row of fixed-width panels inside a plain strip that no layout manages:
  // a narrow window cuts the row off at its right edge, and no layout can
  // squeeze the panels over each other.
  auto* strip = new QWidget(bar);
  auto* row = new QWidget(strip);
  QFont small = row->font();
  small.setPointSize(8);
  row->setFont(small);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  inv_ = new TIndicator(QStringLiteral("INV"), row);
  rev_ = new TIndicator(QStringLiteral("REV"), row);
  for (int i = 0; i < 8; ++i) {
    if (i == 4) {
      layout->addWidget(inv_);
    } else if (i == 5) {
      layout->addWidget(rev_);
    } else {
      panels_[i] = new QLabel(row);
      panels_[i]->setFixedWidth(kPanelWidths[i]);
      panels_[i]->setFrameShape(QFrame::StyledPanel);
      panels_[i]->setFrameShadow(QFrame::Sunken);
      layout->addWidget(panels_[i]);
    }
  }
  layout->activate();
  row->move(0, 0);
  strip->setMinimumSize(0, row->sizeHint().height());
  bar->addWidget(strip, 1);
  bar->setMinimumWidth(0);
}

QAction* TMDIChild::action(const QString& name) const {
  return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

QString TMDIChild::statusText(int panel) const {
  if (panel == 4) return inv_->text();
  if (panel == 5) return rev_->text();
  return panel >= 0 && panel < 8 ? panels_[panel]->text() : QString();
}

TIndicator* TMDIChild::indicator(int panel) const {
  return panel == 4 ? inv_ : panel == 5 ? rev_ : nullptr;
}

bool TMDIChild::busyWithList() const {
  // A list still being filled, or walked by the analyser, must not be replaced.
  return !loaded_ || toolRuns_ > 0 || panel_->analysing();
}

void TMDIChild::repaintGrid() {
  grid_->viewport()->update();
}

void TMDIChild::RefreshGrid(uint32_t longest) {
  const int columns = static_cast<int>(std::min<uint64_t>(longest, INT_MAX - 1)) + 1;
  const int rows = static_cast<int>(std::min<uint64_t>(packets_.size(), INT_MAX - 1)) + 1;
  grid_->setCounts(columns, rows);
  grid_->setFixed(columns > 1 ? 1 : 0, rows > 1 ? 1 : 0);
  view_.packets = &packets_;
  view_.ResetCellSize();
  view_.SetViewMode(view_.mode);
  UpdateListStatus();
  const GridCell focus = grid_->focusCell();
  onFocusChanged(focus.column, focus.row);
  repaintGrid();
}

void TMDIChild::ReplacePacketList(PacketList&& list) {
  view_.busy = true;
  packets_ = std::move(list);
  RefreshGrid(MaxPacketLength(packets_));
  view_.busy = false;
  repaintGrid();
}

bool TMDIChild::RewritePacketList(const std::function<bool(PacketList&)>& rewrite) {
  view_.busy = true;
  struct Release {
    bool& busy;
    ~Release() { busy = false; }
  } release{view_.busy};
  if (!rewrite(packets_)) return false;
  RefreshGrid(MaxPacketLength(packets_));
  return true;
}

void TMDIChild::UpdateListStatus() {
  panels_[0]->setText(Q(CountStatus(packets_)));
  panels_[1]->setText(Q(LengthStatus(packets_)));
  nanosecondTimes_ = HoldsNanoseconds(packets_);
  updateTimeStatus();
}

void TMDIChild::updateTimeStatus() {
  panels_[7]->setText(
      rowIsPacket()
          ? Q(PacketTimeStatus(packets_, static_cast<size_t>(currentRow_) - 1, nanosecondTimes_))
          : QString());
}

void TMDIChild::ApplyFont(const QFont& font) {
  view_.ApplyFont(font);
  repaintGrid();
}

void TMDIChild::SetViewMode(ViewMode mode) {
  view_.SetViewMode(mode);
  static const char* const names[] = {"ViewDec", "ViewHex", "ViewBin", "ViewTxt", "ViewBit"};
  action(Q(names[static_cast<int>(mode) - 1]))->setChecked(true);
  repaintGrid();
}

void TMDIChild::ShowScrollBars(bool shown) {
  const auto policy = shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  grid_->setVerticalScrollBarPolicy(policy);
  grid_->setHorizontalScrollBarPolicy(policy);
  repaintGrid();
}

void TMDIChild::ShowToolBar(bool shown) {
  toolBar_->setVisible(shown);
}

void TMDIChild::ShowStatusBar(bool shown) {
  statusBar()->setVisible(shown);
}

QString TMDIChild::SelectedCellsText() const {
  // Row 0 and column 0 are the fixed header and captions: grid row r is packet
  // r - 1, grid column c is byte c - 1.
  const GridRange range = grid_->selection();
  return QString::fromStdString(CellsAsHexText(packets_, range.firstRow - 1, range.lastRow - 1,
                                               range.firstColumn - 1, range.lastColumn - 1));
}

bool TMDIChild::event(QEvent* event) {
  // Hints belong in the main window's status bar: passed on, they leave the
  // seven panels of this window in view.
  if (event->type() == QEvent::StatusTip) {
    event->ignore();
    return false;
  }
  return QMainWindow::event(event);
}

void TMDIChild::closeEvent(QCloseEvent* event) {
  if (busyWithList()) {
    event->ignore();
    return;
  }
  view_.busy = true;
  event->accept();
  emit windowClosed();
}

void TMDIChild::focusInEvent(QFocusEvent* event) {
  QMainWindow::focusInEvent(event);
  grid_->setFocus();
}

void TMDIChild::updateCellStatus() {
  panels_[2]->setText(Q(CellStatus(currentRow_, currentColumn_)));
  if (cursorOnByte())
    panels_[3]->setText(Q(ByteStatus(packets_[static_cast<size_t>(currentRow_) - 1]
                                         .bytes()[static_cast<size_t>(currentColumn_) - 1])));
  else
    panels_[3]->clear();
  updateTimeStatus();
}

void TMDIChild::onFocusChanged(int column, int row) {
  currentColumn_ = column;
  currentRow_ = row;
  updateCellStatus();
}

bool TMDIChild::rowIsPacket() const noexcept {
  return currentRow_ >= 1 && static_cast<size_t>(currentRow_) <= packets_.size();
}

bool TMDIChild::cursorOnByte() const noexcept {
  return rowIsPacket() && currentColumn_ >= 1 &&
         static_cast<uint32_t>(currentColumn_) <=
             packets_[static_cast<size_t>(currentRow_) - 1].length;
}

void TMDIChild::onCellPressed(int column, int row, Qt::MouseButton, Qt::KeyboardModifiers mods) {
  marks_.cancelRange();
  const bool ctrl = mods & Qt::ControlModifier;
  const bool shift = mods & Qt::ShiftModifier;
  const bool header = grid_->layout().fixedRows() > 0 && row <= 0;
  if (ctrl && !shift && header && column >= 1) {
    marks_.toggle(column);
    repaintGrid();
  } else if (shift && !ctrl) {
    if (header && column >= 1) {
      marks_.beginRange(column);
    } else if (row >= 1 && !packets_.empty()) {
      const int last = static_cast<int>(packets_.size()) - 1;
      const int anchor = std::clamp(shiftAnchorRow_, 0, last);
      const int target = std::clamp(row - 1, 0, last);
      for (int i = std::min(anchor, target); i <= std::max(anchor, target); ++i)
        packets_[static_cast<size_t>(i)].color = static_cast<uint8_t>(currentColour_);
      repaintGrid();
    }
  }
}

void TMDIChild::onCellDragged(int column, int row, Qt::KeyboardModifiers mods) {
  if (column >= 1 && row >= 1) {
    grid_->setFocusCell(column, row, true);
  }
  const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
  if (shift && !ctrl && row == 0 && column >= 1 && marks_.rangeActive()) {
    marks_.dragTo(column);
    repaintGrid();
  }
}

void TMDIChild::onCellReleased(int column, int, Qt::KeyboardModifiers mods) {
  const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
  if (shift && !ctrl && column >= 1 && marks_.rangeActive()) {
    marks_.finishRange(column);
    repaintGrid();
  }
  marks_.cancelRange();
}

void TMDIChild::onRowMoved(int from, int to) {
  const int count = static_cast<int>(packets_.size());
  if (from < 1 || from > count || to < 1 || to > count || from == to || busyWithList()) return;
  auto first = packets_.begin();
  if (from < to)
    std::rotate(first + (from - 1), first + from, first + to);
  else
    std::rotate(first + (to - 1), first + (from - 1), first + from);
  repaintGrid();
  updateCellStatus();
}

void TMDIChild::selectColour(int index) {
  currentColour_ = index;
  colours_->actions().at(index)->setChecked(true);
}

void TMDIChild::ViewProtocols() {
  view_.protocolPanelVisible = !view_.protocolPanelVisible;
  action(QStringLiteral("ViewProtocols"))->setChecked(view_.protocolPanelVisible);
  panel_->setShown(view_.protocolPanelVisible);
}

void TMDIChild::Inverse() {
  if (busyWithList()) return;
  view_.busy = true;
  InvertPackets(packets_);
  view_.busy = false;
  inverted_ = !inverted_;
  inv_->setOn(inverted_);
  updateCellStatus();
  repaintGrid();
}

void TMDIChild::Reverse() {
  if (busyWithList()) return;
  view_.busy = true;
  ReverseBits(packets_);
  view_.busy = false;
  reversed_ = !reversed_;
  rev_->setOn(reversed_);
  updateCellStatus();
  repaintGrid();
}

void TMDIChild::ZoomXY() {
  view_.zoom.zoomIn(view_.mode);
  SetViewMode(view_.mode);
}

void TMDIChild::UnZoomXY() {
  view_.zoom.zoomOut(view_.mode);
  SetViewMode(view_.mode);
}

void TMDIChild::ZoomX() {
  view_.zoom.zoomInX(view_.mode);
  SetViewMode(view_.mode);
}

void TMDIChild::UnZoomX() {
  view_.zoom.zoomOutX(view_.mode);
  SetViewMode(view_.mode);
}

void TMDIChild::MaxMin() {
  QWidget* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
  if (frame == nullptr) frame = this;
  // The active flag is part of the state too; only the size states count.
  if (!(frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
    frame->showMaximized();
  else
    frame->showNormal();
}

void TMDIChild::SelectAll() {
  ColourAll(packets_, static_cast<uint8_t>(currentColour_));
  repaintGrid();
}

void TMDIChild::DeSelectAll() {
  ColourAll(packets_, 0);
  repaintGrid();
}

void TMDIChild::SetColor() {
  if (!rowIsPacket()) return;
  packets_[static_cast<size_t>(currentRow_) - 1].color = static_cast<uint8_t>(currentColour_);
  repaintGrid();
}

void TMDIChild::ResetColor() {
  if (!rowIsPacket()) return;
  packets_[static_cast<size_t>(currentRow_) - 1].color = 0;
  repaintGrid();
}

void TMDIChild::BreakButton() {
  if (busyWithList() || currentRow_ < 1 || currentColumn_ < 1) return;
  const auto index = static_cast<size_t>(currentRow_) - 1;
  const auto position = static_cast<uint32_t>(currentColumn_) - 1;
  if (!CheckMemoryFor(host_, BreakPacketNeed(packets_, index, position), kBreakOperation)) return;
  RewritePacketList([&](PacketList& list) { return BreakPacket(list, index, position); });
}

void TMDIChild::ConcatButton() {
  if (busyWithList() || currentRow_ < 2 || currentColumn_ < 1) return;
  const auto index = static_cast<size_t>(currentRow_) - 1;
  if (!CheckMemoryFor(host_, ConcatPacketsNeed(packets_, index), kConcatOperation)) return;
  RewritePacketList([&](PacketList& list) { return ConcatPackets(list, index); });
}

void TMDIChild::Bits2Bytes() {
  // The check mark follows the list, not the click.
  QAction* item = action(QStringLiteral("Bits2BytesAction"));
  item->setChecked(expanded_);
  if (busyWithList()) return;
  const uint64_t need = expanded_ ? PackBitsNeed(packets_) : ExpandBitsNeed(packets_);
  if (!CheckMemoryFor(host_, need, kBitsOperation)) return;
  RewritePacketList([this](PacketList& list) {
    if (expanded_)
      PackBits(list);
    else
      ExpandBits(list);
    return true;
  });
  expanded_ = !expanded_;
  item->setChecked(expanded_);
}

void TMDIChild::ConcatNewQPK() {
  if (busyWithList()) return;
  const auto file = dialogs_.askOpen(this, AppendFilters());
  if (!file) return;
  const std::string fileName = file->toStdString();
  if (!CheckMemoryFor(host_, LoadNeed(fileName), kAppendOperation)) return;
  PacketList loaded;
  // The loader lets events run: until it is done the window counts as loading,
  // so it can be neither closed nor have its list replaced meanwhile.
  loaded_ = false;
  AppendLoad(fileName, loaded, host_);
  loaded_ = true;
  if (loaded.empty()) return;
  RewritePacketList([&](PacketList& list) {
    AppendPackets(list, std::move(loaded));
    return true;
  });
}

void TMDIChild::SelectByByteEqual() {
  if (busyWithList()) return;
  RewritePacketList([this](PacketList& list) {
    return FilterByByte(list, currentRow_, currentColumn_, ByteFilter::Keep);
  });
}

void TMDIChild::DeleteByByteEqual() {
  if (busyWithList()) return;
  RewritePacketList([this](PacketList& list) {
    return FilterByByte(list, currentRow_, currentColumn_, ByteFilter::ThrowOut);
  });
}

void TMDIChild::SelectByLength() {
  if (busyWithList()) return;
  RewritePacketList([this](PacketList& list) {
    return pakscope::SelectByLength(list, currentRow_, currentColumn_);
  });
}

void TMDIChild::DeleteByLength() {
  if (busyWithList()) return;
  RewritePacketList(
      [this](PacketList& list) { return pakscope::DeleteByLength(list, currentRow_); });
}

void TMDIChild::SelectByColor() {
  if (busyWithList()) return;
  RewritePacketList([this](PacketList& list) {
    return FilterByColour(list, currentRow_, currentColumn_, ByteFilter::Keep);
  });
}

void TMDIChild::DeleteByColor() {
  if (busyWithList()) return;
  RewritePacketList([this](PacketList& list) {
    return FilterByColour(list, currentRow_, currentColumn_, ByteFilter::ThrowOut);
  });
}

void TMDIChild::SetColorByByte() {
  if (SetColourByByte(packets_, currentRow_, currentColumn_, static_cast<uint8_t>(currentColour_)))
    repaintGrid();
}

void TMDIChild::SaveByColor() {
  if (!rowIsPacket() || currentColumn_ < 1) return;
  if (!CheckMemoryFor(host_, CopiesOfColourNeed(packets_, currentRow_, currentColumn_),
                      kSaveOperation))
    return;
  // Made first: the save asks about the link types of what it writes.
  auto copies = CopiesOfColour(packets_, currentRow_, currentColumn_);
  if (!copies) return;
  const auto target = AskSaveTarget(dialogs_, this, *copies, host_);
  if (!target) return;
  SaveWithMessages(*copies, target->fileName.toStdString(), target->writerFormat, target->linkType,
                   host_);
}

void TMDIChild::ShowFoundCell(int column, int row) {
  grid_->setFocusCell(column, row);
  grid_->scrollToCell(column, row);
  repaintGrid();
}

void TMDIChild::BringToFront() {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    if (QMdiArea* area = frame->mdiArea()) area->setActiveSubWindow(frame);
  } else {
    raise();
    activateWindow();
  }
  grid_->setFocus();
}

void TMDIChild::onCellSelected(int column, int row) {
  if (tools_ == nullptr || column < 1 || row < 1 || static_cast<size_t>(row) > packets_.size())
    return;
  const PACKET& packet = packets_[static_cast<size_t>(row) - 1];
  if (static_cast<uint32_t>(column) > packet.length) return;
  tools_->ByteCellSelected(*this, column, packet.bytes()[static_cast<size_t>(column) - 1]);
}

void TMDIChild::Stat() {
  if (tools_) tools_->ShowStatistics(*this);
}

void TMDIChild::SelectByMask() {
  if (tools_) tools_->ShowAutoColouring(*this);
}

void TMDIChild::Utilz() {
  if (tools_) tools_->ShowProcessing(*this);
}

void TMDIChild::Find() {
  if (tools_) tools_->ShowSearch(*this);
}

void TMDIChild::FindNext() {
  if (tools_) tools_->SearchStep(*this, false);
}

void TMDIChild::FindPrev() {
  if (tools_) tools_->SearchStep(*this, true);
}

void TMDIChild::Action2() {
  QPointer<TMDIChild> guard(this);
  ResetColor();
  if (tools_ && guard) tools_->KeywordColouring(*this);
}

}  // namespace pakscope

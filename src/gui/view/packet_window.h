#pragma once

#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>

#include "gui/view/qpk_view.h"
#include "packets/host.h"
#include "packets/packet.h"
#include "protocols/pr_analizer.h"
#include "view/column_marks.h"

class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;

namespace pakscope {

class TDrawGrid;
class TProtocolPanel;
class TFileDialogs;

class TMDIChild;

// The analysis-tool windows as a packet window reaches them. They exist once
// for the program (the main window supplies them); every call names the packet
// window it comes from, which the tool then works on.
class TToolWindows {
 public:
  virtual ~TToolWindows() = default;
  virtual void ShowStatistics(TMDIChild& window) = 0;
  virtual void ShowAutoColouring(TMDIChild& window) = 0;
  virtual void ShowProcessing(TMDIChild& window) = 0;
  virtual void ShowSearch(TMDIChild& window) = 0;
  // F6 and FindPrev: one step with the search window's settings, shown or not.
  virtual void SearchStep(TMDIChild& window, bool backward) = 0;
  // Ctrl+M: the keyword colouring with the processing window's list.
  virtual void KeywordColouring(TMDIChild& window) = 0;
  // A byte cell of `window` was selected: 1-based column and the byte there.
  virtual void ByteCellSelected(TMDIChild& window, int column, uint8_t value) = 0;
};

// Status bar indicator "INV" / "REV": green with bold text when on, grey text
// when off.
class TIndicator : public QWidget {
  Q_OBJECT

 public:
  TIndicator(const QString& text, QWidget* parent);
  void setOn(bool on);
  bool isOn() const noexcept { return on_; }
  QString text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  bool on_ = false;
};

// A packet window: the packet list of one file shown as a grid of bytes, with
// its tool bar, popup menu, status bar and protocol panel.
class TMDIChild : public QMainWindow {
  Q_OBJECT

 public:
  TMDIChild(CHost& host, TFileDialogs& dialogs, const QFont& font,
            std::span<const std::filesystem::path> protocolFolders, QWidget* parent = nullptr);
  TMDIChild(CHost& host, TFileDialogs& dialogs, const QFont& font,
            const std::filesystem::path& protocolFolder, QWidget* parent = nullptr)
      : TMDIChild(host, dialogs, font, std::span(&protocolFolder, 1), parent) {}
  ~TMDIChild() override;

  PacketList& packets() noexcept { return packets_; }
  const PacketList& packets() const noexcept { return packets_; }
  CQpkView& view() noexcept { return view_; }
  TDrawGrid* grid() const noexcept { return grid_; }
  TProtocolPanel* protocolPanel() const noexcept { return panel_; }
  QToolBar* toolBar() const noexcept { return toolBar_; }
  QMenu* popupMenu() const noexcept { return popup_; }
  const ColumnMarks& markedColumns() const noexcept { return marks_; }
  // The window's command of this action name (ViewHex, SetColor, ...).
  QAction* action(const QString& name) const;
  QString statusText(int panel) const;
  TIndicator* indicator(int panel) const;  // 4 INV, 5 REV

  int currentColumn() const noexcept { return currentColumn_; }
  int currentRow() const noexcept { return currentRow_; }
  int currentColour() const noexcept { return currentColour_; }
  ViewMode mode() const noexcept { return view_.mode; }
  bool loaded() const noexcept { return loaded_; }
  void setLoaded(bool loaded) noexcept { loaded_ = loaded; }
  bool inverted() const noexcept { return inverted_; }
  bool reversed() const noexcept { return reversed_; }
  bool expanded() const noexcept { return expanded_; }
  bool busyWithList() const;

  // Held by a tool for the whole of a long run over the list: meanwhile the
  // window refuses to close and refuses every command that changes the list,
  // because the run lets events happen while it still walks the packets.
  class ListRun {
   public:
    explicit ListRun(TMDIChild& window) : window_(&window) { ++window.toolRuns_; }
    ~ListRun() {
      if (window_) --window_->toolRuns_;
    }
    ListRun(const ListRun&) = delete;
    ListRun& operator=(const ListRun&) = delete;

   private:
    QPointer<TMDIChild> window_;
  };

  void setToolWindows(TToolWindows* tools) noexcept { tools_ = tools; }
  // Focus on the cell, scrolled so that it is the top left scrollable cell.
  void ShowFoundCell(int column, int row);
  // Makes this the active packet window.
  void BringToFront();

  // Installs the list into the grid: counts, fixed row and column, cell sizes.
  void RefreshGrid(uint32_t longest);
  // Builds-then-swaps replacement of the list, with painting suppressed.
  void ReplacePacketList(PacketList&& list);
  // Rewrites the list in place with painting suppressed; when `rewrite`
  // reports a change, the grid takes the new list.
  bool RewritePacketList(const std::function<bool(PacketList&)>& rewrite);
  void UpdateListStatus();
  void ApplyFont(const QFont& font);
  void SetViewMode(ViewMode mode);
  void ShowScrollBars(bool shown);
  void ShowToolBar(bool shown);
  void ShowStatusBar(bool shown);
  void repaintGrid();
  // The selected cells of the grid as hexadecimal text in the TXT layout, which
  // the clipboard paste reads back; empty when only fixed cells are selected.
  QString SelectedCellsText() const;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 signals:
  // The window accepted a close request: from now on tools must leave it alone.
  void windowClosed();

 private:
  QAction* makeAction(const QString& name, const QString& caption, const QString& hint,
                      QList<QKeySequence> keys, void (TMDIChild::*slot)(),
                      const QString& operation = {});
  void runCommand(const QString& operation, void (TMDIChild::*slot)());
  void buildActions();
  void buildToolBar();
  void buildPopup();
  void buildStatusBar();
  void updateCellStatus();
  void updateTimeStatus();

  void onFocusChanged(int column, int row);
  void onCellPressed(int column, int row, Qt::MouseButton button, Qt::KeyboardModifiers mods);
  void onCellDragged(int column, int row, Qt::KeyboardModifiers mods);
  void onCellReleased(int column, int row, Qt::KeyboardModifiers mods);
  void onRowMoved(int from, int to);
  void selectColour(int index);
  bool rowIsPacket() const noexcept;
  bool cursorOnByte() const noexcept;

  // Commands.
  void ViewDec() { SetViewMode(ViewMode::Dec); }
  void ViewHex() { SetViewMode(ViewMode::Hex); }
  void ViewBin() { SetViewMode(ViewMode::Bin); }
  void ViewTxt() { SetViewMode(ViewMode::Txt); }
  void ViewBit() { SetViewMode(ViewMode::Bit); }
  void ViewProtocols();
  void Inverse();
  void Reverse();
  void ZoomXY();
  void UnZoomXY();
  void ZoomX();
  void UnZoomX();
  void MaxMin();
  void SelectAll();
  void DeSelectAll();
  void SetColor();
  void ResetColor();
  void BreakButton();
  void ConcatButton();
  void Bits2Bytes();
  void ConcatNewQPK();
  void SelectByByteEqual();
  void DeleteByByteEqual();
  void SelectByLength();
  void DeleteByLength();
  void SelectByColor();
  void DeleteByColor();
  void SetColorByByte();
  void SaveByColor();
  void Stat();
  void SelectByMask();
  void Utilz();
  void Find();
  void FindNext();
  void FindPrev();
  void Action2();
  void onCellSelected(int column, int row);

  CHost& host_;
  TFileDialogs& dialogs_;
  PacketList packets_;
  CQpkView view_;
  std::unique_ptr<TPrAnalizer> analyser_;
  ColumnMarks marks_;
  int shiftAnchorRow_ = 0;
  int currentColumn_ = 0;
  int currentRow_ = 0;
  int currentColour_ = 1;
  bool loaded_ = false;
  bool inverted_ = false;
  bool reversed_ = false;
  bool expanded_ = false;
  int toolRuns_ = 0;
  TToolWindows* tools_ = nullptr;

  TDrawGrid* grid_ = nullptr;
  TProtocolPanel* panel_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* popup_ = nullptr;
  QActionGroup* colours_ = nullptr;
  std::array<QLabel*, 8> panels_{};
  bool nanosecondTimes_ = false;  // the list's times are shown with nine digits
  TIndicator* inv_ = nullptr;
  TIndicator* rev_ = nullptr;
};

}  // namespace pakscope

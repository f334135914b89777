#pragma once

#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <filesystem>
#include <memory>

#include "gui/app/qt_host.h"
#include "gui/app/recent_files.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QProgressBar;
class QToolBar;

namespace pakscope {

class TAnalysisTools;
class TFileDialogs;
class THelpForm;
class TMDIChild;

// The main window: a workspace of packet windows with the file commands, the
// recent files, the clipboard paste, drag and drop, window arrangement, the
// application font and the gauge and STOP button of long loads.
class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  TQtHost& host() noexcept { return host_; }
  void setDialogs(std::unique_ptr<TFileDialogs> dialogs);
  TFileDialogs& dialogs() noexcept { return *dialogs_; }
  void setProtocolFolder(std::filesystem::path folder) { protocolFolders_ = {std::move(folder)}; }
  // The folder of the manual that the help window shows.
  void setManualFolder(std::filesystem::path folder) { manualFolder_ = std::move(folder); }
  // A file to open 100 ms after the window is first shown.
  void setStartupFile(const QString& fileName) { startupFile_ = fileName; }

  QMdiArea* mdiArea() const noexcept { return mdi_; }
  // The statistics, auto-colouring, processing and search windows.
  TAnalysisTools& tools() const noexcept { return *tools_; }
  TMDIChild* activeChild() const;
  QList<TMDIChild*> packetWindows() const;
  QAction* action(const QString& name) const;
  QMenu* historyMenu() const noexcept { return history_; }
  QToolBar* mainToolBar() const noexcept { return toolBar_; }
  QProgressBar* gauge() const noexcept { return gauge_; }
  QString statusText(int panel) const;

  const RecentFiles& recentFiles() const noexcept { return recent_; }
  const QFont& applicationFont() const noexcept { return font_; }
  QColor fontColour() const noexcept { return fontColour_; }
  bool maximizeChildren() const noexcept { return maximizeChildren_; }

  // Opens a file into a new packet window; false when nothing was loaded (the
  // window is then gone again).
  bool OpenFile(const QString& fileName);
  bool OpenWithPacketize(const QString& fileName);
  // The clipboard paste with a given text.
  void PasteText(const QString& text);
  // Gives the font (and the text colour) to every open packet window.
  void ApplyApplicationFont(const QFont& font);
  void ApplyApplicationFont(const QFont& font, const QColor& colour);
  void AddRecentFile(const QString& path);
  void LoadSettings();
  void SaveSettings();
  // F1: opens Help/Pakscope.chm next to the program with the desktop's viewer
  // when it exists, otherwise the help window on the chapter of the focused
  // window (see kHelpChapterProperty); false when nothing could be opened.
  bool ShowHelp();
  bool ShowHelp(const QString& chapter);
  static QString HelpFile();
  // The help window once F1 has opened it; null before.
  THelpForm* helpWindow() const noexcept { return help_.get(); }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void EditCommand(const QByteArray& method);
  void ShowHint(const QString& hint);
  QAction* makeAction(const QString& name, const QString& caption, const QString& tip,
                      const QString& longHint, const QKeySequence& key = {});
  void buildMenus();
  void buildToolBar();
  void rebuildHistoryMenu();
  void fillWindowMenu();
  TMDIChild* createChild(const QString& caption);
  // The open of OpenFile and OpenWithPacketize.
  bool OpenInNewWindow(const QString& fileName, bool packetize);
  void discardChild(TMDIChild* child);
  Qt::WindowStates newChildState() const;
  void tile(Qt::Orientation orientation);

  void FileNew();
  void FileOpen();
  void FileOpenWithPacketize();
  void FileSaveAs();
  void FileClose();
  void CtrlVAction();
  void FontItem();
  void HelpAbout();
  void WindowMinimizeAll();
  void WindowArrangeAll();

  TQtHost host_;
  std::unique_ptr<TFileDialogs> dialogs_;
  std::unique_ptr<TAnalysisTools> tools_;
  std::vector<std::filesystem::path> protocolFolders_;
  std::filesystem::path manualFolder_;
  std::unique_ptr<THelpForm> help_;
  QString startupFile_;
  bool shownOnce_ = false;
  bool maximizeChildren_ = false;
  RecentFiles recent_;
  QFont font_;
  QColor fontColour_ = Qt::black;

  QMdiArea* mdi_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QMenu* history_ = nullptr;
  QMenu* windows_ = nullptr;
  QLabel* status_[2] = {nullptr, nullptr};
  bool hintShown_ = false;
  QString shownHint_;    // the hint panel 0 shows
  QString coveredText_;  // what panel 0 showed before it
};

}  // namespace pakscope

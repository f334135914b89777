#pragma once

#include <QPointer>
#include <functional>

#include "gui/view/packet_window.h"

class QWidget;

namespace pakscope {

class CHost;
class TAutoSelectForm;
class TFileDialogs;
class TSearchForm;
class TStatForm;
class TUtilzForm;

// The four analysis-tool windows of the program, created once at start-up in
// the order statistics, auto-colouring, packet processing, search, and
// reached by every packet window through TToolWindows.
class TAnalysisTools : public TToolWindows {
 public:
  TAnalysisTools(QWidget* mainWindow, CHost& host, std::function<TFileDialogs&()> dialogs);
  ~TAnalysisTools() override;
  TAnalysisTools(const TAnalysisTools&) = delete;
  TAnalysisTools& operator=(const TAnalysisTools&) = delete;

  void ShowStatistics(TMDIChild& window) override;
  void ShowAutoColouring(TMDIChild& window) override;
  void ShowProcessing(TMDIChild& window) override;
  void ShowSearch(TMDIChild& window) override;
  void SearchStep(TMDIChild& window, bool backward) override;
  void KeywordColouring(TMDIChild& window) override;
  void ByteCellSelected(TMDIChild& window, int column, uint8_t value) override;

  TStatForm* statForm() const;
  TAutoSelectForm* autoSelectForm() const;
  TUtilzForm* utilzForm() const;
  TSearchForm* searchForm() const;

 private:
  // Owned by the main window as its children; held weakly here.
  QPointer<TStatForm> stat_;
  QPointer<TAutoSelectForm> autoSelect_;
  QPointer<TUtilzForm> utilz_;
  QPointer<TSearchForm> search_;
};

}  // namespace pakscope

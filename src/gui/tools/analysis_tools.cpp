#include "gui/tools/analysis_tools.h"

#include "gui/tools/auto_select_form.h"
#include "gui/tools/search_form.h"
#include "gui/tools/stat_form.h"
#include "gui/tools/utilz_form.h"

namespace pakscope {

TAnalysisTools::TAnalysisTools(QWidget* mainWindow, CHost& host,
                               std::function<TFileDialogs&()> dialogs)
    : stat_(new TStatForm(host, mainWindow)),
      autoSelect_(new TAutoSelectForm(mainWindow)),
      utilz_(new TUtilzForm(host, std::move(dialogs), mainWindow)),
      search_(new TSearchForm(host, mainWindow)) {}

TAnalysisTools::~TAnalysisTools() = default;

TStatForm* TAnalysisTools::statForm() const {
  return stat_;
}

TAutoSelectForm* TAnalysisTools::autoSelectForm() const {
  return autoSelect_;
}

TUtilzForm* TAnalysisTools::utilzForm() const {
  return utilz_;
}

TSearchForm* TAnalysisTools::searchForm() const {
  return search_;
}

void TAnalysisTools::ShowStatistics(TMDIChild& window) {
  if (stat_) stat_->Open(window);
}

void TAnalysisTools::ShowAutoColouring(TMDIChild& window) {
  if (autoSelect_) autoSelect_->Open(window);
}

void TAnalysisTools::ShowProcessing(TMDIChild& window) {
  if (utilz_) utilz_->Open(window);
}

void TAnalysisTools::ShowSearch(TMDIChild& window) {
  if (search_) search_->Open(window);
}

void TAnalysisTools::SearchStep(TMDIChild& window, bool backward) {
  if (search_) search_->Step(window, backward);
}

void TAnalysisTools::KeywordColouring(TMDIChild& window) {
  if (utilz_) utilz_->ColourKeywords(window);
}

void TAnalysisTools::ByteCellSelected(TMDIChild&, int column, uint8_t value) {
  if (autoSelect_ && autoSelect_->isVisible()) autoSelect_->AddEntry(column, value);
}

}  // namespace pakscope

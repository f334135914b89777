#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <array>
#include <optional>

#include "tools/statistics.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace pakscope {

class CHost;
class TMDIChild;

// The rows of the statistics grid, made from the result as they are shown: a
// run of 100000 variants builds no 100000 rows of cell objects.
class TStatModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;
  // `blankRows` empty rows and no result.
  void showBlank(int blankRows);
  void showResult(StatisticsResult result, QString separator);
  void setFirstHeader(const QString& header);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::optional<StatisticsResult> result_;
  QString separator_;
  int blankRows_ = 0;
  QString firstHeader_;
};

// "Статистика": modal, counts packet lengths or byte-value combinations of
// the list of the packet window that opened it.
class TStatForm : public QDialog {
  Q_OBJECT

 public:
  TStatForm(CHost& host, QWidget* parent = nullptr);

  // Binds the window and shows the form modally; returns when it is closed.
  void Open(TMDIChild& window);
  // Binds without showing: what Open does before it shows the form.
  void Bind(TMDIChild& window);
  TMDIChild* bound() const { return bound_; }

  // "Пуск".
  void Run();
  void AutoFill();
  void ClearFields();
  StatKind kind() const;
  std::array<int32_t, kStatByteFields> fields() const;
  QString summary() const;
  const TStatModel& model() const { return model_; }
  QTableView* grid() const { return grid_; }

 private:
  void setKind(StatKind kind);
  void updateRunButtons();

  CHost& host_;
  QPointer<TMDIChild> bound_;
  bool running_ = false;
  TStatModel model_;
  QButtonGroup* kindGroup_ = nullptr;
  std::array<QSpinBox*, kStatByteFields> spins_{};
  QPushButton* autoFill_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* start_ = nullptr;
  QAction* run_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableView* grid_ = nullptr;
};

}  // namespace pakscope

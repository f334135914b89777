#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class QListWidget;

namespace pakscope {

// The chooser of the link type written into a libpcap or pcapng file: the 76
// names in table order, opened on the preset (a number the table lacks gets a
// row of its own after them), nothing selected without one.
class TLinkTypeForm : public QDialog {
  Q_OBJECT

 public:
  explicit TLinkTypeForm(QWidget* parent = nullptr, std::optional<uint16_t> preset = {});
  QListWidget* list() const noexcept { return list_; }
  // Selected position, -1 when none.
  int selectedPosition() const;
  // Link-type number of the selected row.
  std::optional<uint32_t> selectedNumber() const;

  // Shows a fresh chooser modally; the number chosen with OK, nullopt when
  // cancelled or confirmed without a selection.
  static std::optional<uint32_t> choose(QWidget* parent, std::optional<uint16_t> preset = {});

 private:
  QListWidget* list_;
  std::optional<uint16_t> extra_;  // the preset's own row, after the table's
};

}  // namespace pakscope

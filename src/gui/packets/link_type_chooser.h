#pragma once

#include <QDialog>
#include <optional>

class QListWidget;

namespace pakscope {

// The chooser of the link type written into a libpcap file: the 76 names in
// table order, nothing selected when it opens.
class TLinkTypeForm : public QDialog {
  Q_OBJECT

 public:
  explicit TLinkTypeForm(QWidget* parent = nullptr);
  QListWidget* list() const noexcept { return list_; }
  // Selected position, -1 when none.
  int selectedPosition() const;

  // Shows a fresh chooser modally; the position chosen with OK, nullopt when
  // cancelled or confirmed without a selection.
  static std::optional<int> choose(QWidget* parent);

 private:
  QListWidget* list_;
};

}  // namespace pakscope

#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

class QWidget;

namespace pakscope {

// One entry of a file dialog's type list: its caption and its patterns.
struct FileFilter {
  QString caption;
  QStringList patterns;  // "*.qpk"
};

// The save dialog's five file types, in the order of the writers they choose.
const std::vector<FileFilter>& SaveFilters();
// The open dialog's three types, and the one of the append command.
const std::vector<FileFilter>& OpenFilters();
const std::vector<FileFilter>& AppendFilters();

// Writer format (0 BIT, 1 QPK, 2 LQPK, 3 PCAP, 4 TXT) of save dialog entry 1..5.
int WriterFormatOfEntry(int entry);

// What the user chose for a save: the file, the writer and, for PCAP, the link type.
struct SaveTarget {
  QString fileName;
  int writerFormat = 1;
  uint32_t linkType = 0;
};

// The program's dialogs for files and link types, replaceable so that tests
// can answer them.
class TFileDialogs {
 public:
  virtual ~TFileDialogs() = default;
  // The chosen file and its 1-based type entry; nullopt when cancelled.
  virtual std::optional<std::pair<QString, int>> askSave(QWidget* parent);
  virtual std::optional<QString> askOpen(QWidget* parent, const std::vector<FileFilter>& filters);
  // Link-type position chosen with OK; nullopt when cancelled or none chosen.
  virtual std::optional<int> askLinkType(QWidget* parent);
  // A file to read (save false) or write, starting in `folder`.
  virtual std::optional<QString> askTextFile(QWidget* parent, bool save,
                                             const std::vector<FileFilter>& filters,
                                             const QString& folder);
};

// The save dialog, then the link-type chooser when PCAP was chosen.
std::optional<SaveTarget> AskSaveTarget(TFileDialogs& dialogs, QWidget* parent);

}  // namespace pakscope

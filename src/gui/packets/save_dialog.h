#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "packets/host.h"
#include "packets/packet.h"

class QWidget;

namespace pakscope {

// One entry of a file dialog's type list: its caption and its patterns.
struct FileFilter {
  QString caption;
  QStringList patterns;  // "*.qpk"
};

// The save dialog's six file types, in the order of the writers they choose.
const std::vector<FileFilter>& SaveFilters();
// The open dialog's three types, and the one of the append command.
const std::vector<FileFilter>& OpenFilters();
const std::vector<FileFilter>& AppendFilters();

// Writer format (0 BIT, 1 QPK, 2 LQPK, 3 PCAP, 4 TXT, 5 PCAPNG) of save dialog entry 1..6.
int WriterFormatOfEntry(int entry);

// What the user chose for a save: the file, the writer and, for PCAP, the
// file's link type (for PCAPNG, that of the packets without one).
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
  // Link-type number chosen with OK, the chooser opened on `preset`; nullopt
  // when cancelled or none chosen.
  virtual std::optional<uint32_t> askLinkType(QWidget* parent, std::optional<uint16_t> preset);
  // A file to read (save false) or write, starting in `folder`.
  virtual std::optional<QString> askTextFile(QWidget* parent, bool save,
                                             const std::vector<FileFilter>& filters,
                                             const QString& folder);
};

// The question asked before a libpcap save of packets of several link types.
std::string SeveralLinkTypesText(const std::vector<uint16_t>& types);
// The name a libpcap save becomes when it turns into pcapng: "x.pcap" → "x.pcapng".
QString PcapngName(const QString& fileName);

// The save dialog for `list`, then for PCAP the link-type chooser preset to the
// list's single link type; a list of several link types saved as PCAP is
// offered PCAPNG instead. PCAPNG asks the link type only for packets without one.
std::optional<SaveTarget> AskSaveTarget(TFileDialogs& dialogs, QWidget* parent,
                                        const PacketList& list, CHost& host);

}  // namespace pakscope

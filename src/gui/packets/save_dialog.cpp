#include "gui/packets/save_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "gui/packets/link_type_chooser.h"
#include "packets/link_types.h"

namespace pakscope {

namespace {

// "Пакеты (*.QPK) (*.qpk *.QPK)": the last group is what the dialog filters on
// and is hidden from the user, so the caption reads as written while both
// letter cases of the extension match.
QStringList QtFilters(const std::vector<FileFilter>& filters) {
  QStringList out;
  for (const FileFilter& f : filters) {
    QStringList patterns;
    for (const QString& p : f.patterns) {
      patterns << p;
      if (p.toUpper() != p) patterns << p.toUpper();
    }
    out << f.caption + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return out;
}

}  // namespace

const std::vector<FileFilter>& SaveFilters() {
  static const std::vector<FileFilter> filters{
      {QStringLiteral("Пакеты (*.QPK)"), {QStringLiteral("*.qpk")}},
      {QStringLiteral("Пакеты (*.LQPK)"), {QStringLiteral("*.lqpk")}},
      {QStringLiteral("Пакеты без заголовков (*.BIT)"), {QStringLiteral("*.bit")}},
      {QStringLiteral("Пакеты (*.PCAP)"), {QStringLiteral("*.pcap")}},
      {QStringLiteral("Пакеты (*.TXT)"), {QStringLiteral("*.txt")}},
      {QStringLiteral("PCAPNG (*.pcapng)"), {QStringLiteral("*.pcapng")}},
  };
  return filters;
}

const std::vector<FileFilter>& OpenFilters() {
  static const std::vector<FileFilter> filters{
      {QStringLiteral("Все поддерживаемые (QPK, LQPK, PCAP, PCAPNG, BIT, BIN)"),
       {QStringLiteral("*.qpk"), QStringLiteral("*.lqpk"), QStringLiteral("*.pcap"),
        QStringLiteral("*.pcapng"), QStringLiteral("*.bit"), QStringLiteral("*.bin")}},
      {QStringLiteral("Пакетные файлы (QPK,LQPK, PCAP, PCAPNG)"),
       {QStringLiteral("*.qpk"), QStringLiteral("*.lqpk"), QStringLiteral("*.pcap"),
        QStringLiteral("*.pcapng")}},
      {QStringLiteral("Битовые файлы (BIT, BIN)"),
       {QStringLiteral("*.bit"), QStringLiteral("*.bin")}},
  };
  return filters;
}

const std::vector<FileFilter>& AppendFilters() {
  static const std::vector<FileFilter> filters{
      {QStringLiteral("Пакетные файлы (QPK,LQPK, PCAP, PCAPNG)"),
       {QStringLiteral("*.qpk"), QStringLiteral("*.lqpk"), QStringLiteral("*.pcap"),
        QStringLiteral("*.pcapng")}},
  };
  return filters;
}

int WriterFormatOfEntry(int entry) {
  switch (entry) {
    case 1: return 1;  // QPK
    case 2: return 2;  // LQPK
    case 3: return 0;  // BIT
    case 4: return 3;  // PCAP
    case 5: return 4;  // TXT
    case 6: return 5;  // PCAPNG
    default: return 1;
  }
}

std::optional<std::pair<QString, int>> TFileDialogs::askSave(QWidget* parent) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setDefaultSuffix(QStringLiteral("qpk"));
  dialog.setProperty("helpChapter", QStringLiteral("02-packet-files.md#Сохранение"));  // F1
  const QStringList filters = QtFilters(SaveFilters());
  dialog.setNameFilters(filters);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // With the patterns hidden the dialog reports the caption alone.
  const QString selected = dialog.selectedNameFilter();
  int entry = 1;
  for (size_t i = 0; i < SaveFilters().size(); ++i)
    if (selected == filters[static_cast<qsizetype>(i)] || selected == SaveFilters()[i].caption)
      entry = static_cast<int>(i) + 1;
  return std::pair{dialog.selectedFiles().front(), entry};
}

std::optional<QString> TFileDialogs::askOpen(QWidget* parent,
                                             const std::vector<FileFilter>& filters) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(QtFilters(filters));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> TFileDialogs::askTextFile(QWidget* parent, bool save,
                                                 const std::vector<FileFilter>& filters,
                                                 const QString& folder) {
  QFileDialog dialog(parent, {}, folder);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(QtFilters(filters));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<uint32_t> TFileDialogs::askLinkType(QWidget* parent, std::optional<uint16_t> preset) {
  return TLinkTypeForm::choose(parent, preset);
}

std::string SeveralLinkTypesText(const std::vector<uint16_t>& types) {
  std::string names;
  for (uint16_t type : types) names += (names.empty() ? "" : ", ") + LinkTypeName(type);
  return "Пакеты списка имеют разные типы данных: " + names +
         ".\r\nФайл PCAP хранит один тип данных.\r\nСохранить список в формате PCAPNG?";
}

QString PcapngName(const QString& fileName) {
  const QFileInfo info(fileName);
  const QString suffix = info.suffix();
  if (suffix.compare(QStringLiteral("pcapng"), Qt::CaseInsensitive) == 0) return fileName;
  QString base = fileName;
  if (suffix.compare(QStringLiteral("pcap"), Qt::CaseInsensitive) == 0)
    base.chop(suffix.size() + 1);
  return base + QStringLiteral(".pcapng");
}

std::optional<SaveTarget> AskSaveTarget(TFileDialogs& dialogs, QWidget* parent,
                                        const PacketList& list, CHost& host) {
  const auto chosen = dialogs.askSave(parent);
  if (!chosen) return std::nullopt;
  SaveTarget target;
  target.fileName = chosen->first;
  target.writerFormat = WriterFormatOfEntry(chosen->second);
  if (target.writerFormat != 3 && target.writerFormat != 5) return target;

  const ListLinkTypes found = LinkTypesOf(list);
  if (target.writerFormat == 3 && found.types.size() > 1) {
    // A libpcap file has one link type: written as one, some packets would be mislabelled.
    if (host.messageBox(SeveralLinkTypesText(found.types), "Ограничение", MsgButtons::YesNo,
                        MsgIcon::Question) != MsgResult::Yes)
      return std::nullopt;
    target.writerFormat = 5;
    const QString renamed = PcapngName(target.fileName);
    // The dialog asked about replacing the name the user typed, not this one.
    if (renamed != target.fileName && QFileInfo::exists(renamed) &&
        host.messageBox("Файл " + renamed.toStdString() + " уже существует.\r\nЗаменить его?",
                        "Подтверждение", MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
      return std::nullopt;
    target.fileName = renamed;
  }
  // libpcap: the file's link type, preset to the packets' own. pcapng: the link
  // type of the packets without one, asked only when there are such packets.
  if (target.writerFormat == 3 || found.without != 0) {
    std::optional<uint16_t> preset;
    if (target.writerFormat == 3 && found.types.size() == 1) preset = found.types.front();
    const auto number = dialogs.askLinkType(parent, preset);
    if (!number) return std::nullopt;
    target.linkType = *number;
  }
  return target;
}

}  // namespace pakscope

#include "gui/packets/save_dialog.h"

#include <QFileDialog>

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

std::optional<int> TFileDialogs::askLinkType(QWidget* parent) {
  return TLinkTypeForm::choose(parent);
}

std::optional<SaveTarget> AskSaveTarget(TFileDialogs& dialogs, QWidget* parent) {
  const auto chosen = dialogs.askSave(parent);
  if (!chosen) return std::nullopt;
  SaveTarget target;
  target.fileName = chosen->first;
  target.writerFormat = WriterFormatOfEntry(chosen->second);
  if (target.writerFormat == 3) {
    const auto position = dialogs.askLinkType(parent);
    if (!position) return std::nullopt;
    target.linkType = LinkTypeNumber(*position);
  }
  return target;
}

}  // namespace pakscope

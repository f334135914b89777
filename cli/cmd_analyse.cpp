#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "commands.h"
#include "descriptions.h"
#include "packet_input.h"
#include "protocols/protocol_loader.h"
#include "protocols/protocol_tree.h"

namespace pakscope::cli {

namespace {

struct AnalyseArgs {
  std::string file;
  std::string protocols;
  bool layers = false;
  unsigned threads = 0;  // 0: every core the process may use
  InputOptions input;
};

std::string temporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// A temporary file taken out of its folder as soon as it is made: it lives
// while it is open, and nothing is left behind however the program ends.
class ScratchFile {
 public:
  // Says why on stderr when none can be made.
  static std::optional<ScratchFile> Create() {
    std::string name = temporaryFolder() + "/pakscope-analyse-XXXXXX";
    const int fd = ::mkstemp(name.data());
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "w+b") : nullptr;
    if (file == nullptr) {
      if (fd >= 0) ::close(fd);
      printError("не удаётся создать временный файл в " + temporaryFolder());
      return std::nullopt;
    }
    ::unlink(name.c_str());
    return ScratchFile(file);
  }
  ScratchFile(ScratchFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
  ScratchFile& operator=(ScratchFile&& other) noexcept {
    std::swap(file_, other.file_);
    return *this;
  }
  ~ScratchFile() {
    if (file_ != nullptr) std::fclose(file_);
  }

  bool write(const void* bytes, size_t size) { return std::fwrite(bytes, 1, size, file_) == size; }
  // Back to the start, to read what was written.
  bool rewind() { return std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0; }
  // Empty again, for a second run.
  bool clear() { return rewind() && ::ftruncate(::fileno(file_), 0) == 0; }
  bool read(void* bytes, size_t size) { return std::fread(bytes, 1, size, file_) == size; }
  // Everything written, to stdout.
  bool copyToStdout() {
    if (!rewind()) return false;
    std::vector<char> buffer(1 << 20);
    for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file_)) > 0;)
      if (std::fwrite(buffer.data(), 1, got, stdout) != got) return false;
    return std::ferror(file_) == 0;
  }

 private:
  explicit ScratchFile(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

void writeFailed() {
  printError("не удаётся записать временный файл в " + temporaryFolder());
}

void appendNumber(std::string& out, uint64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// "12: Ethernet II@0+14 IPv4@14+20" for every packet, numbered from the file's first.
bool writeLayerLines(const TPrAnalizer& analyser, const PacketList& batch, uint64_t first,
                     ScratchFile& lines) {
  std::string out;
  for (size_t row = 0; row < batch.size(); ++row) {
    appendNumber(out, first + row + 1);
    out += ':';
    for (const TPacketProtInfo& layer : batch[row].layers()) {
      out += ' ';
      out += analyser.protocolName(layer.protocol);
      out += '@';
      appendNumber(out, layer.offset);
      out += '+';
      appendNumber(out, layer.headerLength);
    }
    out += '\n';
  }
  return lines.write(out.data(), out.size());
}

// The packets of an input that cannot be read twice, for the rare second run:
// each as its 4-byte length and its bytes.
bool spoolBatch(const PacketList& batch, ScratchFile& spool) {
  for (const PACKET& packet : batch)
    if (!spool.write(&packet.length, sizeof packet.length) ||
        !spool.write(packet.data.get(), packet.length))
      return false;
  return true;
}

bool readSpool(ScratchFile& spool, const BatchHandler& handle) {
  if (!spool.rewind()) return false;
  PacketList batch;
  uint64_t first = 0;
  for (uint32_t length = 0;;) {
    const bool more = spool.read(&length, sizeof length);
    if (more) {
      PACKET packet = PACKET::uninitialized(length);
      if (!spool.read(packet.data.get(), length)) return false;
      batch.push_back(std::move(packet));
    }
    if (batch.size() == 20000 || (!more && !batch.empty())) {
      if (!handle(batch, first)) return false;
      first += batch.size();
      batch.clear();
    }
    if (!more) return true;
  }
}

bool isRegularFile(const std::string& fileName) {
  struct stat info {};
  return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void printItem(const ProtocolTreeItem& item, int level, std::string& out) {
  out.append(2 * static_cast<size_t>(level), ' ');
  out += item.label;
  out += '\n';
  for (const ProtocolTreeItem& child : item.children) printItem(child, level + 1, out);
}

int runAnalyse(const AnalyseArgs& args) {
  DescriptionHost host;
  const std::vector<std::filesystem::path> folders = descriptionFolders(args.protocols);
  TPrAnalizer analyser(folders, host);
  if (!analyser.loaded) {
    reportNoDescriptions(folders);
    return kExitFailure;
  }
  analyser.threads = args.threads == 0 ? UsableCores() : args.threads;

  // The layer lines wait in a file until the tree, which needs every packet, is printed.
  std::optional<ScratchFile> lines;
  if (args.layers && !(lines = ScratchFile::Create())) return kExitFailure;
  // An input read once is kept from its second batch on, should a second run
  // be needed; standard input is read once even where it is a file.
  const bool rereadable = args.file != "-" && isRegularFile(args.file);
  std::optional<ScratchFile> spool;
  PacketList firstBatch;
  bool written = true;

  const auto analyse = [&](PacketList& batch, uint64_t first) {
    analyser.AnalizeBatch(batch);
    if (lines && !writeLayerLines(analyser, batch, first, *lines)) return written = false;
    return true;
  };
  const auto analyseAndKeep = [&](PacketList& batch, uint64_t first) {
    if (!analyse(batch, first)) return false;
    if (rereadable) return true;
    if (first == 0) {
      firstBatch = std::move(batch);
      return true;
    }
    if (!spool) {
      if (!(spool = ScratchFile::Create())) return written = false;
      if (!spoolBatch(firstBatch, *spool)) return written = false;
      firstBatch = PacketList();
    }
    return written = spoolBatch(batch, *spool);
  };

  analyser.StartBatches();
  if (readInput(args.file, host, args.input, analyseAndKeep) == 0) {
    if (written)
      printError(args.file + ": ничего не загружено");
    else
      writeFailed();
    return kExitFailure;
  }
  // The whole input's frame check sequences decide otherwise than its first
  // batch did: the layers and the counts are made again as the whole list's run makes them.
  if (written && analyser.fcsLengthOfInput() != analyser.fcsLength()) {
    analyser.StartBatches(analyser.fcsLengthOfInput());
    if (lines && !lines->clear()) {
      written = false;
    } else if (rereadable) {
      if (readInput(args.file, host, args.input, analyse) == 0) return kExitFailure;
    } else if (spool) {
      if (!readSpool(*spool, analyse)) written = false;
    } else {
      analyse(firstBatch, 0);
    }
  }
  if (!written) {
    writeFailed();
    return kExitFailure;
  }

  std::string tree;
  for (const ProtocolTreeItem& item : FillProtocolTree(analyser)) printItem(item, 0, tree);
  bool shown = std::fwrite(tree.data(), 1, tree.size(), stdout) == tree.size();
  if (lines && shown && !lines->copyToStdout()) shown = false;
  return std::fflush(stdout) == 0 && shown ? kExitOk : kExitFailure;
}

}  // namespace

void addAnalyseCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<AnalyseArgs>();
  CLI::App* command = app.add_subcommand("analyse", "Разобрать пакеты файла на уровни протоколов");
  command->add_option("FILE", args->file, "Файл пакетов или битовый файл; - — стандартный ввод")
      ->required();
  command->add_option("--protocols", args->protocols, kProtocolsOptionText);
  command->add_flag("--layers", args->layers, "После дерева перечислить уровни каждого пакета");
  command
      ->add_option("--threads", args->threads,
                   "Потоков разбора, от 1 до 16 (по умолчанию все ядра, доступные программе)")
      ->check(CLI::Range(1u, 16u));
  addInputOptions(*command, args->input);
  command->callback([args, &exitCode] { exitCode = runAnalyse(*args); });
}

}  // namespace pakscope::cli

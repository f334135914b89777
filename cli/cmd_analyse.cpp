#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
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

bool readSpool(ScratchFile& spool, size_t batchPackets, const BatchHandler& handle) {
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
    if (batch.size() == batchPackets || (!more && !batch.empty())) {
      if (!handle(batch, first)) return false;
      first += batch.size();
      batch.clear();
    }
    if (!more) return true;
  }
}

// The input's batches joined into longer ones, so that each is worth
// splitting among the threads, up to a bound on the bytes held.
class BatchJoiner {
 public:
  BatchJoiner(size_t packets, BatchHandler handle)
      : packets_(packets), handle_(std::move(handle)) {}

  bool add(PacketList& batch, uint64_t first) {
    if (pending_.empty()) {
      first_ = first;
      // Room for the batch that makes it full, so that it never moves.
      pending_.reserve(packets_ + batch.size());
    }
    for (PACKET& packet : batch) {
      bytes_ += packet.length;
      pending_.push_back(std::move(packet));
    }
    if (pending_.size() < packets_ && bytes_ < kMaxBytes) return true;
    return flush();
  }
  // Hands on what is held.
  bool flush() {
    const bool more = pending_.empty() || handle_(pending_, first_);
    pending_.clear();
    bytes_ = 0;
    return more;
  }

 private:
  static constexpr uint64_t kMaxBytes = 64 << 20;
  size_t packets_;
  BatchHandler handle_;
  PacketList pending_;
  uint64_t first_ = 0;
  uint64_t bytes_ = 0;
};

// Hands batches to a thread of its own, so that reading the next one goes on
// while one is analysed. One batch waits while one is in hand.
class BackgroundHandler {
 public:
  explicit BackgroundHandler(BatchHandler handle)
      : handle_(std::move(handle)), thread_([this] { loop(); }) {}
  // An exception under way (the reading's) wins over the handler's.
  ~BackgroundHandler() { stop(); }
  BackgroundHandler(const BackgroundHandler&) = delete;
  BackgroundHandler& operator=(const BackgroundHandler&) = delete;

  // Waits until the batch before is taken up, then leaves this one; false
  // once a batch was refused.
  bool hand(PacketList& batch, uint64_t first) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !waiting_; });
    if (!more_) return false;
    std::swap(next_, batch);
    first_ = first;
    waiting_ = true;
    changed_.notify_all();
    return true;
  }
  // Waits for every batch handed on; false when one was refused. An exception
  // of the handler comes out here, on the caller's thread.
  bool finish() {
    stop();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return more_;
  }

 private:
  void stop() noexcept {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
  }

  void loop() {
    PacketList batch;
    for (;;) {
      uint64_t first = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_ || done_; });
        if (!waiting_) return;
        std::swap(batch, next_);
        first = first_;
        waiting_ = false;
        changed_.notify_all();
      }
      bool more = false;
      try {
        more = handle_(batch, first);
      } catch (...) {
        failure_ = std::current_exception();
      }
      batch.clear();
      std::lock_guard lock(mutex_);
      more_ = more_ && more;
    }
  }

  BatchHandler handle_;
  std::mutex mutex_;
  std::condition_variable changed_;
  PacketList next_;
  uint64_t first_ = 0;
  bool waiting_ = false;
  bool done_ = false;
  bool more_ = true;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts on the members above
};

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
  analyser.keepLayers = args.layers;

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

  const size_t joinedPackets = 16384 * size_t{std::max(analyser.threads, 4u)};
  // With more than one thread the next batch is read while one is analysed.
  std::optional<BackgroundHandler> background;
  if (analyser.threads > 1) {
    background.emplace(analyseAndKeep);
    // The reading shares a core with one of the threads.
    analyser.piecesPerThread = 4;
  }
  BatchJoiner joiner(joinedPackets, [&](PacketList& batch, uint64_t first) {
    return background ? background->hand(batch, first) : analyseAndKeep(batch, first);
  });
  const auto join = [&](PacketList& batch, uint64_t first) { return joiner.add(batch, first); };
  analyser.StartBatches();
  const bool loaded = readInput(args.file, host, args.input, join) != 0;
  if (loaded) joiner.flush();
  if (background) background->finish();
  if (!loaded) {
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
      BatchJoiner again(joinedPackets, analyse);
      const auto joinAgain = [&](PacketList& batch, uint64_t first) {
        return again.add(batch, first);
      };
      if (readInput(args.file, host, args.input, joinAgain) == 0) return kExitFailure;
      again.flush();
    } else if (spool) {
      if (!readSpool(*spool, joinedPackets, analyse)) written = false;
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

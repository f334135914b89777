#include "protocols/description_compiler.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "protocols/cp1251.h"

namespace pakscope {

namespace {

// Results of the comment, number and string readers.
enum ReadCode : int {
  kReadOk = 0,
  kReadUnexpectedEof = 2,
  kReadNoLfAfterCr = 3,
  kReadNoCrBeforeLf = 4,
  kReadEolNoNumber = 6,
  kReadEofNoNumber = 7,
  kReadTooBig = 8,
  kReadOddHex = 9,
  kReadEolNoOpenQuote = 10,
  kReadEofNoOpenQuote = 11,
  kReadEolNoCloseQuote = 12,
  kReadEofNoCloseQuote = 13,
};

std::string_view ReadMessage(int code) {
  switch (code) {
    case kReadUnexpectedEof: return "Неожиданный конец файла.";
    case kReadNoLfAfterCr: return "Ошибка структуры: после 0D нет 0A.";
    case kReadNoCrBeforeLf: return "Ошибка структуры: перед 0A нет 0D.";
    case kReadEolNoNumber: return "Конец строки. Число не найдено.";
    case kReadEofNoNumber: return "Конец файла. Число не найдено.";
    case kReadTooBig: return "Слишком большое значение числа.";
    case kReadOddHex:
      return "В шестнадцатеричном режиме количество знаков должно быть кратно двум.";
    case kReadEolNoOpenQuote: return "Конец строки. Открывающая кавычка строки не найдена.";
    case kReadEofNoOpenQuote: return "Конец файла. Открывающая кавычка строки не найдена.";
    case kReadEolNoCloseQuote: return "Конец строки. Закрывающая кавычка строки не найдена.";
    case kReadEofNoCloseQuote: return "Конец файла. Закрывающая кавычка строки не найдена.";
    default: return "Неизвестная ошибка";
  }
}

// Structure messages.
constexpr std::string_view kNoName =
    "Не указано название протокола (функция ИМЯ).\nУстановлено имя Unnamed#.";
constexpr std::string_view kNoSize =
    "Не указан размер заголовка протокола (функция РАЗМЕР).\nУстановлен размер 1.";
constexpr std::string_view kNoLevel =
    "Не указан уровень протокола (функция УРОВЕНЬ).\nУстановлен уровень 0.";
constexpr std::string_view kElseWithoutBlock = "Перед командой ИНАЧЕ нет блока.";
constexpr std::string_view kOpenWithoutCondition = "Нет условия для загрузки блока \"{\".";
constexpr std::string_view kCloseWithoutBlock =
    "Закрытие несуществующего блока (unexpected \"}\").";
// Limits and structures that the tables cannot hold.
constexpr std::string_view kCloseWithoutOpen = "Перед \"}\" нет открывающей скобки \"{\".";
constexpr std::string_view kOpenTwice = "Блок \"{\" уже открыт.";
constexpr std::string_view kUnclosed = "Файл закончился внутри условия или блока.";
constexpr std::string_view kTooDeep = "Слишком много вложенных условий (не более 254).";
constexpr std::string_view kTooManyBranches = "Слишком много ветвей в условии (не более 255).";
constexpr std::string_view kBadSlot = "Номер ячейки должен быть от 0 до 9.";
constexpr std::string_view kBadFetchSize = "Размер поля должен быть от 1 до 8 байт.";
constexpr std::string_view kNullNotZero = "Функция НОЛЬ допускает только число 0.";
constexpr std::string_view kZeroInString = "Строка содержит нулевой байт.";
constexpr std::string_view kProgramAreaFull =
    "Программы протоколов не помещаются в память (не более 65536 байт).";
constexpr std::string_view kTooManyProtocols =
    "Слишком много протоколов (не более 10000 вместе со встроенными).";

enum class Keyword {
  None,
  Name,
  Size,
  CondSize,
  Level,
  Bytes,
  Less,
  Greater,
  Expect,
  Offset,
  Mother,
  CheckSize,
  Fetch,
  Last,
  Null,
  If,
  ElseIf,
  Else,
  Open,
  Close,
};

struct KeywordEntry {
  std::string_view utf8;
  Keyword keyword;
  std::string cp1251;
};

const std::array<KeywordEntry, 19>& Keywords() {
  static const std::array<KeywordEntry, 19> table = [] {
    std::array<KeywordEntry, 19> t = {{
        {"ИМЯ", Keyword::Name, {}},
        {"РАЗМЕР", Keyword::Size, {}},
        {"УСЛОВНЫЙРАЗМЕР", Keyword::CondSize, {}},
        {"УРОВЕНЬ", Keyword::Level, {}},
        {"БАЙТЫ", Keyword::Bytes, {}},
        {"МЕНЬШЕ", Keyword::Less, {}},
        {"БОЛЬШЕ", Keyword::Greater, {}},
        {"ОЖИДАНИЕ", Keyword::Expect, {}},
        {"СМЕЩЕНИЕ", Keyword::Offset, {}},
        {"МАМА", Keyword::Mother, {}},
        {"ПРОВЕРКАРАЗМЕРА", Keyword::CheckSize, {}},
        {"ПОЛУЧИТЬ", Keyword::Fetch, {}},
        {"ПОСЛЕДНИЙ", Keyword::Last, {}},
        {"НОЛЬ", Keyword::Null, {}},
        {"ЕСЛИ", Keyword::If, {}},
        {"ИНАЧЕЕСЛИ", Keyword::ElseIf, {}},
        {"ИНАЧЕ", Keyword::Else, {}},
        {"{", Keyword::Open, {}},
        {"}", Keyword::Close, {}},
    }};
    for (KeywordEntry& e : t) e.cp1251 = Cp1251FromUtf8(e.utf8);
    return t;
  }();
  return table;
}

const KeywordEntry* FindKeyword(std::string_view word) {
  for (const KeywordEntry& e : Keywords())
    if (e.cp1251 == word) return &e;
  return nullptr;
}

bool IsKeyword(std::string_view word, Keyword keyword) {
  const KeywordEntry* entry = FindKeyword(word);
  return entry != nullptr && entry->keyword == keyword;
}

bool IsWordStart(int c) {
  return (c >= 0x41 && c <= 0x5F) || (c >= 0x61 && c <= 0x7E) || c >= 0xC0 || c == '/';
}

bool IsWordChar(int c) {
  return IsWordStart(c) || (c >= '0' && c <= '9');
}

int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr int kEof = -1;

// Byte-wise reading with one byte of look-back.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int get() { return pos_ < bytes_.size() ? bytes_[pos_++] : kEof; }
  // Steps back over the byte just read; never called after kEof.
  void unget() { --pos_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

struct Number {
  int code = kReadOk;
  uint64_t value = 0;
};

// One open condition chain.
struct Chain {
  uint32_t branches = 0;
  std::vector<size_t> closeOperands;  // of its "}", by branch
  std::optional<size_t> openOperand;  // of the "{" waiting for its "}"
};

enum class Step { Continue, Drop, StopLoad };

class Compiler {
 public:
  Compiler(std::span<const uint8_t> text, std::string_view fileName, ProtocolTables& tables,
           uint32_t& unnamedNumber, CHost& host)
      : in_(text),
        fileName_(fileName),
        tables_(tables),
        unnamedNumber_(unnamedNumber),
        host_(host),
        start_(tables.program.size()) {}

  CompileOutcome run();

 private:
  void report(std::string_view message, std::string_view keyword = {}, int parameter = 0);
  int skipComment();
  std::string readWord();
  Number readNumber();
  int readString(std::string& out);
  Step word(const std::string& word);
  Step keyword(const KeywordEntry& entry);
  void endChain();
  void emit(uint8_t byte) { tables_.program.push_back(byte); }
  void emitLittleEndian(uint64_t value, int width) {
    for (int i = 0; i < width; ++i) emit(static_cast<uint8_t>(value >> (8 * i)));
  }
  void patch(size_t operand, size_t position) {
    tables_.program[operand] = static_cast<uint8_t>(position);
    tables_.program[operand + 1] = static_cast<uint8_t>(position >> 8);
  }
  // Reads parameter `index` of `entry` into a field of `width` bytes; false
  // after a message for a read error.
  bool parameter(const KeywordEntry& entry, int index, int width, int bias = 0,
                 uint64_t* value = nullptr);
  bool stringParameter(const KeywordEntry& entry, std::string& out);
  size_t roomLimit() const { return kProgramAreaSize - kBuiltInProgramBytes; }

  ByteReader in_;
  std::string_view fileName_;
  ProtocolTables& tables_;
  uint32_t& unnamedNumber_;
  CHost& host_;
  size_t start_;

  std::string previous_ = "0";
  std::string name_;
  bool nameSeen_ = false, sizeSeen_ = false, levelSeen_ = false;
  std::vector<Chain> chains_;
};

void Compiler::report(std::string_view message, std::string_view keyword, int parameter) {
  std::string text(kCompileHeadline);
  text += "\rИмя файла: \"";
  text += fileName_;
  text += '"';
  if (!keyword.empty()) {
    text += "\rФункция: \"";
    text += keyword;
    text += '"';
  }
  if (parameter > 0) text += "\rПараметр №" + std::to_string(parameter) + '.';
  text += '\r';
  text += message;
  host_.messageBox(text, kCompileCaption, MsgButtons::Ok, MsgIcon::Error);
}

int Compiler::skipComment() {
  for (;;) {
    const int c = in_.get();
    if (c == kEof) return kReadUnexpectedEof;
    if (c == '\n') return kReadNoCrBeforeLf;
    if (c == '\r') {
      const int next = in_.get();
      if (next == '\n') return kReadOk;
      return next == kEof ? kReadUnexpectedEof : kReadNoLfAfterCr;
    }
  }
}

std::string Compiler::readWord() {
  std::string word;
  for (;;) {
    int c = in_.get();
    if (c == kEof) break;
    if (!IsWordChar(c)) {
      in_.unget();
      break;
    }
    if ((c >= 0x61 && c <= 0x7A) || c >= 0xE0) c -= 0x20;
    word += static_cast<char>(c);
  }
  return word;
}

Number Compiler::readNumber() {
  bool negative = false;
  int c;
  for (;;) {
    c = in_.get();
    if (c == kEof) return {kReadEofNoNumber};
    if (c == '\r' || c == '\n') return {kReadEolNoNumber};
    if (c == '-') negative = true;
    if ((c >= '0' && c <= '9') || c == 'x' || c == 'X' || c == '$' || c == 'b' || c == 'B') break;
  }
  Number n;
  bool hex = c == 'x' || c == 'X' || c == '$';
  if (c >= '0' && c <= '9') {
    n.value = static_cast<uint64_t>(c - '0');
    const bool leadingZero = c == '0';
    bool first = true;
    for (;;) {
      c = in_.get();
      if (c == kEof) return {kReadUnexpectedEof};
      if (first && leadingZero && (c == 'x' || c == 'X')) {
        hex = true;
        break;
      }
      first = false;
      if (c < '0' || c > '9') {
        in_.unget();
        if (negative) n.value = ~n.value + 1;
        return n;
      }
      n.value = n.value * 10 + static_cast<uint64_t>(c - '0');
    }
    n.value = 0;
  }
  if (hex) {
    for (int pairs = 0;; ++pairs) {
      c = in_.get();
      if (c == kEof) return {kReadUnexpectedEof};
      const int high = HexDigit(c);
      if (high < 0) {
        in_.unget();
        return n;
      }
      if (pairs == 8) return {kReadTooBig};
      c = in_.get();
      if (c == kEof) return {kReadUnexpectedEof};
      const int low = HexDigit(c);
      if (low < 0) return {kReadOddHex};
      n.value |= static_cast<uint64_t>(high * 16 + low) << (8 * pairs);
    }
  }
  // Binary: the first digit written is bit 0.
  for (int bits = 0;;) {
    c = in_.get();
    if (c == kEof) return {kReadUnexpectedEof};
    if (c == '.' || c == '|' || c == '-') continue;
    if (c != '0' && c != '1') {
      in_.unget();
      return n;
    }
    if (bits == 64) return {kReadTooBig};
    if (c == '1') n.value |= uint64_t{1} << bits;
    ++bits;
  }
}

int Compiler::readString(std::string& out) {
  for (;;) {
    const int c = in_.get();
    if (c == kEof) return kReadEofNoOpenQuote;
    if (c == '\r' || c == '\n') return kReadEolNoOpenQuote;
    if (c == '"' || c == '\'') break;
  }
  out.clear();
  for (;;) {
    const int c = in_.get();
    if (c == kEof) return kReadEofNoCloseQuote;
    if (c == '\r' || c == '\n') return kReadEolNoCloseQuote;
    if (c == '"' || c == '\'') return kReadOk;
    out += static_cast<char>(c);
  }
}

bool Compiler::parameter(const KeywordEntry& entry, int index, int width, int bias,
                         uint64_t* value) {
  const Number n = readNumber();
  if (n.code != kReadOk) {
    report(ReadMessage(n.code), entry.utf8, index);
    return false;
  }
  if (value != nullptr) *value = n.value;
  emitLittleEndian(n.value + static_cast<uint64_t>(bias), width);
  return true;
}

bool Compiler::stringParameter(const KeywordEntry& entry, std::string& out) {
  const int code = readString(out);
  if (code != kReadOk) {
    report(ReadMessage(code), entry.utf8, 1);
    return false;
  }
  if (out.find('\0') != std::string::npos) {
    // A zero byte would end the name early and shift the operands after it.
    report(kZeroInString, entry.utf8, 1);
    return false;
  }
  return true;
}

void Compiler::endChain() {
  if (chains_.empty()) return;
  const Chain& chain = chains_.back();
  for (auto it = chain.closeOperands.rbegin(); it != chain.closeOperands.rend(); ++it)
    patch(*it, tables_.program.size());
  chains_.pop_back();
}

Step Compiler::word(const std::string& word) {
  const KeywordEntry* entry = FindKeyword(word);
  const bool continuesChain =
      entry != nullptr && (entry->keyword == Keyword::Else || entry->keyword == Keyword::ElseIf);
  if (previous_ == "}" && !continuesChain) endChain();
  const Step step = entry != nullptr ? keyword(*entry) : Step::Continue;
  previous_ = word;
  if (step == Step::Continue && tables_.program.size() + 1 > roomLimit()) {
    report(kProgramAreaFull);
    return Step::Drop;
  }
  return step;
}

Step Compiler::keyword(const KeywordEntry& entry) {
  const auto test = [&](Opcode op) {
    emit(op);
    return parameter(entry, 1, 1, -1) && parameter(entry, 2, 1) && parameter(entry, 3, 8) &&
                   parameter(entry, 4, 8) && parameter(entry, 5, 1)
               ? Step::Continue
               : Step::Drop;
  };
  const auto slot = [&]() {
    uint64_t value = 0;
    if (!parameter(entry, 1, 1, 0, &value)) return false;
    if (value >= kValueSlots) {
      report(kBadSlot, entry.utf8, 1);
      return false;
    }
    return true;
  };

  switch (entry.keyword) {
    case Keyword::None: return Step::Continue;
    case Keyword::Name: {
      std::string name;
      if (!stringParameter(entry, name)) return Step::Drop;
      name_ = std::move(name);
      nameSeen_ = true;
      return Step::Continue;
    }
    case Keyword::Size:
      emit(kOpSize);
      sizeSeen_ = true;
      return parameter(entry, 1, 1) ? Step::Continue : Step::Drop;
    case Keyword::CondSize:
      emit(kOpCondSize);
      return parameter(entry, 1, 1) && parameter(entry, 2, 1, -1) && parameter(entry, 3, 1) &&
                     parameter(entry, 4, 8) && parameter(entry, 5, 8)
                 ? Step::Continue
                 : Step::Drop;
    case Keyword::Level:
      emit(kOpLevel);
      levelSeen_ = true;
      return parameter(entry, 1, 1) ? Step::Continue : Step::Drop;
    case Keyword::Bytes: return test(kOpBytes);
    case Keyword::Less: return test(kOpLess);
    case Keyword::Greater: return test(kOpGreater);
    case Keyword::Expect:
      emit(kOpExpect);
      return slot() && parameter(entry, 2, 8) && parameter(entry, 3, 8) && parameter(entry, 4, 1)
                 ? Step::Continue
                 : Step::Drop;
    case Keyword::Offset:
      emit(kOpOffset);
      return parameter(entry, 1, 2) && parameter(entry, 2, 1) ? Step::Continue : Step::Drop;
    case Keyword::Mother: {
      emit(kOpMother);
      std::string name;
      if (!stringParameter(entry, name)) return Step::Drop;
      tables_.program.insert(tables_.program.end(), name.begin(), name.end());
      emit(0);
      return parameter(entry, 2, 1) ? Step::Continue : Step::Drop;
    }
    case Keyword::CheckSize:
      emit(kOpCheckSize);
      return parameter(entry, 1, 1) && parameter(entry, 2, 1) ? Step::Continue : Step::Drop;
    case Keyword::Fetch: {
      emit(kOpFetch);
      if (!slot() || !parameter(entry, 2, 1, -1)) return Step::Drop;
      uint64_t size = 0;
      if (!parameter(entry, 3, 1, 0, &size)) return Step::Drop;
      if (size < 1 || size > 8) {
        report(kBadFetchSize, entry.utf8, 3);
        return Step::Drop;
      }
      return Step::Continue;
    }
    case Keyword::Last: emit(kOpLast); return Step::Continue;
    case Keyword::Null: {
      emit(kOpNull);
      uint64_t value = 0;
      if (!parameter(entry, 1, 1, 0, &value)) return Step::Drop;
      // Any other number would be executed as an instruction code of its own.
      if (value != 0) {
        report(kNullNotZero, entry.utf8, 1);
        return Step::Drop;
      }
      return Step::Continue;
    }
    case Keyword::If:
      if (IsKeyword(previous_, Keyword::Else)) {  // "ИНАЧЕ ЕСЛИ" is one ИНАЧЕЕСЛИ
        tables_.program.back() = kOpElseIf;
        return Step::Continue;
      }
      if (chains_.size() >= kMaxChainDepth) {
        report(kTooDeep, entry.utf8);
        return Step::Drop;
      }
      emit(kOpIf);
      chains_.push_back(Chain{1, {}, {}});
      return Step::Continue;
    case Keyword::ElseIf:
    case Keyword::Else:
      if (previous_ != "}" || chains_.empty()) {
        report(kElseWithoutBlock, entry.utf8);
        return Step::StopLoad;
      }
      if (chains_.back().branches >= kMaxBranches) {
        report(kTooManyBranches, entry.utf8);
        return Step::Drop;
      }
      emit(entry.keyword == Keyword::Else ? kOpElse : kOpElseIf);
      ++chains_.back().branches;
      return Step::Continue;
    case Keyword::Open:
      if (chains_.empty()) {
        report(kOpenWithoutCondition, entry.utf8);
        return Step::StopLoad;
      }
      if (chains_.back().openOperand) {
        report(kOpenTwice, entry.utf8);
        return Step::Drop;
      }
      emit(kOpOpen);
      chains_.back().openOperand = tables_.program.size();
      emitLittleEndian(0, 2);
      return Step::Continue;
    case Keyword::Close: {
      if (chains_.empty() || chains_.back().branches == 0) {
        report(kCloseWithoutBlock, entry.utf8);
        return Step::Drop;
      }
      Chain& chain = chains_.back();
      if (!chain.openOperand) {
        report(kCloseWithoutOpen, entry.utf8);
        return Step::Drop;
      }
      emit(kOpClose);
      chain.closeOperands.push_back(tables_.program.size());
      emitLittleEndian(0, 2);
      patch(*chain.openOperand, tables_.program.size());
      chain.openOperand.reset();
      return Step::Continue;
    }
  }
  return Step::Continue;
}

CompileOutcome Compiler::run() {
  bool dropped = false;
  bool reachedEnd = false;
  for (;;) {
    const int c = in_.get();
    if (c == kEof) {
      reachedEnd = true;
      break;
    }
    if (c == ';') {
      const int code = skipComment();
      if (code != kReadOk) {
        report(ReadMessage(code));
        tables_.program.resize(start_);
        return CompileOutcome::Dropped;
      }
      continue;
    }
    if (!IsWordStart(c)) continue;
    in_.unget();
    const Step step = word(readWord());
    if (step == Step::StopLoad) {
      tables_.program.resize(start_);
      return CompileOutcome::LoadStopped;
    }
    if (step == Step::Drop) {
      dropped = true;
      break;
    }
  }

  if (reachedEnd) {
    if (previous_ == "}") endChain();
    // Unpatched jumps would send the analyser to position 0 of the program area.
    if (!chains_.empty()) {
      report(kUnclosed);
      dropped = true;
    }
  }
  if (!nameSeen_) report(kNoName);
  if (!sizeSeen_) {
    report(kNoSize);
    emit(kOpSize);
    emit(1);
  }
  if (!levelSeen_) {
    report(kNoLevel);
    emit(kOpLevel);
    emit(0);
  }
  emit(kOpEnd);
  if (!dropped && tables_.program.size() > roomLimit()) {
    report(kProgramAreaFull);
    dropped = true;
  }
  if (!dropped && tables_.count() + 2 >= kMaxProtocols) {
    report(kTooManyProtocols);
    dropped = true;
  }
  if (dropped) {
    tables_.program.resize(start_);
    return CompileOutcome::Dropped;
  }
  if (!nameSeen_) name_ = "Unnamed" + std::to_string(unnamedNumber_++);
  tables_.names.push_back(std::move(name_));
  tables_.starts.push_back(static_cast<uint16_t>(start_));
  return CompileOutcome::Kept;
}

}  // namespace

CompileOutcome CompileDescription(std::span<const uint8_t> text, std::string_view fileName,
                                  ProtocolTables& tables, uint32_t& unnamedNumber, CHost& host) {
  return Compiler(text, fileName, tables, unnamedNumber, host).run();
}

void AppendBuiltInProtocols(ProtocolTables& tables) {
  for (const char* name : {kNotAnalysedName, kBadCrcName}) {
    tables.starts.push_back(static_cast<uint16_t>(tables.program.size()));
    tables.names.emplace_back(name);
    tables.program.push_back(kOpNull);
    tables.program.push_back(kOpEnd);
  }
}

}  // namespace pakscope

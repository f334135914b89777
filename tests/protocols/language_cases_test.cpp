// Runs every case of data/language_cases.txt: a description, what it must
// compile to, and the message boxes it must show.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "protocol_test_util.h"

namespace pakscope::test {
namespace {

struct LanguageCase {
  std::string title;
  std::string ends = "crlf";
  std::vector<std::string> source;
  std::string outcome;
  std::string name;
  std::vector<uint8_t> program;
  std::vector<std::string> messages;
};

std::vector<uint8_t> ParseHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
  return bytes;
}

std::vector<LanguageCase> LoadCases() {
  std::ifstream in(std::string(PAKSCOPE_SOURCE_DIR) + "/tests/protocols/data/language_cases.txt");
  std::vector<LanguageCase> cases;
  std::string line;
  bool inSource = false, inMessages = false;
  while (std::getline(in, line)) {
    if (inSource) {
      if (line == "end.")
        inSource = false;
      else
        cases.back().source.push_back(line);
      continue;
    }
    if (line.rfind("== ", 0) == 0) {
      cases.emplace_back();
      cases.back().title = line.substr(3);
      inMessages = false;
    } else if (line.empty() || line[0] == '#') {
      inMessages = false;
    } else if (inMessages) {
      cases.back().messages.push_back(line);
    } else if (line == "source:") {
      inSource = true;
    } else if (line == "messages:") {
      inMessages = true;
    } else if (line.rfind("ends: ", 0) == 0) {
      cases.back().ends = line.substr(6);
    } else if (line.rfind("outcome: ", 0) == 0) {
      cases.back().outcome = line.substr(9);
    } else if (line.rfind("name: ", 0) == 0) {
      cases.back().name = line.substr(6);
    } else if (line.rfind("program: ", 0) == 0) {
      cases.back().program = ParseHex(line.substr(9));
    }
  }
  return cases;
}

std::vector<uint8_t> SourceBytes(const LanguageCase& c) {
  const std::string eol = c.ends == "lf" ? "\n" : "\r\n";
  std::string text;
  for (size_t i = 0; i < c.source.size(); ++i) {
    text += Cp1251FromUtf8(c.source[i]);
    if (i + 1 < c.source.size() || c.ends != "none") text += eol;
  }
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
      bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return {bytes.begin(), bytes.end()};
}

std::string ExpectedMessage(const std::string& line) {
  std::string text = "Ошибка при чтении конфигурации\rИмя файла: \"case.CFG\"\r";
  for (size_t i = 0; i < line.size(); ++i) {
    if (line.compare(i, 3, " | ") == 0) {
      text += '\r';
      i += 2;
    } else if (line.compare(i, 2, "\\n") == 0) {
      text += '\n';
      ++i;
    } else {
      text += line[i];
    }
  }
  return text;
}

// The same program compiled at `shift` bytes further into the program area:
// only the jump positions change.
std::vector<uint8_t> Relocated(std::vector<uint8_t> p, size_t shift) {
  size_t ip = 0;
  while (ip < p.size()) {
    const uint8_t code = p[ip];
    size_t length = 1;
    switch (code) {
      case kOpOpen:
      case kOpClose: {
        const size_t target = p[ip + 1] + p[ip + 2] * 256u + shift;
        p[ip + 1] = static_cast<uint8_t>(target);
        p[ip + 2] = static_cast<uint8_t>(target >> 8);
        length = 3;
        break;
      }
      case kOpBytes:
      case kOpLess:
      case kOpGreater:
      case kOpCondSize: length = 20; break;
      case kOpExpect: length = 19; break;
      case kOpOffset:
      case kOpFetch: length = 4; break;
      case kOpCheckSize: length = 3; break;
      case kOpLevel:
      case kOpSize:
      case kOpNull: length = 2; break;
      case kOpMother:
        while (p[ip + length] != 0) ++length;
        length += 2;
        break;
      default: break;
    }
    ip += length;
  }
  return p;
}

class LanguageCaseTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageCaseTest, CompilesAsListedAlsoAfterAnotherFile) {
  const LanguageCase& c = GetParam();
  ASSERT_FALSE(c.outcome.empty()) << "case without outcome";
  const std::vector<uint8_t> source = SourceBytes(c);
  std::vector<std::string> expected;
  for (const std::string& m : c.messages) expected.push_back(ExpectedMessage(m));

  ProtocolTables tables;
  uint32_t unnamed = 1;
  size_t startOfSecond = 0;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "first file of the load" : "second file of the load");
    RecordingHost host;
    const size_t start = tables.program.size();
    const size_t namesBefore = tables.count();
    const CompileOutcome outcome = CompileDescription(source, "case.CFG", tables, unnamed, host);
    EXPECT_EQ(host.messageTexts(), expected);
    for (const RecordingHost::Message& m : host.messages) {
      EXPECT_EQ(m.caption, "Ошибка");
      EXPECT_EQ(m.icon, MsgIcon::Error);
      EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
    if (c.outcome == "kept") {
      ASSERT_EQ(outcome, CompileOutcome::Kept);
      ASSERT_EQ(tables.count(), namesBefore + 1);
      EXPECT_EQ(tables.starts.back(), start);
      const std::vector<uint8_t> program(tables.program.begin() + static_cast<long>(start),
                                         tables.program.end());
      EXPECT_EQ(program, Relocated(c.program, start));
      std::string name = c.name;
      if (round == 1 && name == "Unnamed1") name = "Unnamed2";
      EXPECT_EQ(Utf8FromCp1251(tables.names.back()), name);
      startOfSecond = tables.program.size();
    } else {
      EXPECT_EQ(outcome,
                c.outcome == "dropped" ? CompileOutcome::Dropped : CompileOutcome::LoadStopped);
      EXPECT_EQ(tables.count(), namesBefore);
      EXPECT_EQ(tables.program.size(), start);
    }
  }
  if (c.outcome == "kept") {
    EXPECT_EQ(startOfSecond, 2 * c.program.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LanguageCaseTest, ::testing::ValuesIn(LoadCases()),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

TEST(LanguageCases, FileIsFound) {
  EXPECT_GE(LoadCases().size(), 40u);
}

}  // namespace
}  // namespace pakscope::test

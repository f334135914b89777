#include "usage_texts.h"

#include <memory>
#include <regex>

namespace pakscope::cli {

namespace {

constexpr const char* kHelpText = "Показать эту справку и выйти";
constexpr size_t kNameColumn = 34;
constexpr size_t kLineWidth = 100;

// Characters, not bytes, of UTF-8 text: Cyrillic takes two bytes a letter.
size_t widthOf(std::string_view text) {
  size_t width = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  return width;
}

// CLI11's layout with columns counted in characters, and descriptions wrapped
// at word boundaries to fit a terminal.
class RussianFormatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* option, bool positional) const override {
    std::string line = "  " + make_option_name(option, positional) + make_option_opts(option);
    const std::string description = make_option_desc(option);
    if (description.empty()) return line + "\n";
    std::string out;
    if (widthOf(line) >= kNameColumn) {
      out = line + "\n";
      line.clear();
    }
    line += std::string(kNameColumn - widthOf(line), ' ');
    for (size_t at = 0; at < description.size();) {
      size_t end = description.find(' ', at);
      if (end == std::string::npos) end = description.size();
      const std::string_view word(description.data() + at, end - at);
      if (widthOf(line) > kNameColumn && widthOf(line) + 1 + widthOf(word) > kLineWidth) {
        out += line + "\n";
        line = std::string(kNameColumn, ' ');
      } else if (widthOf(line) > kNameColumn) {
        line += ' ';
      }
      line += word;
      at = end + 1;
    }
    return out + line + "\n";
  }
};

void useRussianIn(CLI::App& app, const std::shared_ptr<CLI::Formatter>& formatter) {
  app.formatter(formatter);
  if (CLI::Option* help = app.get_help_ptr()) help->description(kHelpText);
  for (CLI::Option* option : app.get_options())
    if (option->get_group() == "Options") option->group("Параметры");
  for (CLI::App* command : app.get_subcommands({})) {
    command->group("Команды");
    useRussianIn(*command, formatter);
  }
}

struct Translation {
  std::regex english;
  const char* russian;
};

// CLI11's own messages, as its Error classes build them.
const std::vector<Translation>& translations() {
  static const std::vector<Translation> table = [] {
    const std::pair<const char*, const char*> rows[] = {
        {"(\\S+) is required", "не задан обязательный аргумент $1"},
        {"Requires at least \\d+ subcommands.*", "не задана команда"},
        {"The following arguments? (?:was|were) not expected: (.*)", "лишние аргументы: $1"},
        {"Could not convert: (\\S+) = (.*)", "$1: «$2» — не число нужного вида"},
        {"(\\S+): Value (\\S+) not in range (\\S+) to (\\S+)",
         "$1: значение $2 вне пределов от $3 до $4"},
        {"(\\S+) excludes (\\S+)", "$1 нельзя задавать вместе с $2"},
        {"(\\S+) requires (\\S+)", "$1 требует $2"},
        {"(\\S+): \\d+ required \\S+ missing", "$1: не задано значение"},
        {"Expected (?:exactly|at least) \\d+ arguments to (\\S+), got \\d+",
         "$1: не то число значений"},
        {"(\\S+): too many inputs for a flag", "$1: флаг не принимает значения"},
        {"(\\S+): Should be true/false or a number", "$1: нужно true, false или число"},
        {"The value (.*) is not an allowed value for (\\S+)", "$2: недопустимое значение $1"},
        {"(\\S+) not found", "$1: нет такого параметра"},
    };
    std::vector<Translation> built;
    for (const auto& [english, russian] : rows) built.push_back({std::regex(english), russian});
    return built;
  }();
  return table;
}

}  // namespace

void UseRussianTexts(CLI::App& app) {
  auto formatter = std::make_shared<RussianFormatter>();
  const std::pair<const char*, const char*> labels[] = {
      {"Usage", "Использование"},
      {"OPTIONS", "ПАРАМЕТРЫ"},
      {"SUBCOMMAND", "КОМАНДА"},
      {"SUBCOMMANDS", "КОМАНДЫ"},
      {"Positionals", "Аргументы"},
      {"REQUIRED", "обязательно"},
      {"Needs", "Нужен"},
      {"Excludes", "Исключает"},
      {"TEXT", "ТЕКСТ"},
      {"INT", "ЧИСЛО"},
      {"UINT", "ЧИСЛО"},
      {"FLOAT", "ЧИСЛО"},
  };
  for (const auto& [key, value] : labels) formatter->label(key, value);
  formatter->column_width(kNameColumn);
  useRussianIn(app, formatter);
  if (CLI::Option* version = app.get_version_ptr()) version->description("Показать версию и выйти");
  app.failure_message([](const CLI::App* failed, const CLI::Error& error) {
    return "pakscope-cli: " + ParseErrorText(*failed, error, {}) + "\n";
  });
}

std::string ParseErrorText(const CLI::App& app, const CLI::Error& error,
                           const std::vector<std::string>& arguments) {
  const std::string what = error.what();
  if (what == "A subcommand is required" || what.starts_with("Requires at least")) {
    // The first word that is no option names the command that was not found.
    for (const std::string& argument : arguments)
      if (!argument.empty() && argument.front() != '-') return "Неизвестная команда: " + argument;
    if (app.get_subcommands().empty()) return "не задана команда";
  }
  for (const Translation& t : translations())
    if (std::regex_match(what, t.english)) return std::regex_replace(what, t.english, t.russian);
  // The validators of the tool already speak Russian.
  return what;
}

}  // namespace pakscope::cli

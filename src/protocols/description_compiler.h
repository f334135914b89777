#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "packets/host.h"
#include "protocols/protocol_tables.h"

namespace pakscope {

enum class CompileOutcome {
  Kept,         // the protocol was added to the tables
  Dropped,      // this description was refused; the tables are as before
  LoadStopped,  // an error that ends the whole load (a misplaced ИНАЧЕ or "{")
};

// Compiles one description file's bytes into `tables`. Messages go to `host`
// as error boxes naming `fileName`. `unnamedNumber` numbers the descriptions
// without a name within one load and is advanced for each one kept.
CompileOutcome CompileDescription(std::span<const uint8_t> text, std::string_view fileName,
                                  ProtocolTables& tables, uint32_t& unnamedNumber, CHost& host);

// Appends the built-in protocols "n/a" and "Bad CRC" after the last description.
void AppendBuiltInProtocols(ProtocolTables& tables);

// The caption of the compiler's message boxes and the first line of their text.
inline constexpr std::string_view kCompileCaption = "Ошибка";
inline constexpr std::string_view kCompileHeadline = "Ошибка при чтении конфигурации";

}  // namespace pakscope

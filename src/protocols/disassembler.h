#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocols/protocol_tables.h"

namespace pakscope {

// The compiled program of one protocol as text, one instruction a line:
// its program-area position, its bytes in hexadecimal and the keyword with the
// operands as they would be written. Lets description authors see what their
// file became.
std::vector<std::string> DisassembleProtocol(const ProtocolTables& tables, uint16_t protocol);

}  // namespace pakscope

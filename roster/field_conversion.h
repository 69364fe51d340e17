#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// A field's hex text in file order ("2A01": low byte first) to the selection index it stands
// for, as a 16-bit two's-complement number: "2A01" -> 298, "FFFF" -> -1, "0080" -> -32768.
// The text must hold exactly four hex digits, as ReadHEX returns for a two-byte field.
std::int16_t SelectionFromFieldText(const std::string& fileOrderHex);

// A selection index to the hex text in file order to write: 298 -> "2A01", -1 -> "FFFF".
std::string FieldTextFromSelection(std::int16_t selection);

} // namespace kelvarin

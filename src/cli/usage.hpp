#pragma once

namespace darvex {

// Printed, exactly as it stands, when the tool is started without an archive.
inline constexpr const char USAGE_TEXT[] =
    "\nDarvane Extractor v0.9 by the DarvEx developers\n\n DarvEx file.dat";

}  // namespace darvex

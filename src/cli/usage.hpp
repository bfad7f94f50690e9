#pragma once

// DARVEX_VERSION comes from the build (CMake's project() version), its one source.
#ifndef DARVEX_VERSION
#error "DARVEX_VERSION must be defined by the build"
#endif

namespace darvex {

// Printed, exactly as it stands, when the tool is started without an argument.
inline constexpr const char USAGE_TEXT[] =
    "\nDarvane Extractor v" DARVEX_VERSION " by the DarvEx developers\n\n DarvEx file.dat";

}  // namespace darvex

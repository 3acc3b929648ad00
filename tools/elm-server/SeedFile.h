#pragma once

#include <cstdint>
#include <string>

namespace elmserver {

class PdmStore;

/// What one seed file brought into the store.
struct SeedSummary {
  int settings = 0;
  int structures = 0;
  int processes = 0;
};

/// Loads settings, named structures and processes from a seed document into
/// the store, all in one transaction: a file with any error changes nothing.
/// Returns false with a message naming the element at fault.
bool LoadSeed(PdmStore& store, const std::string& xmlText, SeedSummary& summary, std::string& error);
/// Larger seed files are refused before they are read.
inline constexpr std::uintmax_t kMaxSeedFileBytes = std::uintmax_t{64} << 20;

bool LoadSeedFile(PdmStore& store, const std::string& path, SeedSummary& summary, std::string& error);

}  // namespace elmserver

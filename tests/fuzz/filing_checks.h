// The filing invariants that two fuzz targets share: a built name that the
// module takes as safe stays under the storage root, and filing it leaves the
// file exactly where the module says it is.
#ifndef TESTS_FUZZ_FILING_CHECKS_H
#define TESTS_FUZZ_FILING_CHECKS_H

#include <filesystem>
#include <string>

namespace fuzz {

// Files `received` under `root` as `name` (Windows form, as built) through
// the module's filing code and checks the outcome; empties `root` afterwards.
void fileAndCheck(const std::filesystem::path& root, const std::string& name,
                  const std::filesystem::path& received);

} // namespace fuzz

#endif // TESTS_FUZZ_FILING_CHECKS_H

// The fuzz targets' entry points: each takes arbitrary bytes, runs them
// through the real code (the platform, the module's filing and settings code,
// the real toolkit component) and aborts with a message on standard error when
// an invariant breaks. libFuzzer programs call them (libfuzzer_main.cpp, clang
// builds only), and so does the regression test, which replays saved inputs
// in every build.
//
// Not thread-safe: call from one thread, the same one every time (the first
// call puts it in a COM apartment and registers the toolkit's classes).
#ifndef TESTS_FUZZ_FUZZ_TARGETS_H
#define TESTS_FUZZ_FUZZ_TARGETS_H

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The bytes as a received file: loaded through the component, named from a
// template with keywords of every kind of value, then filed under a scratch
// storage root.
int loadAndNameOne(const std::uint8_t* data, std::size_t size);

// The bytes as fields (see template_target.cpp): a file-name template, two AE
// titles, a character set and attribute values, written into a DICOM file;
// the template is compiled and expanded for that file.
int templateOne(const std::uint8_t* data, std::size_t size);

// The bytes as a settings file, read through the profile functions and the
// module's settings reader.
int profileOne(const std::uint8_t* data, std::size_t size);

} // namespace fuzz

#endif // TESTS_FUZZ_FUZZ_TARGETS_H

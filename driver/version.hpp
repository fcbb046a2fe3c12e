// Identification of this build, shown by the banner and the usage text.
#pragma once

namespace kestrane_version {
constexpr const char *kToolName = "Kestrane";
constexpr const char *kVersion = "0.5";
constexpr const char *kReleaseDate = "2026-12-07";
constexpr const char *kReleaseId = "0.5 (2026-12-07)";
constexpr const char *kReleaseRef = "kestrane-0.5";
constexpr const char *kBuildTime = __DATE__ " " __TIME__;
constexpr const char *kAuthor = "the Kestrane developers";
constexpr const char *kContact = "kestrane@example.org";
} // namespace kestrane_version

#pragma once
// Version information embedded in a binary, found again in the file by path
// (the stand-in for version resources). A binary declares its block once:
//   QV_VERSION_INFO("FileVersion=1.0.0.0\0ProductName=Quorvel\0");
// The program, modules and plug-ins get theirs from the build, with the
// project's version (qv_version_block in cmake/Quorvel.cmake).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#define QV_VERSION_MARKER "\x01QVVERSIONINFO\x01"
#define QV_VERSION_INFO(pairs)                                                        \
  extern "C" __attribute__((used, section(".qvversion"), visibility("hidden")))     \
  const char qv_version_info_block[] = QV_VERSION_MARKER pairs "\0"

namespace qv {

// The value named key ("FileVersion", "ProductName", ...) of the file's block.
std::optional<std::string> ReadVersionValue(const std::filesystem::path& file, std::string_view key);

}  // namespace qv

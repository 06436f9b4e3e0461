# Turns every payload file named in the manifest into a byte array of the generated
# source, with the build's payload facts (placeholders or real, the manifest's checksum).
# Run as: cmake -DMANIFEST=... -DPAYLOAD_DIR=... -DOUTPUT=... -P EmbedPayloads.cmake
include(${CMAKE_CURRENT_LIST_DIR}/PayloadManifest.cmake)
vb7350_read_payload_manifest("${MANIFEST}" "${PAYLOAD_DIR}" ids names files)

set(arrays "")
set(entries "")
# The checksum covers what the program writes out: each id, its name and its bytes.
set(checksummed "")
# A placeholder says so in its first line; one of them makes the whole build a placeholder
# build, whichever folder it came from.
# Compared as hex: a driver's first bytes may be anything, NUL included.
string(HEX "PLACEHOLDER - NOT A WORKING FILE" placeholder_mark)
set(placeholders false)
foreach(id name path IN ZIP_LISTS ids names files)
  file(READ "${path}" hex HEX)
  string(FIND "${hex}" "${placeholder_mark}" mark_at)
  if(mark_at EQUAL 0)
    set(placeholders true)
  endif()
  file(SHA256 "${path}" file_sha)
  string(APPEND checksummed "${id} ${name} ${file_sha}\n")
  string(LENGTH "${hex}" hex_length)
  if(hex_length EQUAL 0)
    # A zero-length array is not C++; keep one byte and record the size 0.
    string(APPEND arrays "constexpr std::uint8_t kPayload${id}[1] = {0};\n")
    string(APPEND entries "    {${id}, \"${name}\", std::span<const std::uint8_t>(kPayload${id}, 0)},\n")
  else()
    # 32 bytes a line keeps the generated source readable for large drivers.
    string(REGEX REPLACE "(................................................................)" "\\1\n" hex "${hex}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "constexpr std::uint8_t kPayload${id}[] = {\n${bytes}\n};\n")
    string(APPEND entries "    {${id}, \"${name}\", kPayload${id}},\n")
  endif()
endforeach()
string(SHA256 checksum "${checksummed}")

set(content "// Generated from ${MANIFEST} by EmbedPayloads.cmake; do not edit.
#include \"payloads/Payloads.h\"

namespace {
${arrays}
constexpr EmbeddedPayload kAll[] = {
${entries}};
}  // namespace

std::span<const EmbeddedPayload> EmbeddedPayloads() { return kAll; }

PayloadBuild EmbeddedPayloadBuild() { return {${placeholders}, \"${checksum}\"}; }
")
file(WRITE "${OUTPUT}" "${content}")

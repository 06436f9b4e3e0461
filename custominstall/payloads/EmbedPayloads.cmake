# Turns every payload file named in the manifest into a byte array of PayloadData.cpp.
# Run as: cmake -DMANIFEST=... -DPAYLOAD_DIR=... -DOUTPUT=... -P EmbedPayloads.cmake
file(STRINGS "${MANIFEST}" manifest_lines)
set(arrays "")
set(entries "")
foreach(line IN LISTS manifest_lines)
  if(line MATCHES "^[ \t]*(#.*)?$")
    continue()
  endif()
  if(NOT line MATCHES "^[ \t]*([0-9]+)[ \t]+([^ \t]+)[ \t]*$")
    message(FATAL_ERROR "${MANIFEST}: cannot read the line '${line}' (expected: id file-name)")
  endif()
  set(id ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  set(path "${PAYLOAD_DIR}/${name}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "Payload '${name}' (id ${id}) named in ${MANIFEST} is missing: ${path}")
  endif()
  file(READ "${path}" hex HEX)
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

set(content "// Generated from ${MANIFEST} by EmbedPayloads.cmake; do not edit.
#include \"payloads/Payloads.h\"

namespace {
${arrays}
constexpr EmbeddedPayload kAll[] = {
${entries}};
}  // namespace

std::span<const EmbeddedPayload> EmbeddedPayloads() { return kAll; }
")
file(WRITE "${OUTPUT}" "${content}")

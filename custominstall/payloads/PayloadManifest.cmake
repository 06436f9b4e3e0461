# Reads payloads.manifest: the one parser of its "id file-name" lines, used when the
# build is configured (to check the payload folder) and when the payloads are embedded.
#
# vb7350_read_payload_manifest(<manifest> <payload-dir> <out-ids> <out-names> <out-files>)
# Stops with a clear message on a line it cannot read or a file missing from the folder.
function(vb7350_read_payload_manifest manifest payload_dir out_ids out_names out_files)
  file(STRINGS "${manifest}" manifest_lines)
  set(ids "")
  set(names "")
  set(files "")
  foreach(line IN LISTS manifest_lines)
    if(line MATCHES "^[ \t]*(#.*)?$")
      continue()
    endif()
    if(NOT line MATCHES "^[ \t]*([0-9]+)[ \t]+([^ \t]+)[ \t]*$")
      message(FATAL_ERROR "${manifest}: cannot read the line '${line}' (expected: id file-name)")
    endif()
    set(file "${payload_dir}/${CMAKE_MATCH_2}")
    if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
      message(FATAL_ERROR
        "Payload '${CMAKE_MATCH_2}' (id ${CMAKE_MATCH_1}) is missing from the payload folder "
        "${payload_dir} (VB7350_PAYLOAD_DIR). Every file of ${manifest} must be there.")
    endif()
    list(APPEND ids "${CMAKE_MATCH_1}")
    list(APPEND names "${CMAKE_MATCH_2}")
    list(APPEND files "${file}")
  endforeach()
  set(${out_ids} "${ids}" PARENT_SCOPE)
  set(${out_names} "${names}" PARENT_SCOPE)
  set(${out_files} "${files}" PARENT_SCOPE)
endfunction()

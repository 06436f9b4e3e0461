# vb7350_include_root(<target> [<folder>])
# Gives <target> an include root of its own: a folder in the build tree that holds
# one link, named like <folder> (default: the calling folder), to <folder>. Sources
# include by folder ("download/Frame.h"), so a target finds a folder's headers only
# when it links the target that owns that folder; every other folder of the
# program stays out of sight.
function(vb7350_include_root target)
  set(folder ${ARGV1})
  if(NOT folder)
    set(folder ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  get_filename_component(name ${folder} NAME)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
  set(link ${root}/${name})
  file(MAKE_DIRECTORY ${root})
  # Made again only when missing or pointing elsewhere; file(REMOVE) drops the
  # link itself, never what it points to.
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} current)
    if(NOT current STREQUAL folder)
      file(REMOVE ${link})
    endif()
  endif()
  if(NOT IS_SYMLINK ${link})
    file(CREATE_LINK ${folder} ${link} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

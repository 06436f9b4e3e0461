# Applies VB7350_SANITIZE (e.g. "address,undefined" or "thread") to every target,
# and VB7350_FUZZ's instrumentation (coverage for libFuzzer, ASan, UBSan).
if(VB7350_SANITIZE)
  add_compile_options(-fsanitize=${VB7350_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VB7350_SANITIZE})
endif()
if(VB7350_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VB7350_FUZZ needs clang (libFuzzer): configure with CXX=clang++")
  endif()
  if(VB7350_SANITIZE)
    message(FATAL_ERROR "VB7350_FUZZ brings its own sanitizers; leave VB7350_SANITIZE empty")
  endif()
  # Every library is instrumented; only the fuzz executables link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

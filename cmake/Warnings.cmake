# Warning flags for the project's own targets. Link project_warnings PRIVATE;
# it is never exported.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  -Wconversion -Wsign-conversion -Wold-style-cast)
if(VB7350_WERROR)
  target_compile_options(project_warnings INTERFACE -Werror)
endif()

# Applies VB7350_SANITIZE (e.g. "address,undefined" or "thread") to every target.
if(VB7350_SANITIZE)
  add_compile_options(-fsanitize=${VB7350_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VB7350_SANITIZE})
endif()

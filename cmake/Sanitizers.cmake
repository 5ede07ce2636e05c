# Sanitizer builds: -DSANITIZE=address,undefined or -DSANITIZE=thread.
# Instruments every target of the build (module, core, tests) and makes any
# report fatal, so a test that triggers one fails. Qt and OpenCV stay
# uninstrumented; tests/sanitizers/ holds the suppressions for what they
# cause, and scripts/test-sanitizers passes them to the run-time.
set(SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread (empty: none)")

if(SANITIZE)
  string(REPLACE "," ";" sanitizers "${SANITIZE}")
  foreach(sanitizer IN LISTS sanitizers)
    if(NOT sanitizer MATCHES "^(address|undefined|thread|fuzzer-no-link)$")
      message(FATAL_ERROR "SANITIZE: unknown sanitizer \"${sanitizer}\"")
    endif()
  endforeach()
  if("thread" IN_LIST sanitizers AND "address" IN_LIST sanitizers)
    message(FATAL_ERROR "SANITIZE: thread and address cannot be combined")
  endif()

  add_compile_options(-fsanitize=${SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${SANITIZE})
  if("undefined" IN_LIST sanitizers)
    # Stop at the first undefined behaviour instead of printing and going on.
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# Warning levels, sanitizers and runtime linking shared by every target.

# Third-party sources built here (GoogleTest for Windows) reset these for their own directory.
add_compile_options(-Wall -Wextra)
if(ORTO_WERROR)
  add_compile_options(-Werror)
endif()

if(ORTO_SANITIZE)
  add_compile_options(-fsanitize=${ORTO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORTO_SANITIZE})
endif()

if(ORTO_FUZZ)
  # Coverage feedback for libFuzzer in every target; only the fuzz programs link its driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # Every .exe must run under wine (or on a bare Windows) with nothing beside it.
  add_link_options(-static)
elseif(NOT ORTO_SANITIZE)
  # A dynamically linked libstdc++ costs more start-up time than the whole rest of a run.
  add_link_options(-static-libstdc++ -static-libgcc)
endif()

# The executables of the project are given this object library on Windows, where it turns off
# the runtime's expansion of wildcards in the program's own arguments.
function(orto_add_executable name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE ortolib_program)
endfunction()

# Sanitizer builds instrument every translation unit, tests and programs alike.
if(KAVRI_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
elseif(KAVRI_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(KAVRI_SANITIZE STREQUAL "fuzz")
  # The fuzz build (clang): the address and undefined sanitizers, and libFuzzer's coverage in
  # every translation unit; fuzz/ links the fuzzer's own main into its harnesses.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined,float-cast-overflow
                      -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
elseif(NOT KAVRI_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KAVRI_SANITIZE must be empty, address or thread")
endif()

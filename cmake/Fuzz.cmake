# add_fuzz_target(NAME SOURCE CORPUS_DIR LIBRARIES...)
#
# A fuzz target defines LLVMFuzzerTestOneInput. With ENABLE_FUZZING (clang)
# it is built as a libFuzzer executable to run by hand:
#   build-fuzz/.../NAME -max_total_time=600 CORPUS_DIR
# Otherwise it is linked with a driver that replays every file of CORPUS_DIR,
# and the replay is a test.
option(ENABLE_FUZZING "Build the fuzz targets with libFuzzer (needs clang)" OFF)
if(ENABLE_FUZZING)
  # Everything the targets call is instrumented for coverage and checked.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(add_fuzz_target name source corpus)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN})
  if(ENABLE_FUZZING)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
    add_test(NAME ${name}_corpus COMMAND ${name} ${corpus})
  endif()
endfunction()

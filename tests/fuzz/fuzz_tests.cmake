# libFuzzer targets of every reader of outside data. Each ctest runs its
# target for a bounded time from the committed seeds (tests/fuzz/seeds/NAME,
# where a crash input found once is kept) and a scratch corpus in the build.
# Included from tests/CMakeLists.txt when ORVANTIC_FUZZ is on.
set(ORV_FUZZ_SECONDS 15 CACHE STRING "Seconds each fuzz target runs in ctest")
set(_orv_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})

function(orv_fuzz_target name)
  add_executable(${name} ${_orv_fuzz_dir}/${name}.cpp)
  target_compile_options(${name} PRIVATE ${ORV_WARNINGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARGN})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name}
    COMMAND ${name} -max_total_time=${ORV_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=1024
            -print_final_stats=1 -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz-corpus/${name}-
            ${corpus} ${_orv_fuzz_dir}/seeds/${name})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

orv_fuzz_target(fuzz_ini orvantic_platform)
orv_fuzz_target(fuzz_status_files orvantic_core)
orv_fuzz_target(fuzz_command_line orvantic_core)
orv_fuzz_target(fuzz_profile orvantic_core)
orv_fuzz_target(fuzz_project orvantic_core)
if(TARGET orvantic_engine_lib)
  orv_fuzz_target(fuzz_engine_options orvantic_engine_lib)
endif()

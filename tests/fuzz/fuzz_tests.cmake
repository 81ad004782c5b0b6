# libFuzzer targets of every reader of outside data. Each ctest runs its
# target from the committed seeds (tests/fuzz/seeds/NAME, where a crash input
# found once is kept) and a scratch corpus in the build, for a fixed number of
# inputs from a fixed random seed, so a test run is repeatable: a new finding
# comes from a longer exploratory run (the binary with other -seed/-runs),
# never from chance in CI. ORV_FUZZ_SECONDS only caps the time on a slow machine.
set(ORV_FUZZ_SECONDS 60 CACHE STRING "Longest time each fuzz target runs in ctest")
set(ORV_FUZZ_SEED 1 CACHE STRING "libFuzzer random seed of the ctest runs")
set(_orv_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})

function(orv_fuzz_target name runs)
  add_executable(${name} ${_orv_fuzz_dir}/${name}.cpp)
  target_compile_options(${name} PRIVATE ${ORV_WARNINGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARGN})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name}
    COMMAND ${name} -seed=${ORV_FUZZ_SEED} -runs=${runs}
            -max_total_time=${ORV_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=1024
            -print_final_stats=1 -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz-corpus/${name}-
            ${corpus} ${_orv_fuzz_dir}/seeds/${name})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# Input counts chosen for roughly ten seconds each on the build machine.
orv_fuzz_target(fuzz_ini 20000 orvantic_platform)
orv_fuzz_target(fuzz_status_files 3000 orvantic_core)
orv_fuzz_target(fuzz_command_line 100000 orvantic_core)
orv_fuzz_target(fuzz_profile 150000 orvantic_core)
orv_fuzz_target(fuzz_project 1000 orvantic_core)
if(TARGET orvantic_engine_lib)
  orv_fuzz_target(fuzz_engine_options 100000 orvantic_engine_lib)
endif()

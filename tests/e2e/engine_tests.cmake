# End-to-end tests of orvantic-engine on generated media, plus unit tests of
# its parsing pieces. Included from tests/CMakeLists.txt.
find_package(GTest REQUIRED)

set(_orv_engine_tests_dir ${CMAKE_CURRENT_LIST_DIR})

function(orv_engine_e2e_test name source media_script)
  add_executable(${name} ${_orv_engine_tests_dir}/${source})
  target_include_directories(${name} PRIVATE ${_orv_engine_tests_dir}/../..)
  target_compile_options(${name} PRIVATE ${ORV_WARNINGS})
  target_compile_definitions(${name} PRIVATE
    ORV_ENGINE_PATH="$<TARGET_FILE:orvantic-engine>"
    ORV_MAKE_MEDIA="${_orv_engine_tests_dir}/../fixtures/${media_script}")
  target_link_libraries(${name} PRIVATE orvantic_core GTest::gtest GTest::gtest_main)
  add_dependencies(${name} orvantic-engine)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

orv_engine_e2e_test(engine_e2e_test engine_test.cpp make_media.sh)
orv_engine_e2e_test(engine_realworld_test engine_realworld_test.cpp make_realworld_media.sh)
orv_engine_e2e_test(engine_pipeline_test engine_pipeline_test.cpp make_media.sh)
orv_engine_e2e_test(engine_play_test engine_play_test.cpp make_media.sh)
pkg_check_modules(ORV_TEST_X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(engine_play_test PRIVATE PkgConfig::ORV_TEST_X11)
orv_engine_e2e_test(engine_dvd_test engine_dvd_test.cpp make_dvd.sh)
target_link_libraries(engine_dvd_test PRIVATE PkgConfig::ORV_TEST_X11)

add_executable(engine_unit_test ${_orv_engine_tests_dir}/../unit/engine_options_test.cpp
  ${_orv_engine_tests_dir}/../unit/bounded_queue_test.cpp
  ${_orv_engine_tests_dir}/../unit/stream_path_test.cpp
  ${_orv_engine_tests_dir}/../unit/engine_outputs_test.cpp)
target_compile_options(engine_unit_test PRIVATE ${ORV_WARNINGS})
target_link_libraries(engine_unit_test PRIVATE orvantic_engine_lib orvantic_core GTest::gtest GTest::gtest_main)
add_test(NAME engine_unit_test COMMAND engine_unit_test)

# Damaged and unusual media: every file ends cleanly in every profile.
orv_engine_e2e_test(bad_media_test bad_media_test.cpp make_bad_media.sh)

# The device presets on a DVD title and a telephone's portrait clip.
orv_engine_e2e_test(preset_outputs_test preset_outputs_test.cpp make_preset_media.sh)

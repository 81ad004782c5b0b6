# End-to-end tests of orvantic-engine on generated media, plus unit tests of
# its parsing pieces. Included from tests/CMakeLists.txt.
find_package(GTest REQUIRED)

set(_orv_engine_tests_dir ${CMAKE_CURRENT_LIST_DIR})

add_executable(engine_e2e_test ${_orv_engine_tests_dir}/engine_test.cpp)
target_include_directories(engine_e2e_test PRIVATE ${_orv_engine_tests_dir}/../..)
target_compile_options(engine_e2e_test PRIVATE ${ORV_WARNINGS})
target_compile_definitions(engine_e2e_test PRIVATE
  ORV_ENGINE_PATH="$<TARGET_FILE:orvantic-engine>"
  ORV_MAKE_MEDIA="${_orv_engine_tests_dir}/../fixtures/make_media.sh")
target_link_libraries(engine_e2e_test PRIVATE orvantic_core GTest::gtest GTest::gtest_main)
add_dependencies(engine_e2e_test orvantic-engine)
add_test(NAME engine_e2e_test COMMAND engine_e2e_test)
set_tests_properties(engine_e2e_test PROPERTIES TIMEOUT 600)

add_executable(engine_unit_test ${_orv_engine_tests_dir}/../unit/engine_options_test.cpp)
target_compile_options(engine_unit_test PRIVATE ${ORV_WARNINGS})
target_link_libraries(engine_unit_test PRIVATE orvantic_engine_lib orvantic_core GTest::gtest GTest::gtest_main)
add_test(NAME engine_unit_test COMMAND engine_unit_test)

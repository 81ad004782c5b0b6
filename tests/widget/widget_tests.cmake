# Widget tests: the GUI's controls and main window on the offscreen platform.
add_executable(widget_test
  widget/slider_test.cpp
  widget/controls_test.cpp
  widget/main_window_test.cpp
  widget/main_window_e2e_test.cpp
  widget/player_test.cpp
  widget/settings_grid_test.cpp
  widget/project_test.cpp
  widget/dvd_dialog_test.cpp
  widget/desktop_window_test.cpp
  widget/file_reading_test.cpp
  widget/widget_main.cpp
)
target_compile_options(widget_test PRIVATE ${ORV_WARNINGS})
target_link_libraries(widget_test PRIVATE orvantic_ui orv_test_support Qt6::Test GTest::gtest)
target_compile_definitions(widget_test PRIVATE
  ORV_MAKE_DVD="${CMAKE_SOURCE_DIR}/tests/fixtures/make_dvd.sh")
add_test(NAME widget_test COMMAND widget_test)
set_tests_properties(widget_test PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORVANTIC_INSTANCE_NAME=orvantic-test-widget")

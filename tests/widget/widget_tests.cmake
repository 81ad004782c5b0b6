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
  widget/desktop_bus_test.cpp
  widget/fake_desktop_services.cpp
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

# The preview with the real engine in each kind of desktop session.
add_executable(preview_session_test widget/preview_session_test.cpp)
target_compile_options(preview_session_test PRIVATE ${ORV_WARNINGS})
target_link_libraries(preview_session_test PRIVATE orvantic_ui orv_test_support Qt6::Test GTest::gtest)
foreach(session x11 x11-scale2 x11-scale1.25 wayland wayland-scale2 wayland-scale1.5 xwayland)
  add_test(NAME preview_${session}_test
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/session.sh ${session} $<TARGET_FILE:preview_session_test>)
  set_tests_properties(preview_${session}_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
    ENVIRONMENT "ORVANTIC_INSTANCE_NAME=orvantic-test-preview-${session}")
endforeach()

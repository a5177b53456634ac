find_package(PkgConfig REQUIRED)
pkg_check_modules(LILV REQUIRED IMPORTED_TARGET lilv-0)
add_executable(lv2_tests tests/lv2/lv2_plugin_test.cpp tests/native/allocation_hooks.cpp)
target_link_libraries(lv2_tests PRIVATE vorzle_lv2 vsthost gtest_main PkgConfig::LILV)
target_include_directories(lv2_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(lv2_tests PRIVATE VORZLE_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(lv2_tests vorzle_vst vorzle_lv2_bundle)
vorzle_options(lv2_tests)
vorzle_gtest(lv2_tests)

# The panel as an LV2 UI under a virtual X server, driven with XTest.
add_executable(lv2_ui_tests tests/lv2/lv2_ui_test.cpp)
target_link_libraries(lv2_ui_tests PRIVATE vorzle_lv2_ui gtest_main X11::X11 X11::Xtst PkgConfig::LILV ${CMAKE_DL_LIBS})
target_include_directories(lv2_ui_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(lv2_ui_tests PRIVATE VORZLE_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(lv2_ui_tests vorzle_lv2_bundle)
vorzle_options(lv2_ui_tests)
add_test(NAME lv2_ui_tests
         COMMAND xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" $<TARGET_FILE:lv2_ui_tests> --gtest_output=xml:lv2_ui_tests.xml
         WORKING_DIRECTORY ${TEST_RESULTS_DIR})

# Worst render call of the VST 2 module and the LV2 bundle, program changes
# and shape edits included; a benchmark, run by hand.
add_executable(render-call-timing bench/render_call_timing.cpp)
target_link_libraries(render-call-timing PRIVATE vorzle_lv2 vsthost PkgConfig::LILV)
target_include_directories(render-call-timing PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(render-call-timing PRIVATE VORZLE_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(render-call-timing vorzle_vst vorzle_lv2_bundle)
vorzle_options(render-call-timing)

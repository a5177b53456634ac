# The VST 3 bundle's module in a small host of our own, beside the VST 2 module.
add_executable(vst3_tests tests/vst3/vst3_plugin_test.cpp tests/native/allocation_hooks.cpp)
target_link_libraries(vst3_tests PRIVATE vorzle_lv2 vsthost gtest_main ${CMAKE_DL_LIBS})
target_include_directories(vst3_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vst3_tests PRIVATE VORZLE_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(vst3_tests vorzle_vst vorzle_vst3_module)
vorzle_options(vst3_tests)
vorzle_gtest(vst3_tests)

# Its panel in a host window under a virtual X server, driven with XTest input.
add_executable(vst3_editor_tests tests/vst3/vst3_editor_test.cpp)
target_link_libraries(vst3_editor_tests PRIVATE vorzle_editor gtest_main X11::X11 X11::Xtst ${CMAKE_DL_LIBS})
target_include_directories(vst3_editor_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vst3_editor_tests PRIVATE VORZLE_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(vst3_editor_tests vorzle_vst3_module)
vorzle_options(vst3_editor_tests)
add_test(NAME vst3_editor_tests
         COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:vst3_editor_tests>
                 --gtest_output=xml:vst3_editor_tests.xml
         WORKING_DIRECTORY ${TEST_RESULTS_DIR})

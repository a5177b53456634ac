# The VST 3 plug-in through its bundle's module and a small host of our own,
# held against the VST 2 module.
add_executable(vst3_tests tests/vst3/vst3_plugin_test.cpp)
target_link_libraries(vst3_tests PRIVATE vorzle_lv2 vsthost gtest_main ${CMAKE_DL_LIBS})
target_include_directories(vst3_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vst3_tests PRIVATE VORZLE_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(vst3_tests vorzle_vst vorzle_vst3_module)
vorzle_options(vst3_tests)
vorzle_gtest(vst3_tests)

# The LV2 plug-in: a layer beside vst2/ on the instrument object, its
# module, and the bundle Vorzle.lv2 whose description files a tool writes
# from the parameter table and the factory bank at build time.
vorzle_sources(LV2_SOURCES lv2/*.cpp)
list(FILTER LV2_SOURCES EXCLUDE REGEX "/(plugin_entry|ui_[a-z_]*)\\.cpp$")   # the module's export; the panel
vorzle_layer(vorzle_lv2 FOLDERS programs engine instrument lv2 SOURCES ${LV2_SOURCES})
target_link_libraries(vorzle_lv2 PUBLIC vorzle_instrument)

set(LV2_BUNDLE ${CMAKE_BINARY_DIR}/lv2/Vorzle.lv2)
add_library(vorzle_lv2_dsp SHARED lv2/plugin_entry.cpp)
set_target_properties(vorzle_lv2_dsp PROPERTIES PREFIX "" OUTPUT_NAME vorzle_dsp
                      LIBRARY_OUTPUT_DIRECTORY ${LV2_BUNDLE})
vorzle_options(vorzle_lv2_dsp)
vorzle_include_root(vorzle_lv2_dsp programs engine instrument lv2)
add_dependencies(vorzle_lv2_dsp vorzle_lv2 vorzle_instrument vorzle_engine vorzle_programs)
target_link_libraries(vorzle_lv2_dsp PRIVATE -Wl,--whole-archive $<TARGET_FILE:vorzle_lv2>
                      $<TARGET_FILE:vorzle_instrument> $<TARGET_FILE:vorzle_engine> $<TARGET_FILE:vorzle_programs> -Wl,--no-whole-archive pthread)
target_link_options(vorzle_lv2_dsp PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/lv2/vorzle_lv2.map)
set_target_properties(vorzle_lv2_dsp PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/lv2/vorzle_lv2.map)

add_executable(lv2_ttl tools/lv2_ttl/lv2_ttl.cpp)
target_link_libraries(lv2_ttl PRIVATE vorzle_lv2)
vorzle_include_root(lv2_ttl programs engine instrument lv2)
vorzle_options(lv2_ttl)
set(LV2_TTL ${LV2_BUNDLE}/manifest.ttl ${LV2_BUNDLE}/vorzle.ttl ${LV2_BUNDLE}/presets.ttl)
add_custom_command(OUTPUT ${LV2_TTL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LV2_BUNDLE}
  COMMAND lv2_ttl ${LV2_BUNDLE} ${CMAKE_SOURCE_DIR}/resources/factory_bank.txt
  DEPENDS lv2_ttl ${CMAKE_SOURCE_DIR}/resources/factory_bank.txt VERBATIM)
add_custom_target(vorzle_lv2_bundle ALL DEPENDS ${LV2_TTL} vorzle_lv2_dsp)

# cmake --install puts the bundle where LV2 hosts look: PREFIX/lib/lv2.
install(DIRECTORY ${LV2_BUNDLE} DESTINATION lib/lv2 USE_SOURCE_PERMISSIONS)

# The panel as an LV2 UI: the editor core's X11 panel on the host's ports.
vorzle_sources(LV2_UI_SOURCES lv2/ui_*.cpp)
list(FILTER LV2_UI_SOURCES EXCLUDE REGEX "/ui_entry\\.cpp$")
vorzle_layer(vorzle_lv2_ui FOLDERS programs engine instrument editor lv2 SOURCES ${LV2_UI_SOURCES})
target_link_libraries(vorzle_lv2_ui PUBLIC vorzle_lv2 vorzle_editor)
add_library(vorzle_lv2_ui_module SHARED lv2/ui_entry.cpp)
set_target_properties(vorzle_lv2_ui_module PROPERTIES PREFIX "" OUTPUT_NAME vorzle_ui
                      LIBRARY_OUTPUT_DIRECTORY ${LV2_BUNDLE})
vorzle_options(vorzle_lv2_ui_module)
vorzle_include_root(vorzle_lv2_ui_module programs engine instrument editor lv2)
add_dependencies(vorzle_lv2_ui_module vorzle_lv2_ui vorzle_editor vorzle_lv2 vorzle_instrument vorzle_engine vorzle_programs)
target_link_libraries(vorzle_lv2_ui_module PRIVATE -Wl,--whole-archive $<TARGET_FILE:vorzle_lv2_ui>
                      $<TARGET_FILE:vorzle_editor> -Wl,--no-whole-archive $<TARGET_FILE:vorzle_lv2>
                      $<TARGET_FILE:vorzle_instrument> $<TARGET_FILE:vorzle_engine> $<TARGET_FILE:vorzle_programs> pthread X11::X11)
target_link_options(vorzle_lv2_ui_module PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/lv2/vorzle_lv2.map)
add_dependencies(vorzle_lv2_bundle vorzle_lv2_ui_module)

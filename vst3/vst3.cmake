# The VST 3 plug-in: a layer beside vst2/ and lv2/ on the instrument object
# and the panel, and its module inside the bundle Vorzle.vst3 in the layout
# hosts expect (Contents/<architecture>-<platform>/).
vorzle_sources(VST3_SOURCES vst3/*.cpp)
list(FILTER VST3_SOURCES EXCLUDE REGEX "/entry_[a-z0-9]*\\.cpp$")   # the module's exports
vorzle_layer(vorzle_vst3 FOLDERS programs engine instrument editor vst3 SOURCES ${VST3_SOURCES})
target_link_libraries(vorzle_vst3 PUBLIC vorzle_editor)

# The interface declarations, for the test host.
add_library(vst3_records INTERFACE)
set(VST3_ROOT ${CMAKE_BINARY_DIR}/include_roots/vst3_records)
file(MAKE_DIRECTORY ${VST3_ROOT}/vst3)
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/vst3/vst3_abi.h ${VST3_ROOT}/vst3/vst3_abi.h SYMBOLIC)
target_include_directories(vst3_records INTERFACE ${VST3_ROOT})

set(VST3_LAYERS vorzle_vst3 vorzle_editor vorzle_instrument vorzle_engine vorzle_programs)
set(VST3_BUNDLE ${CMAKE_BINARY_DIR}/vst3/Vorzle.vst3)
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VST3_ARCH_DIR x86_64-win)
  else()
    set(VST3_ARCH_DIR x86-win)
  endif()
  # The panel's window classes are made at load time by the DllMain the
  # VST 2 module has; the bank and bitmaps come from the same resources.
  add_library(vorzle_vst3_module SHARED vst3/entry_win32.cpp vst2/dll_main_win32.cpp
              resources/vorzle.rc vst3/vorzle_vst3.def)
  set_target_properties(vorzle_vst3_module PROPERTIES PREFIX "" SUFFIX ".vst3" OUTPUT_NAME Vorzle
                        RUNTIME_OUTPUT_DIRECTORY ${VST3_BUNDLE}/Contents/${VST3_ARCH_DIR}
                        LIBRARY_OUTPUT_DIRECTORY ${VST3_BUNDLE}/Contents/${VST3_ARCH_DIR})
  target_link_options(vorzle_vst3_module PRIVATE -s -Wl,--enable-stdcall-fixup)
  vorzle_static_windows_link(vorzle_vst3_module)
  set(VST3_SYSTEM_LIBS user32 gdi32 comctl32)
else()
  set(VST3_ARCH_DIR x86_64-linux)
  add_library(vorzle_vst3_module SHARED vst3/entry_native.cpp)
  set_target_properties(vorzle_vst3_module PROPERTIES PREFIX "" SUFFIX ".so" OUTPUT_NAME Vorzle
                        LIBRARY_OUTPUT_DIRECTORY ${VST3_BUNDLE}/Contents/${VST3_ARCH_DIR})
  # Hosts see the entry points only.
  target_link_options(vorzle_vst3_module PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/vst3/vorzle_vst3_linux.map)
  set_target_properties(vorzle_vst3_module PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/vst3/vorzle_vst3_linux.map)
  set(VST3_SYSTEM_LIBS pthread X11::X11 X11::Xau)
endif()
vorzle_options(vorzle_vst3_module)
vorzle_include_root(vorzle_vst3_module programs engine instrument editor vst3)
set(vst3_archives)
foreach(layer ${VST3_LAYERS})
  list(APPEND vst3_archives $<TARGET_FILE:${layer}>)
endforeach()
add_dependencies(vorzle_vst3_module ${VST3_LAYERS})
target_link_libraries(vorzle_vst3_module PRIVATE -Wl,--whole-archive ${vst3_archives} -Wl,--no-whole-archive
                      ${VST3_SYSTEM_LIBS})

if(NOT WIN32)
  # cmake --install puts the bundle where Linux hosts look: PREFIX/lib/vst3.
  install(DIRECTORY ${VST3_BUNDLE} DESTINATION lib/vst3 USE_SOURCE_PERMISSIONS)
endif()

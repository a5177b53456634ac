# The Python module `vorzle`: the instrument object and the song layer with
# pybind11, returning numpy arrays. It builds into python/vorzle/ of the tree
# beside copies of the package's Python files, so that the tree's tests import
# it as an installed package is imported. setup.py builds the same target.
if(NOT PYTHON_EXECUTABLE)
  set(PYTHON_EXECUTABLE /usr/bin/python3)   # Debian's, with its numpy and Dask
endif()
find_package(pybind11 CONFIG QUIET)
find_path(EBUR128_INCLUDE_DIR ebur128.h)
find_library(EBUR128_LIBRARY NAMES ebur128)
if(NOT pybind11_FOUND OR NOT EBUR128_INCLUDE_DIR OR NOT EBUR128_LIBRARY)
  message(STATUS "pybind11 or libebur128 not found: no Python module (scripts/setup.sh installs them)")
  return()
endif()

set(VORZLE_PYTHON_PACKAGE ${CMAKE_BINARY_DIR}/python/vorzle)
# No link-time optimisation or stripping: the module's code is the layers' code as compiled.
pybind11_add_module(vorzle_python MODULE NO_EXTRAS
  python/module.cpp python/song_render.cpp ${CMAKE_SOURCE_DIR}/tools/render/song_filter.cpp)
set_target_properties(vorzle_python PROPERTIES OUTPUT_NAME _vorzle LIBRARY_OUTPUT_DIRECTORY ${VORZLE_PYTHON_PACKAGE})
vorzle_options(vorzle_python)
vorzle_include_root(vorzle_python programs engine instrument song tools python)
target_include_directories(vorzle_python SYSTEM PRIVATE ${EBUR128_INCLUDE_DIR})
target_link_libraries(vorzle_python PRIVATE vorzle_instrument vorzle_song ${EBUR128_LIBRARY})
target_compile_definitions(vorzle_python PRIVATE VORZLE_VERSION="${PROJECT_VERSION}")

file(GLOB VORZLE_PYTHON_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/vorzle/*)
set(copied)
foreach(source ${VORZLE_PYTHON_FILES})
  get_filename_component(name ${source} NAME)
  if(name STREQUAL "__pycache__")
    continue()
  endif()
  add_custom_command(OUTPUT ${VORZLE_PYTHON_PACKAGE}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${VORZLE_PYTHON_PACKAGE}/${name}
    DEPENDS ${source} VERBATIM)
  list(APPEND copied ${VORZLE_PYTHON_PACKAGE}/${name})
endforeach()
add_custom_target(vorzle_python_files ALL DEPENDS ${copied})
add_dependencies(vorzle_python vorzle_python_files)

# pytest with the tree's module, against the tree's renderer and plug-in. A
# module built with a sanitizer cannot be loaded by Python.
if(VORZLE_TESTS AND NOT VORZLE_PYTHON_ONLY AND NOT VORZLE_SANITIZE AND NOT VORZLE_FUZZ)
  set(VORZLE_PYTHON_TEST_ENV "PYTHONPATH=${CMAKE_BINARY_DIR}/python" "VORZLE_RENDER=$<TARGET_FILE:vorzle-render>"
      "VORZLE_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "PYTHONDONTWRITEBYTECODE=1")
  add_test(NAME python_module_tests
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider ${CMAKE_SOURCE_DIR}/tests/python/test_module.py
                   ${CMAKE_SOURCE_DIR}/tests/python/test_install.py)
  add_test(NAME python_batch_tests
           COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider ${CMAKE_SOURCE_DIR}/tests/python/test_batch.py)
  set_tests_properties(python_module_tests python_batch_tests PROPERTIES ENVIRONMENT "${VORZLE_PYTHON_TEST_ENV}" TIMEOUT 300)
endif()

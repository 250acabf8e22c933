# The resource bundle ":/resources/...": the style sheet kept here and the
# pictures drawn by the artwork generator into the build tree.  Included by
# src/CMakeLists.txt, which adds SNAPLARK_RESOURCE_SOURCES to snaplarkcore.
add_subdirectory(${CMAKE_SOURCE_DIR}/artwork ${CMAKE_BINARY_DIR}/artwork)

set(SNAPLARK_ARTWORK_DIR ${CMAKE_BINARY_DIR}/resources)
set(_snaplark_style_sheet ${CMAKE_CURRENT_LIST_DIR}/style.qss)
set(_snaplark_qrc ${SNAPLARK_ARTWORK_DIR}/resources.qrc)
set(_snaplark_qrc_cpp ${CMAKE_CURRENT_BINARY_DIR}/qrc_snaplark_resources.cpp)

# The generator rewrites every picture and the resource list on each run, so
# the list's time stamp stands for all of them.
add_custom_command(
  OUTPUT ${_snaplark_qrc}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:snaplark_artgen> ${SNAPLARK_ARTWORK_DIR} ${_snaplark_style_sheet}
  DEPENDS snaplark_artgen ${_snaplark_style_sheet}
  COMMENT "Drawing the artwork"
  VERBATIM)

add_custom_command(
  OUTPUT ${_snaplark_qrc_cpp}
  COMMAND Qt5::rcc --name snaplark_resources --output ${_snaplark_qrc_cpp} ${_snaplark_qrc}
  DEPENDS ${_snaplark_qrc} ${_snaplark_style_sheet}
  COMMENT "Compiling the resource bundle"
  VERBATIM)
set_source_files_properties(${_snaplark_qrc_cpp} PROPERTIES GENERATED ON SKIP_AUTOGEN ON)

set(SNAPLARK_RESOURCE_SOURCES ${_snaplark_qrc_cpp})

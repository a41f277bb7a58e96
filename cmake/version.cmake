# The launcher's version is one setting (QM_CLIENT_VERSION, set before
# project()): the text it compares with the update server's page, its
# version resource and its manifest all come from it. qm_version_files writes
# the two generated files of a version into a folder, so that test builds of
# another version take theirs from their own folder.
function(qm_version_files version dir)
  if(NOT version MATCHES "^([1-9][0-9]*)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "version '${version}' is not four numbers such as 1.0.0.8")
  endif()
  set(QM_VERSION_TEXT "${version}")
  set(QM_VERSION_PARTS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
  set(QM_MANIFEST_PATH "${dir}/quillmoor.manifest")
  configure_file(${PROJECT_SOURCE_DIR}/res/quillmoor.manifest.in ${dir}/quillmoor.manifest @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/src/common/client_version.h.in ${dir}/client_version.h
                 @ONLY)
endfunction()

qm_version_files(${QM_CLIENT_VERSION} ${CMAKE_BINARY_DIR}/generated)

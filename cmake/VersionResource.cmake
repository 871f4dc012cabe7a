# The version number lives once, in project() of the top CMakeLists.txt. This file turns
# it into a VERSIONINFO resource for each deliverable, and writes it to
# BUILD_DIR/hallvoxen-version.txt for the release script, which names the release files.
file(WRITE ${CMAKE_BINARY_DIR}/hallvoxen-version.txt "${PROJECT_VERSION}\n")

# hv_version_resource(TARGET "description" FILE_TYPE), FILE_TYPE VFT_DLL or VFT_APP.
function(hv_version_resource target description file_type)
  set(HV_RC_DESCRIPTION "${description}")
  set(HV_RC_FILE_TYPE ${file_type})
  set(HV_RC_NAME ${target})
  if(file_type STREQUAL "VFT_DLL")
    set(HV_RC_FILE_NAME "${target}.dll")
  else()
    set(HV_RC_FILE_NAME "${target}.exe")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionResource.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

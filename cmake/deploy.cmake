# Deployment hosts, compiled into the launcher. Each is host[:port]; the
# defaults are the bundled local demo servers so a fresh checkout runs.
set(QM_UPDATE_HOST "127.0.0.1:18701" CACHE STRING "Update server (host[:port])")
set(QM_GAME_HOST "127.0.0.1:18702" CACHE STRING "The game's site: login page, home page, entry")
set(QM_PAY_HOST "127.0.0.1:18703" CACHE STRING "The portal's payment site (host[:port])")
set(QM_PORTAL_HOST "127.0.0.1:18704" CACHE STRING "The portal's main site (host[:port])")

foreach(var QM_UPDATE_HOST QM_GAME_HOST QM_PAY_HOST QM_PORTAL_HOST)
  if(NOT "${${var}}" MATCHES "^[A-Za-z0-9.-]+(:[0-9]+)?$")
    message(FATAL_ERROR "${var}='${${var}}' is not host[:port]")
  endif()
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/../src/common/deploy_config.h.in
               ${CMAKE_BINARY_DIR}/generated/common/deploy_config.h @ONLY)

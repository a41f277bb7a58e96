# Deployment hosts, compiled into the launcher. Each is https://host[:port],
# http://host[:port] or a bare host[:port], which means http. The defaults are
# the bundled local demo servers over TLS, so a fresh checkout runs.
set(QM_UPDATE_HOST "https://localhost:18701" CACHE STRING
    "Update server (https://host[:port], http://host[:port] or host[:port])")
set(QM_GAME_HOST "https://localhost:18702" CACHE STRING
    "The game's site: login page, home page, entry (https://host[:port], ...)")
set(QM_PAY_HOST "https://localhost:18703" CACHE STRING
    "The portal's payment site (https://host[:port], ...)")
set(QM_PORTAL_HOST "https://localhost:18704" CACHE STRING
    "The portal's main site (https://host[:port], ...)")
set(qm_host_settings QM_UPDATE_HOST QM_GAME_HOST QM_PAY_HOST QM_PORTAL_HOST)

# Build folders configured before the defaults spoke TLS still hold the old
# plain ones in their cache; they take the new defaults.
set(qm_demo_ports 18701 18702 18703 18704)
foreach(var port IN ZIP_LISTS qm_host_settings qm_demo_ports)
  if("${${var}}" STREQUAL "127.0.0.1:${port}")
    get_property(help CACHE ${var} PROPERTY HELPSTRING)
    set(${var} "https://localhost:${port}" CACHE STRING "${help}" FORCE)
  endif()
endforeach()

# Whether a host (without its port) is this machine: localhost, 127.0.0.0/8 or [::1].
function(qm_is_loopback_host host out)
  string(TOLOWER "${host}" host)
  set(loopback FALSE)
  if(host STREQUAL "localhost" OR host STREQUAL "[::1]")
    set(loopback TRUE)
  elseif(host MATCHES "^127\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    set(loopback TRUE)
    foreach(octet "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${CMAKE_MATCH_3}")
      string(LENGTH "${octet}" digits)
      if(digits GREATER 3 OR octet GREATER 255)
        set(loopback FALSE)
      endif()
    endforeach()
  endif()
  set(${out} ${loopback} PARENT_SCOPE)
endfunction()

# Checks the host setting `var`, stopping with the reason when it is not one;
# sets `out_origin` to "<scheme>://host[:port]" (scheme in lower case) and
# `out_host` to the host without its port.
function(qm_parse_host_setting var out_origin out_host)
  set(value "${${var}}")
  set(forms "https://host[:port], http://host[:port] or host[:port]")
  set(scheme http)
  set(rest "${value}")
  if(value MATCHES "^([^:/]*)://(.*)$")
    string(TOLOWER "${CMAKE_MATCH_1}" scheme)
    set(rest "${CMAKE_MATCH_2}")
    if(NOT scheme STREQUAL "https" AND NOT scheme STREQUAL "http")
      message(FATAL_ERROR "${var}='${value}': the launcher speaks https and http, not "
                          "'${CMAKE_MATCH_1}'; give ${forms}")
    endif()
  endif()
  if(rest MATCHES "[/?#]")
    message(FATAL_ERROR "${var}='${value}' has a path; give only the host and its port "
                        "(${forms}): the launcher adds its own paths")
  endif()
  if(NOT rest MATCHES "^([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(:(.*))?$")
    message(FATAL_ERROR "${var}='${value}' is not ${forms}")
  endif()
  set(host "${CMAKE_MATCH_1}")
  if(CMAKE_MATCH_2)
    set(port "${CMAKE_MATCH_3}")
    string(LENGTH "${port}" digits)
    if(NOT port MATCHES "^[0-9]+$" OR digits GREATER 5 OR port LESS 1 OR port GREATER 65535)
      message(FATAL_ERROR "${var}='${value}': the port '${port}' is not a number from 1 to "
                          "65535")
    endif()
  endif()
  set(${out_origin} "${scheme}://${rest}" PARENT_SCOPE)
  set(${out_host} "${host}" PARENT_SCOPE)
endfunction()

# QM_<SITE>_ORIGIN for the generated header; QM_NON_LOOPBACK_HOSTS lists the
# settings that name another machine (cmake/update_keys.cmake refuses the
# test keys for them).
set(QM_NON_LOOPBACK_HOSTS "")
foreach(var ${qm_host_settings})
  qm_parse_host_setting(${var} origin host)
  string(REPLACE "_HOST" "_ORIGIN" origin_var ${var})
  set(${origin_var} "${origin}")
  qm_is_loopback_host("${host}" loopback)
  if(NOT loopback)
    list(APPEND QM_NON_LOOPBACK_HOSTS "${var}=${${var}}")
  endif()
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/../src/common/deploy_config.h.in
               ${CMAKE_BINARY_DIR}/generated/common/deploy_config.h @ONLY)

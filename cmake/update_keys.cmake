# The public keys an update must be signed with, compiled into the launcher
# as X||Y (64 bytes each). QM_UPDATE_KEYS lists one or two PEM files: the
# current key and an offline spare, so a release signed with the spare can
# rotate the current one out.
set(QM_UPDATE_KEYS
    "${PROJECT_SOURCE_DIR}/tests/keys/update-test.pub.pem;${PROJECT_SOURCE_DIR}/tests/keys/update-test-spare.pub.pem"
    CACHE STRING "PEM files of the P-256 public keys updates are signed with (one or two; \
relative paths from the source folder)")

# A P-256 SubjectPublicKeyInfo in DER is always these 26 bytes, then 04, X, Y.
set(qm_p256_spki_prefix "3059301306072a8648ce3d020106082a8648ce3d030107034200")

# Decodes base64 text into lowercase hex (CMake has no base64 decoder).
function(qm_base64_to_hex text out)
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  string(REGEX REPLACE "[^A-Za-z0-9+/]" "" text "${text}")
  string(LENGTH "${text}" length)
  set(hex "")
  set(bits 0)
  set(count 0)
  if(length GREATER 0)
    math(EXPR last "${length} - 1")
    foreach(i RANGE ${last})
      string(SUBSTRING "${text}" ${i} 1 c)
      string(FIND "${alphabet}" "${c}" value)
      math(EXPR bits "((${bits} << 6) | ${value}) & 0xFFF")
      math(EXPR count "${count} + 6")
      if(count GREATER_EQUAL 8)
        math(EXPR count "${count} - 8")
        math(EXPR byte "(${bits} >> ${count}) & 0xFF" OUTPUT_FORMAT HEXADECIMAL)
        string(SUBSTRING "${byte}" 2 -1 byte)
        string(LENGTH "${byte}" digits)
        if(digits EQUAL 1)
          set(byte "0${byte}")
        endif()
        string(APPEND hex "${byte}")
      endif()
    endforeach()
  endif()
  string(TOLOWER "${hex}" hex)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

list(LENGTH QM_UPDATE_KEYS qm_key_count)
if(qm_key_count LESS 1 OR qm_key_count GREATER 2)
  message(FATAL_ERROR "QM_UPDATE_KEYS names ${qm_key_count} files; it takes one or two P-256 "
                      "public keys in PEM")
endif()

# The 64 bytes X||Y of the P-256 public key in a PEM file, as lowercase hex;
# stops with the reason when the file is not one.
function(qm_p256_public_key pem out)
  if(NOT EXISTS "${pem}")
    message(FATAL_ERROR "QM_UPDATE_KEYS: ${pem} does not exist")
  endif()
  file(READ "${pem}" text)
  if(NOT text MATCHES "-----BEGIN PUBLIC KEY-----(.*)-----END PUBLIC KEY-----")
    message(FATAL_ERROR "QM_UPDATE_KEYS: ${pem} is not a PEM public key (BEGIN PUBLIC KEY); "
                        "give the public half of the signing key")
  endif()
  qm_base64_to_hex("${CMAKE_MATCH_1}" der)
  string(LENGTH "${der}" der_digits)
  string(FIND "${der}" "${qm_p256_spki_prefix}04" prefix_at)
  if(NOT der_digits EQUAL 182 OR NOT prefix_at EQUAL 0)
    message(FATAL_ERROR "QM_UPDATE_KEYS: ${pem} is not an uncompressed P-256 public key")
  endif()
  string(SUBSTRING "${der}" 54 128 xy)
  set(${out} "${xy}" PARENT_SCOPE)
endfunction()

# The committed test keys, whose private halves are in this repository.
file(GLOB qm_test_key_files "${PROJECT_SOURCE_DIR}/tests/keys/*.pub.pem")
set(qm_test_keys "")
foreach(pem ${qm_test_key_files})
  qm_p256_public_key("${pem}" xy)
  list(APPEND qm_test_keys "${xy}")
endforeach()

option(QM_ALLOW_TEST_KEYS
       "Let a build whose hosts are not this machine trust a test key (staging only)" OFF)

set(QM_UPDATE_KEY_BYTES "")
foreach(pem ${QM_UPDATE_KEYS})
  get_filename_component(pem "${pem}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
  qm_p256_public_key("${pem}" xy)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
  # A test key is found by its bytes, wherever its file was copied to.
  list(FIND qm_test_keys "${xy}" test_key_at)
  if(NOT test_key_at EQUAL -1 AND QM_NON_LOOPBACK_HOSTS)
    list(GET qm_test_key_files ${test_key_at} test_key)
    file(RELATIVE_PATH test_key "${PROJECT_SOURCE_DIR}" "${test_key}")
    list(GET QM_NON_LOOPBACK_HOSTS 0 remote)
    string(CONCAT reason "QM_UPDATE_KEYS holds the test key ${test_key} (${pem}), whose private half is "
               "in this repository, and ${remote} is not this machine: that launcher would run "
               "an update anyone can sign.")
    if(NOT QM_ALLOW_TEST_KEYS)
      message(FATAL_ERROR "${reason} Make a release key on a machine that stays offline, "
                          "tools/publish-update/publish-update keygen /secure/keys/current, and "
                          "configure -DQM_UPDATE_KEYS=/secure/keys/current/update.pub.pem (see "
                          "\"Update keys\" in the README). A staging build that may trust the "
                          "test keys is configured with -DQM_ALLOW_TEST_KEYS=ON.")
    endif()
    message(WARNING "${reason} QM_ALLOW_TEST_KEYS is ON: a staging build, never a release.")
  endif()
  string(REGEX REPLACE "(..)" "0x\\1," xy "${xy}")
  string(APPEND QM_UPDATE_KEY_BYTES "    {{${xy}}},\n")
endforeach()
set(QM_UPDATE_KEY_COUNT ${qm_key_count})

configure_file(${PROJECT_SOURCE_DIR}/src/update/update_keys.h.in
               ${CMAKE_BINARY_DIR}/generated/update/update_keys.h @ONLY)

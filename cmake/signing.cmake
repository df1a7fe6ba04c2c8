# Authenticode signing of the shipped programs, in the signed trees only
# (presets signed-windows and signed-windows64, which `make dist` and
# `make check` configure). The other trees leave TOLM_SIGN_PKCS12 empty and
# build exactly the unsigned programs, which is what the reproducible-build
# test compares.
#
# A program is signed as the last step of its link, after pecompact (which
# refuses signed images), by release/sign-program. The uninstaller is thereby
# signed before bookpack packs it into the installer's payload, so the copy
# the installer writes to the user's disk carries its signature too.
set(TOLM_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and key; empty: no signing")
set(TOLM_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 file's password")
set(TOLM_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server; empty: no time stamp")

if(TOLM_SIGN_PKCS12)
    if(NOT EXISTS "${TOLM_SIGN_PKCS12}")
        message(FATAL_ERROR "sign: ${TOLM_SIGN_PKCS12}: no such certificate file")
    endif()
    if(NOT TOLM_SIGN_PASSWORD_FILE)
        message(FATAL_ERROR "sign: ${TOLM_SIGN_PKCS12}: TOLM_SIGN_PASSWORD_FILE names no password file for it")
    endif()
    # The signature's description is the product's name.
    file(STRINGS "${CMAKE_SOURCE_DIR}/installation/product.h" name_line REGEX "^#define TOLM_PRODUCT_NAME ")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/installation/product.h")
    string(REGEX REPLACE "^#define TOLM_PRODUCT_NAME \"(.*)\"$" "\\1" TOLM_SIGN_DESCRIPTION "${name_line}")
    # What a signature depends on besides the program. The file changes only
    # when that does, and the programs link (and so are signed) again then:
    # another certificate never leaves programs signed with the previous one.
    file(SHA256 "${TOLM_SIGN_PKCS12}" certificate_hash)
    set(TOLM_SIGN_IDENTITY "${CMAKE_BINARY_DIR}/signing-identity")
    file(CONFIGURE OUTPUT "${TOLM_SIGN_IDENTITY}"
        CONTENT "certificate sha256 ${certificate_hash}\ntime stamp ${TOLM_SIGN_TIMESTAMP_URL}\ndescription ${TOLM_SIGN_DESCRIPTION}\n")
endif()

# tolm_sign_target(TARGET): signs an executable target after its other
# post-build steps, when this tree signs.
function(tolm_sign_target target)
    if(NOT TOLM_SIGN_PKCS12)
        return()
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${TOLM_SIGN_IDENTITY}")
    set(timestamp "")
    if(TOLM_SIGN_TIMESTAMP_URL)
        set(timestamp --timestamp-url "${TOLM_SIGN_TIMESTAMP_URL}")
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_SOURCE_DIR}/release/sign-program" --description "${TOLM_SIGN_DESCRIPTION}" ${timestamp}
                "${TOLM_SIGN_PKCS12}" "${TOLM_SIGN_PASSWORD_FILE}" "$<TARGET_FILE:${target}>"
        VERBATIM)
endfunction()

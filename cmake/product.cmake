# Flags for the shipped Windows programs: small, no exceptions or RTTI, and a
# static runtime so that they import only DLLs that ship with Windows.
set(TOLM_PRODUCT_COMPILE_OPTIONS
    -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections -Wall -Wextra
    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
set(TOLM_PRODUCT_LINK_OPTIONS
    -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp)

# tolm_product_target(TARGET): applies the product flags to a target.
function(tolm_product_target target)
    target_compile_options(${target} PRIVATE ${TOLM_PRODUCT_COMPILE_OPTIONS})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_link_options(${target} PRIVATE ${TOLM_PRODUCT_LINK_OPTIONS})
    endif()
endfunction()

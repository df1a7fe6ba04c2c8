# Flags for the shipped Windows programs: small, no exceptions or RTTI, and a
# static runtime so that they import only DLLs that ship with Windows.
#
# Zero-initialised variables must land in .bss, which costs no file bytes. For
# PE targets GCC's -fdata-sections puts them into .data$name sections instead,
# stored in the file in full (the decoder's 32 KB window among them), so data
# sections stay whole; --gc-sections still drops unused functions.
# -fno-ident drops the compiler's version string from every object.
# -malign-data=abi keeps arrays at their type's alignment instead of 32 bytes,
# which padded every string and table in .rdata.
set(TOLM_PRODUCT_COMPILE_OPTIONS
    -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fno-ident -malign-data=abi -Wall -Wextra
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

# tolm_bare_entry(TARGET SYMBOL): the program enters at SYMBOL, a
# `extern "C" void WINAPI f()` that ends with ExitProcess, without the C
# runtime's start-up code. Nothing then runs before SYMBOL: no static
# constructors, no command-line parsing, no runtime DLL loads. The import
# libraries stay on the link line, and memset/memcpy that the compiler emits
# resolve to msvcrt.dll, which ships with Windows.
function(tolm_bare_entry target symbol)
    target_link_options(${target} PRIVATE -nostartfiles "-Wl,-e,_${symbol}@0")
endfunction()

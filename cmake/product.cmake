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
# -Oz and -fno-inline-functions-called-once each take a few hundred bytes off
# the code; the decoder's speed is measured (and matters) in the native build.
#
# Stack probes: GCC probes every frame of 4000 bytes or more so that it cannot
# skip the guard page below the committed stack, and while probing is on it
# moves arguments with `mov` to reserved stack, about 1.2 KB more code than
# `push`. The programs have no such frame, and frame-larger-than makes one a
# build error, so probing is off and nothing ever needs it; VLAs and alloca,
# which the frame size does not show, are errors too.
set(TOLM_PRODUCT_COMPILE_OPTIONS
    -Oz -fno-inline-functions-called-once -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -ffunction-sections -fno-ident -malign-data=abi
    -mno-stack-arg-probe -Werror=frame-larger-than=4000 -Werror=vla -Werror=alloca
    -Wall -Wextra
    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
set(TOLM_PRODUCT_LINK_OPTIONS -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp)

# The 32-bit programs are the product: cmake/product.ld lays out their sections
# (see there), and tolm_product_target then moves their headers over the DOS
# stub with pecompact. Both know only PE32. The 64-bit twin, which exists so
# that every test can run where 32-bit programs cannot, keeps the linker's
# default layout: its size is not what ships.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TOLM_COMPACT_LAYOUT ON)
    list(APPEND TOLM_PRODUCT_LINK_OPTIONS "-Wl,-T,${CMAKE_SOURCE_DIR}/cmake/product.ld")
else()
    set(TOLM_COMPACT_LAYOUT OFF)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)

# tolm_product_target(TARGET): applies the product flags to a target; an
# executable is then compacted (32-bit) and signed (signed trees), in that order.
function(tolm_product_target target)
    target_compile_options(${target} PRIVATE ${TOLM_PRODUCT_COMPILE_OPTIONS})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_link_options(${target} PRIVATE ${TOLM_PRODUCT_LINK_OPTIONS})
        if(TOLM_COMPACT_LAYOUT)
            set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/product.ld)
            add_custom_command(TARGET ${target} POST_BUILD
                COMMAND "${PECOMPACT}" "$<TARGET_FILE:${target}>"
                VERBATIM)
        endif()
        tolm_sign_target(${target})
    endif()
endfunction()

# tolm_bare_entry(TARGET SYMBOL): the program enters at SYMBOL, a
# `extern "C" void WINAPI f()` that ends with ExitProcess, without the C
# runtime's start-up code. Nothing then runs before SYMBOL: no static
# constructors, no command-line parsing, no runtime DLL loads. The import
# libraries stay on the link line, and memset/memcpy that the compiler emits
# resolve to msvcrt.dll, which ships with Windows. The linker wants the
# symbol's assembler name: decorated as stdcall on 32 bits, plain on 64.
function(tolm_bare_entry target symbol)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(entry "_${symbol}@0")
    else()
        set(entry "${symbol}")
    endif()
    target_link_options(${target} PRIVATE -nostartfiles "-Wl,-e,${entry}")
endfunction()

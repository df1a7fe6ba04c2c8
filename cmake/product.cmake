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
# -Oz takes a few kilobytes off the code; the decoder's speed is measured (and
# matters) in the native build.
#
# Link-time optimisation sees both programs whole: it drops what no caller
# needs, specialises functions to their only callers and inlines the ones
# called once (2 to 3 KB off each program). The static libraries carry both
# compiler IR, which the toolchain files archive with gcc-ar, and plain code.
# The test programs link the plain code (-fno-lto below): the linker cannot
# merge an inline variable emitted both in IR and by a plain object.
# binutils 2.40's ld crashes when the optimised code calls memcmp or memmove
# from msvcrt.dll that no object named before, so these two stay plain calls
# in the IR.
# Inlining across files could merge several callees' path buffers into one
# frame past the 4000-byte limit below; -fconserve-stack makes the inliner
# weigh the frame it grows.
#
# 32-bit Windows aligns the stack to 4 bytes; GCC's default of 16 makes
# it realign and pad frames for nothing, about 1.5 KB of code in all.
#
# Stack probes: GCC probes every frame of 4000 bytes or more so that it cannot
# skip the guard page below the committed stack, and while probing is on it
# moves arguments with `mov` to reserved stack, about 1.2 KB more code than
# `push`. The programs have no such frame, and frame-larger-than makes one a
# build error, so probing is off and nothing ever needs it; VLAs and alloca,
# which the frame size does not show, are errors too.
set(TOLM_PRODUCT_COMPILE_OPTIONS
    -Oz -flto -ffat-lto-objects -fconserve-stack -fno-builtin-memcmp -fno-builtin-memmove
    -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -ffunction-sections -fno-ident -malign-data=abi
    -mno-stack-arg-probe -Werror=frame-larger-than=4000 -Werror=vla -Werror=alloca
    -Wall -Wextra
    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")

# The 32-bit programs are the product: cmake/product.ld lays out their sections
# (see there), and tolm_product_target then moves their headers over the DOS
# stub with pecompact. Both know only PE32. The 64-bit twin, which exists so
# that every test can run where 32-bit programs cannot, keeps the linker's
# default layout: its size is not what ships.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TOLM_COMPACT_LAYOUT ON)
    list(APPEND TOLM_PRODUCT_COMPILE_OPTIONS -mpreferred-stack-boundary=2)
else()
    set(TOLM_COMPACT_LAYOUT OFF)
endif()
# The shipped programs' code is generated at the link, so it gets the same
# options there (the frame-size check among them). Every other program of
# the tree links plain code; a target's own options come after these.
add_link_options(-fno-lto)
set(TOLM_PRODUCT_LINK_OPTIONS ${TOLM_PRODUCT_COMPILE_OPTIONS}
    -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
if(TOLM_COMPACT_LAYOUT)
    list(APPEND TOLM_PRODUCT_LINK_OPTIONS "-Wl,-T,${CMAKE_SOURCE_DIR}/cmake/product.ld")
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

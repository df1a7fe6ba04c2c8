// Assembler names as the target ABI spells them. 32-bit Windows prefixes C
// names with an underscore and decorates stdcall functions with "@" and the
// bytes of their arguments; 64-bit Windows does neither. Code that names a
// symbol in assembler text goes through these, so one source builds both.
#pragma once

#define TOLM_ABI_TEXT_(x) #x
#define TOLM_ABI_TEXT(x) TOLM_ABI_TEXT_(x)

// The C-level name `name` as the assembler sees it.
#define TOLM_ASM_NAME(name) TOLM_ABI_TEXT(__USER_LABEL_PREFIX__) #name

// The import slot through which dllimport calls a stdcall function that
// takes argBytes bytes of arguments.
#if defined(__i386__)
#define TOLM_IMPORT_SLOT(name, argBytes) "__imp_" TOLM_ASM_NAME(name) "@" #argBytes
#else
#define TOLM_IMPORT_SLOT(name, argBytes) "__imp_" TOLM_ASM_NAME(name)
#endif

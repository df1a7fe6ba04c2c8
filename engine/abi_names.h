// Assembler names as the target ABI spells them. 32-bit Windows prefixes C
// names with an underscore, 64-bit Windows does not. Code that names a symbol
// in assembler text goes through these, so one source builds both.
#pragma once

#define TOLM_ABI_TEXT_(x) #x
#define TOLM_ABI_TEXT(x) TOLM_ABI_TEXT_(x)

// The C-level name `name` as the assembler sees it.
#define TOLM_ASM_NAME(name) TOLM_ABI_TEXT(__USER_LABEL_PREFIX__) #name


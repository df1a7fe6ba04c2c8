// Command-line splitting (arguments.h). The rules are those the C runtime and
// CommandLineToArgvW follow, so a caller quotes arguments as for any program.
#include "arguments.h"

namespace {

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

const wchar_t* skipBlanks(const wchar_t* cursor)
{
    while (isBlank(*cursor))
        ++cursor;
    return cursor;
}

wchar_t foldAscii(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
}

// The rest of text after option, or null when text does not begin with it.
const wchar_t* skipOption(const wchar_t* text, const char* option)
{
    for (; *option; ++option, ++text)
        if (foldAscii(*text) != foldAscii(wchar_t(static_cast<unsigned char>(*option))))
            return nullptr;
    return text;
}

} // namespace

const wchar_t* skipProgramName(const wchar_t* line)
{
    const wchar_t* cursor = line;
    if (*cursor == L'"') {
        for (++cursor; *cursor && *cursor != L'"'; ++cursor) {
        }
        if (*cursor)
            ++cursor;
    } else {
        while (*cursor && !isBlank(*cursor))
            ++cursor;
    }
    return skipBlanks(cursor);
}

const wchar_t* nextArgument(const wchar_t* cursor, wchar_t* out, int capacity, Argument& argument)
{
    cursor = skipBlanks(cursor);
    argument.start = cursor;
    argument.tooLong = false;
    if (*cursor == L'\0')
        return nullptr;
    int used = 0;
    auto put = [&](wchar_t c) {
        if (used < capacity - 1)
            out[used++] = c;
        else
            argument.tooLong = true;
    };
    bool quoted = false;
    while (*cursor && (quoted || !isBlank(*cursor))) {
        int backslashes = 0;
        while (cursor[backslashes] == L'\\')
            ++backslashes;
        if (cursor[backslashes] != L'"') {
            for (int i = 0; i < backslashes; i++)
                put(L'\\');
            cursor += backslashes;
            if (backslashes == 0)
                put(*cursor++);
            continue;
        }
        for (int i = 0; i < backslashes / 2; i++)
            put(L'\\');
        cursor += backslashes + 1;   // past the quote
        if (backslashes % 2) {
            put(L'"');
        } else if (quoted && *cursor == L'"') {
            put(L'"');
            ++cursor;
        } else {
            quoted = !quoted;
        }
    }
    out[used] = L'\0';
    return cursor;
}

bool startsWithOption(const wchar_t* text, const char* option)
{
    return skipOption(text, option) != nullptr;
}

bool isOption(const wchar_t* text, const char* option)
{
    const wchar_t* rest = skipOption(text, option);
    return rest && *rest == L'\0';
}

// The uninstaller knows the book's files by the sizes and CRC-32s it carries
// (bookFileSignatures, generated from the book).
#include "page_manifest.h"
#include "removal.h"

bool bookFileSignature(int resource, BookFileSignature& signature)
{
    // Main page i is row i; extra file i follows the main pages.
    int row = resource - firstMainResource;
    if (resource >= firstExtraResource) {
        row = resource - firstExtraResource;
        for (const char* name = mainPageNames; *name; name += lstrlenA(name) + 1)
            row++;
    }
    if (row < 0)
        return false;
    signature.size = bookFileSignatures[row][0];
    signature.crc = bookFileSignatures[row][1];
    return true;
}

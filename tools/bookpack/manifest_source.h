// The compiled-in page manifest: C++ source defining mainPageNames and
// extraFileNames as packed runs of NUL-terminated names ending with an empty name.
#pragma once

#include "book.h"

#include <string>

std::string renderManifestSource(const BookManifest& book);

// The book's file signatures: C++ source defining bookFileSignatures, each
// main page's and then each extra file's size and CRC-32, which the
// uninstaller carries to tell the book's files from others of their names.
// False, with error naming the file, when a book file cannot be read.
bool renderSignatureSource(const BookManifest& book, std::string& source, std::string& error);

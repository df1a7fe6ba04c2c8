// The compiled-in page manifest: C++ source defining mainPageNames and
// extraFileNames as packed runs of NUL-terminated names ending with an empty name.
#pragma once

#include "book.h"

#include <string>

std::string renderManifestSource(const BookManifest& book);

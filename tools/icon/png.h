// A PNG writer small enough to need no image library at build time.
#pragma once

#include <stdint.h>

#include <string>

#include "raster.h"

// Writes the coverage as an 8-bit RGBA PNG: every pixel the colour grey,
// its alpha the cover. False if the file cannot be written.
bool WriteCoveragePng(const std::string& path, const Coverage& coverage, uint8_t grey);

#pragma once

#include <cstddef>
#include <cstdint>

// Entry points shared by the libFuzzer targets and the corpus test of the normal build.
// Each returns 0; a fault is a crash, a sanitizer report or an abort on a broken
// invariant.

// Bytes as they could arrive on a session's socket, fed in chunks; every decoded
// message must survive re-encoding unchanged.
int FuzzFrameDecoder(const uint8_t* data, size_t size);

// A whole answer (header, field descriptions, rows; see FuzzTargets.cpp for the layout)
// parsed by the metadata parser and read through every typed getter.
int FuzzMetadataAnswer(const uint8_t* data, size_t size);

// A desktop as the registry could hold it (the bytes taken as the stored value, and
// as the unscrambled text): parsed into restore steps, which must build again into a
// desktop that parses into the same steps.
int FuzzDesktopText(const uint8_t* data, size_t size);

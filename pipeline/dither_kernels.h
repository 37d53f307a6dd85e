// The error-diffusion kernels offered in the "Method:" list.
//
// The kernels are stored as one little-endian byte sequence in the program (records of
// index, name, width, height and width x height single-precision cells) and read once
// at start-up into ditherTable. In row 0 of each kernel one cell holds 1.0: it marks the
// pixel being quantised (the origin column); every other cell is a share of its error.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

struct DitherKernel {
    std::string name;
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::array<float, 256> cells{}; // cell (column c, row r) is cells[r * width + c]
};

constexpr int kDitherTableSize = 129;
constexpr int kDitherMethodCount = 17; // entries 0-16 are filled; 17-128 stay empty

extern std::array<DitherKernel, kDitherTableSize> ditherTable;

// Fills ditherTable from the stored sequence; the record with index 0 ends it.
void LoadDitherKernels();

// The stored sequence itself (1,106 bytes).
std::span<const std::uint8_t> StoredDitherKernels();

// The column of row 0 that holds the current pixel: the last cell equal to 1.0, or 0.
int KernelOriginColumn(const DitherKernel& kernel);

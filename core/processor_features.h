// What the processor the program runs on offers beyond the baseline it is built for, asked once:
// code written eight lanes wide runs only where these say so.
#pragma once

// AVX (eight float lanes). False on other architectures.
bool processorHasAvx();
// AVX2 (eight integer lanes as well; it brings AVX). False on other architectures.
bool processorHasAvx2();
// AVX-512 with its forms on eight lanes too (F and VL; they bring AVX2). False on other
// architectures.
bool processorHasAvx512();

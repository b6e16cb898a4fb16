#pragma once

// Whether the byte loops of the search may use AVX2: when the processor has it, unless a test
// turned it off to run the SSE2 loops.
bool useAvx2();
// Seam for tests; turning it on where the processor lacks AVX2 changes nothing.
void setUseAvx2(bool on);

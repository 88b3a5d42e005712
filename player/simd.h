// Whether the player's inner loops take their SSE2 forms: where the compiler
// targets SSE2, unless the build asks for the plain ones. The Windows
// executable does: its four channels need no speed, and the plain forms,
// which give the same values bit for bit, are 4 KB smaller.
#pragma once
#if defined(__SSE2__) && !defined(GRIDSHOW_PLAIN_KERNELS)
#define GRIDSHOW_SSE2_KERNELS 1
#endif

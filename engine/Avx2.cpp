#include "Avx2.h"

namespace {
#if defined(__x86_64__)
const bool gbHasAvx2 = __builtin_cpu_supports("avx2");
#else
const bool gbHasAvx2 = false;
#endif
bool gbUseAvx2 = gbHasAvx2;
} // namespace

bool useAvx2() {
    return gbUseAvx2;
}

void setUseAvx2(bool on) {
    gbUseAvx2 = on && gbHasAvx2;
}

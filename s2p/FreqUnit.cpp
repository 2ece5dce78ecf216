#include "FreqUnit.h"

const CFreqUnit CFreqUnit::Hz{"Hz", 1};
const CFreqUnit CFreqUnit::kHz{"kHz", 1000};
const CFreqUnit CFreqUnit::MHz{"MHz", 1000000};
const CFreqUnit CFreqUnit::GHz{"GHz", 1000000000};

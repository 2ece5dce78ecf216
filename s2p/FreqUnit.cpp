#include "FreqUnit.h"

const CFreqUnit CFreqUnit::Hz{"Hz", 0};
const CFreqUnit CFreqUnit::kHz{"kHz", 3};
const CFreqUnit CFreqUnit::MHz{"MHz", 6};
const CFreqUnit CFreqUnit::GHz{"GHz", 9};

#include "ParamType.h"

const CParamType CParamType::SParameter{"S-Parameter"};
const CParamType CParamType::Uncertainty{"Uncertainty"};
const CParamType CParamType::Other{"Other"};

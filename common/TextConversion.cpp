#include "TextConversion.h"

/* A VISA library that lacks viRead, so that the loader passes it over. */
#include "VisaTypes.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT ViStatus viOpenDefaultRM(ViPSession vi) { (void)vi; return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viFindRsrc(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viFindNext(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viOpen(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viClose(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viGetAttribute(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viSetAttribute(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viStatusDesc(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viLock(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viUnlock(void) { return VI_ERROR_SYSTEM_ERROR; }
EXPORT ViStatus viWrite(void) { return VI_ERROR_SYSTEM_ERROR; }
